#pragma once
// What the sprite sources share: rectangle helpers and the collision index.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "dx/DXSprite.h"

namespace dx {

// Edge + extent, held within 32 bits.
inline std::int32_t AddEdge(std::int32_t Edge, std::int64_t Extent) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(Edge + Extent, INT32_MIN, INT32_MAX));
}
inline fw::TRect SpriteRect(std::int32_t L, std::int32_t T, std::int64_t W, std::int64_t H) {
  return fw::TRect{L, T, AddEdge(L, W), AddEdge(T, H)};
}

// A grid over the bounds of every sprite of an engine's tree, so that a collision test looks
// only at sprites near the asking one.
//
// Each sprite is filed once, in the cell of its top left corner; cells are a power of two wide,
// as wide as nearly every sprite, so a test looks at its own cells and those up to one cell
// width to the left and above. The cells are packed: one array of slots (bounds and place in
// drawing order) sorted by cell, cells hashed into a table of starts, built in one pass. Sprites
// too big for the cells, or without a proper rectangle, are kept aside and looked at by every test.
//
// The whole index is built by the first test after the tree changes shape (sprites made or freed,
// depths changed, a new view). Moving a sprite marks it; the next test takes the new bounds of
// what was marked. A few moved sprites are taken out of their slots and looked at by every test
// until there are enough of them to pack the cells again; many are packed again at once.
class TSpriteCollisionIndex {
 public:
  explicit TSpriteCollisionIndex(TSpriteEngine* AEngine) : engine_(AEngine) {}

  // The shape of the tree changed: build again before the next test.
  void Invalidate();
  // The sprite's bounds (and its subtree's) may have changed.
  void MarkMoved(TSprite* Sprite);
  // The sprite is being freed.
  void Forget(TSprite* Sprite);
  // Counts every move and every change of shape: while it stays the same, the bounds the
  // candidates were chosen by are still every sprite's bounds.
  std::uint64_t Changes() const { return changes_; }
  // The sprites other than Sprite whose bounds overlap Sprite's, in drawing order.
  void Candidates(TSprite* Sprite, std::vector<TSprite*>& Out);

  // A list to collect candidates in, kept from one test to the next (a test that Collided starts
  // from within another gets a fresh one).
  std::vector<TSprite*> TakeList() { return std::move(spare_); }
  void GiveBack(std::vector<TSprite*>&& List) {
    List.clear();
    if (List.capacity() >= spare_.capacity()) spare_ = std::move(List);
  }

  std::int32_t CellSize() const { return std::int32_t{1} << shift_; }

  // Every sprite's bounds are those the index holds: built, and nothing moved since.
  bool Current() const { return valid_ && moved_.empty(); }
  const fw::TRect& BoundsOf(const TSprite* Sprite) const { return bounds_[Sprite->collision_.Rank]; }

 private:
  // A slot holds the sprite as well as its place, so that a test goes from the slots it reads
  // straight to the sprites it finds.
  struct Slot {
    fw::TRect Bounds;
    std::uint32_t Rank;
    TSprite* Sprite;
  };
  struct Found {
    std::uint32_t Rank;
    TSprite* Sprite;
  };
  // slot_of_ for a sprite not in a slot.
  static constexpr std::uint32_t kAside = UINT32_MAX;

  void Rebuild();
  void Refresh();
  void Pack();
  // Cells of one row have neighbouring hashes, so that the cells a test reads in a row are one
  // run of slots. Where the filled cells form a rectangle no bigger than the table, each cell has
  // a hash of its own; otherwise rows start at scattered places.
  std::uint32_t RowStart(std::int64_t Row) const {
    return dense_ ? static_cast<std::uint32_t>(Row - row0_) * cols_ - static_cast<std::uint32_t>(col0_)
                  : static_cast<std::uint32_t>(Row) * 0x9E3779B1u;
  }
  std::uint32_t Bucket(std::int64_t Col, std::int64_t Row) const {
    return (RowStart(Row) + static_cast<std::uint32_t>(Col)) & mask_;
  }
  void Collect(std::uint32_t Self, const fw::TRect& Bounds, const Slot* First, const Slot* Last);
  // The columns and rows of the cells a sprite with bounds q reads; false where it reads none.
  bool CellsOf(const fw::TRect& q, std::int64_t& c0, std::int64_t& c1, std::int64_t& r0, std::int64_t& r1) const;
  // A pass mostly asks in drawing order, and the cells of the sprites after the asking one are
  // far apart in memory: starts fetching the cells' starts for the one after next, and the slots
  // for the next.
  void Prefetch(std::uint32_t Self) const;

  TSpriteEngine* engine_;
  bool valid_ = false;
  std::uint64_t changes_ = 0;
  std::int32_t shift_ = 5;
  std::uint32_t mask_ = 0;
  // By place in drawing order: the sprite, its bounds as of the last test, its slot.
  std::vector<TSprite*> sprites_;
  std::vector<fw::TRect> bounds_;
  std::vector<std::uint32_t> slot_of_;
  // Cell hash b holds slots_[starts_[b]] up to slots_[starts_[b + 1]]; a run of hashes holds
  // one run of slots.
  std::vector<std::uint32_t> starts_;
  std::vector<Slot> slots_;
  std::vector<std::uint32_t> next_;  // while packing: the next free slot of each hash
  // The filled cells lie in columns col0_ to col1_ and rows row0_ to row1_.
  bool dense_ = false;
  std::uint32_t cols_ = 0;
  std::int64_t col0_ = 0, col1_ = -1, row0_ = 0, row1_ = -1;
  // Places in drawing order of the sprites every test looks at: too big or too odd for a slot,
  // and moved out of their slots since the last packing.
  std::vector<std::uint32_t> large_;
  std::vector<std::uint32_t> loose_;
  std::vector<TSprite*> moved_;
  std::vector<TSprite*> walk_;
  // The candidates of the test under way: found_n_ of them, at the front of found_.
  std::vector<Found> found_;
  std::size_t found_n_ = 0;
  std::vector<TSprite*> spare_;
};

}  // namespace dx
