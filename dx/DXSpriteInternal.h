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

// A uniform grid over the bounds of every sprite of an engine's tree, so that a collision test
// looks only at sprites near the asking one. It is built by the first test after the tree
// changes shape (sprites made or freed, depths changed, a new view) and otherwise kept up to date
// sprite by sprite: moving a sprite marks it, and the next test re-files what was marked.
//
// Cells are a power of two wide, about the size of a typical sprite, and live in an open hash
// table keyed by column and row, so the grid costs memory only where there are sprites. Each cell
// keeps its sprites' bounds beside them: a test reads a few short arrays and
// touches no sprite it does not hit.
class TSpriteCollisionIndex {
 public:
  explicit TSpriteCollisionIndex(TSpriteEngine* AEngine) : engine_(AEngine) {}

  // The shape of the tree changed: build again before the next test.
  void Invalidate();
  // The sprite's bounds (and its subtree's) may have changed.
  void MarkMoved(TSprite* Sprite);
  // The sprite is being freed.
  void Forget(TSprite* Sprite);
  // The sprites other than Sprite whose bounds overlap Bounds, in drawing order.
  void Candidates(TSprite* Sprite, const fw::TRect& Bounds, std::vector<TSprite*>& Out);
  // Counts every move and every change of shape: while it stays the same, the bounds the
  // candidates were chosen by are still every sprite's bounds.
  std::uint64_t Changes() const { return changes_; }

  // A list to collect candidates in, kept from one test to the next (a test that Collided starts
  // from within another gets a fresh one).
  std::vector<TSprite*> TakeList() { return std::move(spare_); }
  void GiveBack(std::vector<TSprite*>&& List) {
    List.clear();
    if (List.capacity() > spare_.capacity()) spare_ = std::move(List);
  }

  std::int32_t CellSize() const { return std::int32_t{1} << shift_; }

 private:
  struct Entry {
    fw::TRect Bounds;
    TSprite* Sprite;
  };
  struct Cell {
    std::int32_t Col = 0;
    std::int32_t Row = 0;
    bool Used = false;
    std::vector<Entry> Entries;
  };

  void Rebuild();
  void Refresh();
  void Refile(TSprite* Sprite);
  void Insert(TSprite* Sprite, const fw::TRect& Bounds);
  void Erase(TSprite* Sprite);
  fw::TRect CellsOf(const fw::TRect& Bounds) const;
  static std::size_t Hash(std::int32_t Col, std::int32_t Row) {
    const std::uint64_t k = (std::uint64_t{static_cast<std::uint32_t>(Col)} << 32) | static_cast<std::uint32_t>(Row);
    return static_cast<std::size_t>((k * 0x9E3779B97F4A7C15ull) >> 32);
  }
  // The cell at (Col, Row), or null when none was ever filed there.
  Cell* Find(std::int32_t Col, std::int32_t Row);
  Cell& Make(std::int32_t Col, std::int32_t Row);
  void Grow();
  void Visit(const TSprite* Self, const fw::TRect& Bounds, const fw::TRect& Cells, const Cell& C,
             std::vector<TSprite*>& Out) const;

  TSpriteEngine* engine_;
  bool valid_ = false;
  std::int32_t shift_ = 5;
  std::uint64_t changes_ = 0;
  std::vector<Cell> table_;  // a power of two long, at most half used
  std::size_t used_ = 0;
  // Sprites covering too many cells to file cell by cell; every test looks at them.
  std::vector<TSprite*> large_;
  std::vector<TSprite*> moved_;
  std::vector<TSprite*> walk_;
  std::vector<TSprite*> spare_;
};

}  // namespace dx
