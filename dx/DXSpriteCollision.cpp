// The collision pass: a sprite asks which others it touches. A uniform grid of the sprites'
// bounds keeps each test to the sprites near the asking one, so asking for every sprite of the
// scene costs about as much as the scene has sprites.
#include <algorithm>
#include <bit>

#include "dx/DXSpriteInternal.h"

namespace dx {

namespace {

// Cells from 4 to 4096 pixels wide.
constexpr std::int32_t kMinShift = 2;
constexpr std::int32_t kMaxShift = 12;
// A sprite covering more cells than this is kept aside and looked at by every test.
constexpr std::int64_t kMaxCellsPerSprite = 64;
constexpr std::size_t kMinTable = 64;

std::size_t TableFor(std::size_t cells) { return std::max(kMinTable, std::bit_ceil(2 * cells + 1)); }

}  // namespace

std::int32_t TSprite::Collision() {
  if (!engine_ || deaded_) return 0;
  if (!engine_->collisions_) engine_->collisions_ = std::make_unique<TSpriteCollisionIndex>(engine_);
  TSpriteCollisionIndex& index = *engine_->collisions_;
  std::vector<TSprite*> candidates = index.TakeList();
  index.Candidates(this, GetBounds(), candidates);
  const std::uint64_t changes = index.Changes();

  std::int32_t hits = 0;
  bool done = false;
  for (TSprite* other : candidates) {
    // Collided may have marked sprites dead, switched them off or moved them; the rectangles
    // were compared when the candidates were chosen, so only a move since then asks again.
    if (other->deaded_ || !other->CollisionEnabled) continue;
    if (index.Changes() != changes && !RectsOverlap(GetBounds(), other->GetBounds())) continue;
    if (!Overlaps(other)) continue;
    ++hits;
    Collided(other, done);
    if (done || deaded_) break;
  }
  index.GiveBack(std::move(candidates));
  return hits;
}

void TSpriteCollisionIndex::Invalidate() {
  ++changes_;
  if (!valid_) return;
  valid_ = false;
  // Built afresh before the next test; nothing filed so far is looked at again.
  for (TSprite* s : moved_) s->collision_.Moved = false;
  moved_.clear();
}

void TSpriteCollisionIndex::MarkMoved(TSprite* Sprite) {
  ++changes_;
  if (!valid_ || Sprite->collision_.Moved) return;
  Sprite->collision_.Moved = true;
  moved_.push_back(Sprite);
}

void TSpriteCollisionIndex::Forget(TSprite* Sprite) {
  if (Sprite->collision_.Moved) {
    const auto it = std::find(moved_.begin(), moved_.end(), Sprite);
    if (it != moved_.end()) moved_.erase(it);
    Sprite->collision_.Moved = false;
  }
  Invalidate();
}

fw::TRect TSpriteCollisionIndex::CellsOf(const fw::TRect& b) const {
  // The pixel columns from Left to Right - 1, or just Left for a rectangle without width: a
  // rectangle that strictly overlaps another always shares one of these columns with it. The
  // shifts round towards minus infinity, as cells must.
  const std::int32_t right = std::max(b.left, static_cast<std::int32_t>(std::int64_t{b.right} - 1));
  const std::int32_t bottom = std::max(b.top, static_cast<std::int32_t>(std::int64_t{b.bottom} - 1));
  return fw::TRect{b.left >> shift_, b.top >> shift_, (right >> shift_) + 1, (bottom >> shift_) + 1};
}

TSpriteCollisionIndex::Cell* TSpriteCollisionIndex::Find(std::int32_t Col, std::int32_t Row) {
  const std::size_t mask = table_.size() - 1;
  for (std::size_t i = Hash(Col, Row) & mask;; i = (i + 1) & mask) {
    Cell& c = table_[i];
    if (!c.Used) return nullptr;
    if (c.Col == Col && c.Row == Row) return &c;
  }
}

TSpriteCollisionIndex::Cell& TSpriteCollisionIndex::Make(std::int32_t Col, std::int32_t Row) {
  if (2 * (used_ + 1) > table_.size()) Grow();
  const std::size_t mask = table_.size() - 1;
  for (std::size_t i = Hash(Col, Row) & mask;; i = (i + 1) & mask) {
    Cell& c = table_[i];
    if (!c.Used) {
      c.Used = true;
      c.Col = Col;
      c.Row = Row;
      ++used_;
      return c;
    }
    if (c.Col == Col && c.Row == Row) return c;
  }
}

void TSpriteCollisionIndex::Grow() {
  // Cells stay when their sprites leave, ready for the next; when most of them are empty the
  // table is made again without them rather than larger.
  std::size_t filled = 0;
  for (const Cell& c : table_) filled += c.Used && !c.Entries.empty();
  std::vector<Cell> old = std::move(table_);
  table_.assign(TableFor(2 * filled), Cell{});
  used_ = 0;
  const std::size_t mask = table_.size() - 1;
  for (Cell& c : old) {
    if (!c.Used || c.Entries.empty()) continue;
    std::size_t i = Hash(c.Col, c.Row) & mask;
    while (table_[i].Used) i = (i + 1) & mask;
    table_[i] = std::move(c);
    ++used_;
  }
}

void TSpriteCollisionIndex::Insert(TSprite* Sprite, const fw::TRect& Bounds) {
  auto& e = Sprite->collision_;
  e.Bounds = Bounds;
  e.Cells = CellsOf(Bounds);
  e.Indexed = true;
  const std::int64_t count =
      std::int64_t{e.Cells.right - e.Cells.left} * std::int64_t{e.Cells.bottom - e.Cells.top};
  e.Large = count > kMaxCellsPerSprite;
  if (e.Large) {
    large_.push_back(Sprite);
    return;
  }
  for (std::int32_t r = e.Cells.top; r < e.Cells.bottom; ++r)
    for (std::int32_t c = e.Cells.left; c < e.Cells.right; ++c) Make(c, r).Entries.push_back(Entry{Bounds, Sprite});
}

void TSpriteCollisionIndex::Erase(TSprite* Sprite) {
  auto& e = Sprite->collision_;
  if (!e.Indexed) return;
  e.Indexed = false;
  if (e.Large) {
    const auto it = std::find(large_.begin(), large_.end(), Sprite);
    if (it != large_.end()) {
      *it = large_.back();
      large_.pop_back();
    }
    return;
  }
  for (std::int32_t r = e.Cells.top; r < e.Cells.bottom; ++r)
    for (std::int32_t c = e.Cells.left; c < e.Cells.right; ++c) {
      Cell* cell = Find(c, r);
      if (!cell) continue;
      auto& v = cell->Entries;
      const auto it = std::find_if(v.begin(), v.end(), [Sprite](const Entry& x) { return x.Sprite == Sprite; });
      if (it != v.end()) {
        *it = v.back();
        v.pop_back();
      }
    }
}

void TSpriteCollisionIndex::Rebuild() {
  table_.clear();
  used_ = 0;
  large_.clear();
  for (TSprite* s : moved_) s->collision_.Moved = false;
  moved_.clear();

  // Every sprite in drawing order: each parent before its children, subtrees by depth.
  walk_.clear();
  std::vector<TSprite*> stack;
  auto push_children = [&stack](TSprite* s) {
    if (const auto* order = s->DrawOrder())
      for (auto it = order->rbegin(); it != order->rend(); ++it) stack.push_back(*it);
  };
  push_children(engine_);
  std::int64_t sum = 0;
  std::int64_t counted = 0;
  while (!stack.empty()) {
    TSprite* s = stack.back();
    stack.pop_back();
    auto& e = s->collision_;
    e = TSprite::CollisionEntry{};
    e.Rank = static_cast<std::uint32_t>(walk_.size());
    e.Bounds = s->GetBounds();
    const std::int64_t w = std::int64_t{e.Bounds.right} - e.Bounds.left;
    const std::int64_t h = std::int64_t{e.Bounds.bottom} - e.Bounds.top;
    if (w > 0 && h > 0 && w <= (1 << kMaxShift) && h <= (1 << kMaxShift)) {
      sum += std::max(w, h);
      ++counted;
    }
    walk_.push_back(s);
    push_children(s);
  }
  // Cells about the size of a typical sprite (the nearest power of two): each sprite lies in a
  // few of them, and a few sprites in each.
  const std::uint64_t typical = counted ? static_cast<std::uint64_t>(sum / counted) : 32;
  shift_ = std::clamp(static_cast<std::int32_t>(std::bit_width(typical + typical / 2)) - 1, kMinShift, kMaxShift);
  table_.assign(TableFor(walk_.size()), Cell{});
  for (TSprite* s : walk_) Insert(s, s->collision_.Bounds);
  walk_.clear();
  valid_ = true;
}

void TSpriteCollisionIndex::Refile(TSprite* Sprite) {
  const fw::TRect b = Sprite->GetBounds();
  auto& e = Sprite->collision_;
  if (b == e.Bounds && e.Indexed) return;
  if (e.Indexed && !e.Large && CellsOf(b) == e.Cells) {
    // Still in the same cells: only the bounds kept beside it change.
    e.Bounds = b;
    for (std::int32_t r = e.Cells.top; r < e.Cells.bottom; ++r)
      for (std::int32_t c = e.Cells.left; c < e.Cells.right; ++c)
        if (Cell* cell = Find(c, r))
          for (Entry& x : cell->Entries)
            if (x.Sprite == Sprite) {
              x.Bounds = b;
              break;
            }
    return;
  }
  Erase(Sprite);
  Insert(Sprite, b);
}

void TSpriteCollisionIndex::Refresh() {
  // A moved parent carries its subtree with it.
  std::vector<TSprite*>& stack = walk_;
  for (TSprite* m : moved_) {
    m->collision_.Moved = false;
    stack.push_back(m);
    while (!stack.empty()) {
      TSprite* s = stack.back();
      stack.pop_back();
      Refile(s);
      if (const auto* children = s->Children()) stack.insert(stack.end(), children->begin(), children->end());
    }
  }
  moved_.clear();
}

void TSpriteCollisionIndex::Visit(const TSprite* Self, const fw::TRect& Bounds, const fw::TRect& Cells,
                                  const Cell& C, std::vector<TSprite*>& Out) const {
  for (const Entry& x : C.Entries) {
    if (x.Sprite == Self || !RectsOverlap(Bounds, x.Bounds)) continue;
    // A sprite in several of the cells looked at is taken from the first of them it shares with
    // the test (the top left one), and so only once.
    if (C.Col != std::max(Cells.left, x.Bounds.left >> shift_) || C.Row != std::max(Cells.top, x.Bounds.top >> shift_))
      continue;
    Out.push_back(x.Sprite);
  }
}

void TSpriteCollisionIndex::Candidates(TSprite* Sprite, const fw::TRect& Bounds, std::vector<TSprite*>& Out) {
  if (!valid_)
    Rebuild();
  else
    Refresh();

  const fw::TRect c = CellsOf(Bounds);
  const std::int64_t count = std::int64_t{c.right - c.left} * std::int64_t{c.bottom - c.top};
  if (count > static_cast<std::int64_t>(table_.size())) {
    // Wider than the whole table: look at the cells there are instead.
    for (const Cell& cell : table_)
      if (cell.Used && cell.Col >= c.left && cell.Col < c.right && cell.Row >= c.top && cell.Row < c.bottom)
        Visit(Sprite, Bounds, c, cell, Out);
  } else {
    for (std::int32_t r = c.top; r < c.bottom; ++r)
      for (std::int32_t col = c.left; col < c.right; ++col)
        if (const Cell* cell = Find(col, r)) Visit(Sprite, Bounds, c, *cell, Out);
  }
  for (TSprite* s : large_)
    if (s != Sprite && RectsOverlap(Bounds, s->collision_.Bounds)) Out.push_back(s);
  std::sort(Out.begin(), Out.end(),
            [](const TSprite* a, const TSprite* b) { return a->collision_.Rank < b->collision_.Rank; });
}

}  // namespace dx
