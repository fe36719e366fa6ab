// The collision pass: a sprite asks which others it touches. A uniform grid of the sprites'
// bounds keeps each test to the sprites near the asking one, so asking for every sprite of the
// scene costs about as much as the scene has sprites.
#include <algorithm>

#include "dx/DXSpriteInternal.h"

namespace dx {

namespace {

constexpr std::int32_t kMinCell = 4;
constexpr std::int32_t kMaxCell = 4096;
// A sprite covering more cells than this is kept aside and looked at by every test.
constexpr std::int64_t kMaxCellsPerSprite = 64;

std::int32_t FloorDiv(std::int64_t a, std::int32_t b) {
  std::int64_t q = a / b;
  if ((a % b != 0) && (a < 0)) --q;
  return static_cast<std::int32_t>(q);
}

}  // namespace

std::int32_t TSprite::Collision() {
  if (!engine_ || deaded_) return 0;
  if (!engine_->collisions_) engine_->collisions_ = std::make_unique<TSpriteCollisionIndex>(engine_);
  std::vector<TSprite*> candidates;
  engine_->collisions_->Candidates(this, GetBounds(), candidates);

  std::int32_t hits = 0;
  bool done = false;
  for (TSprite* other : candidates) {
    // Collided may have marked sprites dead, switched them off or moved them.
    if (other->deaded_ || !other->CollisionEnabled) continue;
    if (!RectsOverlap(GetBounds(), other->GetBounds()) || !Overlaps(other)) continue;
    ++hits;
    Collided(other, done);
    if (done || deaded_) break;
  }
  return hits;
}

void TSpriteCollisionIndex::Invalidate() {
  if (!valid_) return;
  valid_ = false;
  // Built afresh before the next test; nothing filed so far is looked at again.
  for (TSprite* s : moved_) s->collision_.Moved = false;
  moved_.clear();
}

void TSpriteCollisionIndex::MarkMoved(TSprite* Sprite) {
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
  // rectangle that strictly overlaps another always shares one of these columns with it.
  const std::int64_t right = std::max<std::int64_t>(b.left, std::int64_t{b.right} - 1);
  const std::int64_t bottom = std::max<std::int64_t>(b.top, std::int64_t{b.bottom} - 1);
  return fw::TRect{FloorDiv(b.left, cell_size_), FloorDiv(b.top, cell_size_), FloorDiv(right, cell_size_) + 1,
                   FloorDiv(bottom, cell_size_) + 1};
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
    for (std::int32_t c = e.Cells.left; c < e.Cells.right; ++c) cells_[Key(c, r)].push_back(Sprite);
}

void TSpriteCollisionIndex::Erase(TSprite* Sprite) {
  auto& e = Sprite->collision_;
  if (!e.Indexed) return;
  e.Indexed = false;
  auto drop = [Sprite](std::vector<TSprite*>& v) {
    const auto it = std::find(v.begin(), v.end(), Sprite);
    if (it != v.end()) {
      *it = v.back();
      v.pop_back();
    }
  };
  if (e.Large) {
    drop(large_);
    return;
  }
  for (std::int32_t r = e.Cells.top; r < e.Cells.bottom; ++r)
    for (std::int32_t c = e.Cells.left; c < e.Cells.right; ++c) {
      const auto it = cells_.find(Key(c, r));
      if (it == cells_.end()) continue;
      drop(it->second);
      if (it->second.empty()) cells_.erase(it);
    }
}

void TSpriteCollisionIndex::Rebuild() {
  cells_.clear();
  large_.clear();
  for (TSprite* s : moved_) s->collision_.Moved = false;
  moved_.clear();
  stamp_ = 0;

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
    if (w > 0 && h > 0 && w <= kMaxCell && h <= kMaxCell) {
      sum += std::max(w, h);
      ++counted;
    }
    walk_.push_back(s);
    push_children(s);
  }
  // Cells about the size of a typical sprite: each sprite lies in a few of them.
  cell_size_ = counted ? static_cast<std::int32_t>(std::clamp<std::int64_t>(sum / counted, kMinCell, kMaxCell)) : 32;
  cells_.reserve(walk_.size() * 2);
  for (TSprite* s : walk_) Insert(s, s->collision_.Bounds);
  walk_.clear();
  valid_ = true;
}

void TSpriteCollisionIndex::Refile(TSprite* Sprite) {
  const fw::TRect b = Sprite->GetBounds();
  auto& e = Sprite->collision_;
  if (e.Indexed && !e.Large && CellsOf(b) == e.Cells) {
    e.Bounds = b;
    return;
  }
  Erase(Sprite);
  Insert(Sprite, b);
}

void TSpriteCollisionIndex::Refresh() {
  // A moved parent carries its subtree with it.
  std::vector<TSprite*> stack;
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

void TSpriteCollisionIndex::Visit(TSprite* Self, const fw::TRect& Bounds, const std::vector<TSprite*>& Cell,
                                  std::vector<TSprite*>& Out) {
  for (TSprite* s : Cell) {
    auto& e = s->collision_;
    if (s == Self || e.Stamp == stamp_) continue;
    e.Stamp = stamp_;
    if (RectsOverlap(Bounds, e.Bounds)) Out.push_back(s);
  }
}

void TSpriteCollisionIndex::Candidates(TSprite* Sprite, const fw::TRect& Bounds, std::vector<TSprite*>& Out) {
  if (!valid_ || stamp_ == UINT32_MAX)
    Rebuild();
  else
    Refresh();
  ++stamp_;

  const fw::TRect c = CellsOf(Bounds);
  const std::int64_t count = std::int64_t{c.right - c.left} * std::int64_t{c.bottom - c.top};
  if (count > static_cast<std::int64_t>(cells_.size())) {
    // Wider than the filled part of the grid: look at the filled cells instead.
    for (const auto& [key, cell] : cells_) {
      const auto col = static_cast<std::int32_t>(static_cast<std::uint32_t>(key >> 32));
      const auto row = static_cast<std::int32_t>(static_cast<std::uint32_t>(key));
      if (col >= c.left && col < c.right && row >= c.top && row < c.bottom) Visit(Sprite, Bounds, cell, Out);
    }
  } else {
    for (std::int32_t r = c.top; r < c.bottom; ++r)
      for (std::int32_t col = c.left; col < c.right; ++col) {
        const auto it = cells_.find(Key(col, r));
        if (it != cells_.end()) Visit(Sprite, Bounds, it->second, Out);
      }
  }
  Visit(Sprite, Bounds, large_, Out);
  std::sort(Out.begin(), Out.end(),
            [](const TSprite* a, const TSprite* b) { return a->collision_.Rank < b->collision_.Rank; });
}

}  // namespace dx
