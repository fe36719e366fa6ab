// The collision pass: a sprite asks which others it touches. A grid of the sprites' bounds keeps
// each test to the sprites near the asking one, so asking for every sprite of the scene costs
// about as much as the scene has sprites.
#include <bit>
#include <cmath>

#include "dx/DXSpriteInternal.h"

namespace dx {

namespace {

// Cells from 4 to 4096 pixels wide.
constexpr std::int32_t kMinShift = 2;
constexpr std::int32_t kMaxShift = 12;
// A slot whose sprite has moved out of it: it overlaps nothing.
constexpr fw::TRect kNowhere{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};

// How many moved sprites every test may look at before the cells are packed again: looking at
// them costs each test a little, packing costs as much as a few hundred tests. The square root
// keeps the two in balance when sprites move between the tests of one pass.
std::size_t LooseLimit(std::size_t Sprites) {
  return 32 + static_cast<std::size_t>(2 * std::sqrt(static_cast<double>(Sprites)));
}

}  // namespace

fw::TRect TSprite::KnownBounds() {
  const TSpriteCollisionIndex* index = engine_ ? engine_->collisions_.get() : nullptr;
  return index && index->Current() ? index->BoundsOf(this) : GetBounds();
}

std::int32_t TSprite::Collision() {
  if (!engine_ || deaded_) return 0;
  if (!engine_->collisions_) engine_->collisions_ = std::make_unique<TSpriteCollisionIndex>(engine_);
  TSpriteCollisionIndex& index = *engine_->collisions_;
  std::vector<TSprite*> candidates = index.TakeList();
  index.Candidates(this, candidates);
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
  // Invalidate lets go of every marked sprite, this one too.
  Invalidate();
  Sprite->collision_.Moved = false;
}

void TSpriteCollisionIndex::Rebuild() {
  for (TSprite* s : moved_) s->collision_.Moved = false;
  moved_.clear();

  // Every sprite in drawing order: each parent before its children, subtrees by depth.
  sprites_.clear();
  bounds_.clear();
  walk_.clear();
  auto push_children = [this](TSprite* s) {
    if (const auto* order = s->DrawOrder())
      for (auto it = order->rbegin(); it != order->rend(); ++it) walk_.push_back(*it);
  };
  push_children(engine_);
  std::vector<std::uint32_t> extents;
  while (!walk_.empty()) {
    TSprite* s = walk_.back();
    walk_.pop_back();
    s->collision_ = TSprite::CollisionEntry{static_cast<std::uint32_t>(sprites_.size()), false};
    const fw::TRect b = s->GetBounds();
    const std::int64_t w = std::int64_t{b.right} - b.left;
    const std::int64_t h = std::int64_t{b.bottom} - b.top;
    if (w > 0 && h > 0) extents.push_back(static_cast<std::uint32_t>(std::min<std::int64_t>(std::max(w, h), 1 << 30)));
    sprites_.push_back(s);
    bounds_.push_back(b);
    push_children(s);
  }
  // Cells as wide as all but the biggest hundredth of the sprites.
  std::uint32_t typical = 32;
  if (!extents.empty()) {
    const auto at = extents.begin() + static_cast<std::ptrdiff_t>(extents.size() * 99 / 100);
    std::nth_element(extents.begin(), at, extents.end());
    typical = *at;
  }
  shift_ = std::clamp(static_cast<std::int32_t>(std::bit_width(typical - 1)), kMinShift, kMaxShift);
  valid_ = true;
  Pack();
}

void TSpriteCollisionIndex::Pack() {
  const std::size_t n = sprites_.size();
  const std::size_t buckets = std::max<std::size_t>(16, std::bit_ceil(2 * n));
  mask_ = static_cast<std::uint32_t>(buckets - 1);
  large_.clear();
  loose_.clear();
  slot_of_.resize(n);
  const std::int64_t cell = std::int64_t{1} << shift_;
  col0_ = row0_ = INT64_MAX;
  col1_ = row1_ = INT64_MIN;
  for (std::uint32_t r = 0; r < n; ++r) {
    const fw::TRect& b = bounds_[r];
    const std::int64_t w = std::int64_t{b.right} - b.left;
    const std::int64_t h = std::int64_t{b.bottom} - b.top;
    if (w < 0 || h < 0 || w > cell || h > cell) {
      slot_of_[r] = kAside;
      large_.push_back(r);
      continue;
    }
    slot_of_[r] = 0;
    col0_ = std::min<std::int64_t>(col0_, b.left >> shift_);
    col1_ = std::max<std::int64_t>(col1_, b.left >> shift_);
    row0_ = std::min<std::int64_t>(row0_, b.top >> shift_);
    row1_ = std::max<std::int64_t>(row1_, b.top >> shift_);
  }
  dense_ = col0_ <= col1_ && static_cast<std::uint64_t>(col1_ - col0_ + 1) * static_cast<std::uint64_t>(row1_ - row0_ + 1) <= buckets;
  cols_ = dense_ ? static_cast<std::uint32_t>(col1_ - col0_ + 1) : 0;

  // Count the slots of each hash (keeping each sprite's hash), then lay them out.
  starts_.assign(buckets + 1, 0);
  for (std::uint32_t r = 0; r < n; ++r) {
    if (slot_of_[r] == kAside) continue;
    const std::uint32_t k = Bucket(bounds_[r].left >> shift_, bounds_[r].top >> shift_);
    slot_of_[r] = k;
    ++starts_[k + 1];
  }
  for (std::size_t k = 0; k < buckets; ++k) starts_[k + 1] += starts_[k];
  slots_.resize(starts_[buckets]);
  next_.assign(starts_.begin(), starts_.end() - 1);
  for (std::uint32_t r = 0; r < n; ++r) {
    if (slot_of_[r] == kAside) continue;
    const std::uint32_t at = next_[slot_of_[r]]++;
    slots_[at] = Slot{bounds_[r], r, sprites_[r]};
    slot_of_[r] = at;
  }
}

void TSpriteCollisionIndex::Refresh() {
  // Many moves: take every new bound and pack again. A few: take the moved sprites out of their
  // slots and look at them apart.
  const std::size_t limit = LooseLimit(sprites_.size());
  const bool repack = moved_.size() > limit;
  // A moved parent carries its subtree with it.
  for (TSprite* m : moved_) {
    m->collision_.Moved = false;
    walk_.push_back(m);
    while (!walk_.empty()) {
      TSprite* s = walk_.back();
      walk_.pop_back();
      if (const auto* children = s->Children()) walk_.insert(walk_.end(), children->begin(), children->end());
      const std::uint32_t r = s->collision_.Rank;
      const fw::TRect b = s->GetBounds();
      if (b == bounds_[r]) continue;
      bounds_[r] = b;
      if (repack || slot_of_[r] == kAside) continue;
      slots_[slot_of_[r]].Bounds = kNowhere;
      slot_of_[r] = kAside;
      loose_.push_back(r);
    }
  }
  moved_.clear();
  if (repack || loose_.size() > limit) Pack();
}

void TSpriteCollisionIndex::Collect(std::uint32_t Self, const fw::TRect& Bounds, const Slot* First,
                                    const Slot* Last) {
  // Every slot is written out and kept only where it overlaps: no branch to mispredict on the
  // half of the neighbours that meet the asking sprite.
  const std::size_t room = found_n_ + static_cast<std::size_t>(Last - First);
  if (found_.size() < room) found_.resize(std::max(room, 2 * found_.size()));
  Found* out = found_.data() + found_n_;
  std::size_t n = 0;
  for (const Slot* s = First; s != Last; ++s) {
    const fw::TRect& r = s->Bounds;
    out[n] = Found{s->Rank, s->Sprite};
    n += static_cast<std::size_t>((Bounds.left < r.right) & (r.left < Bounds.right) & (Bounds.top < r.bottom) &
                                  (r.top < Bounds.bottom) & (s->Rank != Self));
  }
  found_n_ += n;
}

bool TSpriteCollisionIndex::CellsOf(const fw::TRect& q, std::int64_t& c0, std::int64_t& c1, std::int64_t& r0,
                                    std::int64_t& r1) const {
  // A filed sprite is at most a cell wide and high, so one that overlaps q has its top left
  // corner at most a cell (less one pixel) left of and above q's; and it lies among the filled
  // cells.
  const std::int64_t cell = std::int64_t{1} << shift_;
  c0 = std::max(col0_, (std::int64_t{q.left} - cell + 1) >> shift_);
  c1 = std::min(col1_, (std::int64_t{q.right} - 1) >> shift_);
  r0 = std::max(row0_, (std::int64_t{q.top} - cell + 1) >> shift_);
  r1 = std::min(row1_, (std::int64_t{q.bottom} - 1) >> shift_);
  return c0 <= c1 && r0 <= r1;
}

void TSpriteCollisionIndex::Prefetch(std::uint32_t Self) const {
  const std::size_t n = bounds_.size();
  std::int64_t c0, c1, r0, r1;
  // Only a few rows of a few cells each: a sprite reading more is no common case.
  auto few = [&] { return r1 - r0 < 4 && c1 - c0 < 4; };
  if (Self + 2 < n && CellsOf(bounds_[Self + 2], c0, c1, r0, r1) && few())
    for (std::int64_t row = r0; row <= r1; ++row) __builtin_prefetch(&starts_[Bucket(c0, row)]);
  if (Self + 1 < n && CellsOf(bounds_[Self + 1], c0, c1, r0, r1) && few()) {
    const std::uint32_t buckets = mask_ + 1;
    for (std::int64_t row = r0; row <= r1; ++row) {
      const std::uint32_t k0 = Bucket(c0, row);
      const std::uint32_t k1 = std::min(k0 + static_cast<std::uint32_t>(c1 - c0 + 1), buckets);
      const Slot* first = slots_.data() + starts_[k0];
      const Slot* last = slots_.data() + starts_[k1];
      for (const Slot* p = first; p < last; p += 2) __builtin_prefetch(p);
    }
  }
}

void TSpriteCollisionIndex::Candidates(TSprite* Sprite, std::vector<TSprite*>& Out) {
  if (!valid_)
    Rebuild();
  else if (!moved_.empty())
    Refresh();

  const std::uint32_t self = Sprite->collision_.Rank;
  const fw::TRect q = bounds_[self];
  found_n_ = 0;
  std::int64_t c0, c1, r0, r1;
  if (CellsOf(q, c0, c1, r0, r1)) {
    const std::uint64_t cols = static_cast<std::uint64_t>(c1 - c0 + 1);
    const Slot* slots = slots_.data();
    if (cols * static_cast<std::uint64_t>(r1 - r0 + 1) > mask_) {
      // As many cells as hashes: read every slot once instead.
      Collect(self, q, slots, slots + slots_.size());
    } else {
      const std::uint32_t buckets = mask_ + 1;
      for (std::int64_t row = r0; row <= r1; ++row) {
        const std::uint32_t k0 = Bucket(c0, row);
        const std::uint32_t k1 = k0 + static_cast<std::uint32_t>(cols);
        if (k1 <= buckets) {
          Collect(self, q, slots + starts_[k0], slots + starts_[k1]);
        } else {
          // The row wraps round the end of the table.
          Collect(self, q, slots + starts_[k0], slots + starts_[buckets]);
          Collect(self, q, slots, slots + starts_[k1 - buckets]);
        }
      }
    }
  }
  for (const auto* aside : {&large_, &loose_})
    for (std::uint32_t r : *aside)
      if (r != self && RectsOverlap(q, bounds_[r])) {
        if (found_n_ == found_.size()) found_.resize(2 * found_n_ + 16);
        found_[found_n_++] = Found{r, sprites_[r]};
      }
  Found* const first = found_.data();
  Found* last = first + found_n_;
  // A test mostly finds a handful.
  if (found_n_ <= 16) {
    for (Found* i = first + (found_n_ > 0); i < last; ++i) {
      const Found v = *i;
      Found* j = i;
      for (; j > first && j[-1].Rank > v.Rank; --j) *j = j[-1];
      *j = v;
    }
  } else {
    std::sort(first, last, [](const Found& a, const Found& b) { return a.Rank < b.Rank; });
  }
  // Scattered rows can share hashes, and so read a run of slots twice.
  if (!dense_) last = std::unique(first, last, [](const Found& a, const Found& b) { return a.Rank == b.Rank; });
  for (const Found* i = first; i != last; ++i) {
    // The pass reads each candidate's flags next: start fetching them all at once.
    TSprite* other = i->Sprite;
    __builtin_prefetch(&other->CollisionEnabled);
    __builtin_prefetch(&other->deaded_);
    Out.push_back(other);
  }
  Prefetch(self);
}

}  // namespace dx
