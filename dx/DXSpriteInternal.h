#pragma once
// What the sprite sources share: rectangle helpers and the collision index.
#include <algorithm>
#include <cstdint>
#include <unordered_map>
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

  std::int32_t CellSize() const { return cell_size_; }

 private:
  void Rebuild();
  void Refresh();
  void Refile(TSprite* Sprite);
  void Insert(TSprite* Sprite, const fw::TRect& Bounds);
  void Erase(TSprite* Sprite);
  fw::TRect CellsOf(const fw::TRect& Bounds) const;
  static std::uint64_t Key(std::int32_t Col, std::int32_t Row) {
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(Col)) << 32) | static_cast<std::uint32_t>(Row);
  }
  void Visit(TSprite* Self, const fw::TRect& Bounds, const std::vector<TSprite*>& Cell,
             std::vector<TSprite*>& Out);

  TSpriteEngine* engine_;
  bool valid_ = false;
  std::int32_t cell_size_ = 32;
  std::uint32_t stamp_ = 0;
  std::unordered_map<std::uint64_t, std::vector<TSprite*>> cells_;
  // Sprites covering too many cells to file cell by cell; every test looks at them.
  std::vector<TSprite*> large_;
  std::vector<TSprite*> moved_;
  std::vector<TSprite*> walk_;
};

}  // namespace dx
