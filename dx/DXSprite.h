#pragma once
// Sprites: a tree of moving pictures under one engine, moved once a frame by the elapsed time
// and drawn in depth order onto the display's drawing surface; image sprites that draw one
// pattern of an image-list item, background sprites that tile a map of patterns, and a
// collision pass for programs that want sprites to react to each other.
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "dx/DXClass.h"
#include "dx/DXDrawsDisplay.h"
#include "framework/Classes.h"
#include "framework/Types.h"

namespace dx {

class TDirectDrawSurface;
class TPictureCollectionItem;
class TSprite;
class TSpriteEngine;
class TSpriteCollisionIndex;

class ESpriteError : public fw::Exception {
 public:
  using fw::Exception::Exception;
};

// Creates a sprite of class T under Parent, which owns it from then on (freeing the parent frees
// it). A sprite without a parent belongs to whoever holds the returned pointer.
template <class T, class... A>
T* MakeSprite(TSprite* Parent, A&&... args);

class TSprite : public fw::TObject {
  FW_CLASS(TSprite, fw::TObject)
 public:
  // Children in order of addition, and the same children by ascending Z.
  using TChildList = std::vector<TSprite*>;
  using TDrawList = std::deque<TSprite*>;

  explicit TSprite(TSprite* AParent);
  // Frees the subtree, then leaves the parent, the engine's count and its dispose list.
  ~TSprite() override;

  // Frees this sprite (and its subtree); it leaves its parent as it goes. For sprites made
  // under a parent; a sprite without one is freed by whoever holds it.
  void Free() { delete this; }

  void Advance(std::int32_t MoveCount);
  void Paint();
  void FreeChildren();
  std::int32_t ChildCount() const { return lists_ ? static_cast<std::int32_t>(lists_->Children.size()) : 0; }
  // Raises ESpriteError "Index of the list exceeds the range. (%d)" on a sprite without
  // children, EListError "List index out of bounds (%d)" for a bad index otherwise.
  TSprite* Child(std::int32_t Index) const;
  // Both lists exist only while there are children; null otherwise.
  const TChildList* Children() const { return lists_ ? &lists_->Children : nullptr; }
  const TDrawList* DrawOrder() const { return lists_ ? &lists_->DrawOrder : nullptr; }

  long double AbsX() const;
  long double AbsY() const;

  // Puts the sprite on its engine's dispose list, once; the next FreeDisposed frees it. This is
  // how Step and Collided remove sprites while the tree is being walked. Not for the engine.
  void Dead();
  bool Deaded() const { return deaded_; }

  // Tests this sprite against every other sprite of its engine's tree whose CollisionEnabled is
  // set and that is not dead: rectangles first, then Overlaps. Collided runs for each hit, in
  // drawing order, until it sets Done. Returns the number of hits. Candidates are chosen when
  // the call begins; a sprite marked Dead meanwhile is skipped.
  std::int32_t Collision();

  // Tell the engine that GetBounds may answer differently although no position or size setter
  // ran (for subclasses whose bounds follow state of their own).
  void BoundsChanged();

  TSpriteEngine* Engine() const { return engine_; }
  TSprite* Parent() const { return parent_; }

  double X() const { return x_; }
  void SetX(double Value);
  double Y() const { return y_; }
  void SetY(double Value);
  std::int32_t Z() const { return z_; }
  void SetZ(std::int32_t Value);
  std::int32_t Width() const { return width_; }
  void SetWidth(std::int32_t Value);
  std::int32_t Height() const { return height_; }
  void SetHeight(std::int32_t Value);

  bool CollisionEnabled = true;
  // False: Advance skips this sprite and its subtree.
  bool MoveEnabled = true;
  // False: Paint skips this sprite and its subtree.
  bool Visible = true;

  virtual void Collided(TSprite* Sprite, bool& Done);
  virtual void Render();
  virtual void Step(std::int32_t MoveCount);
  virtual fw::TRect GetBounds();
  virtual bool Overlaps(TSprite* Sprite);

 private:
  friend class TSpriteEngine;
  friend class TSpriteCollisionIndex;
  friend class TImageSprite;

  struct Lists {
    TChildList Children;
    TDrawList DrawOrder;
  };
  // Where the collision index keeps this sprite.
  struct CollisionEntry {
    std::uint32_t Rank = 0;  // place in drawing order
    bool Moved = false;
  };

  void Add(TSprite* Sprite);
  void Remove(TSprite* Sprite);
  void InsertByZ(TSprite* Sprite);
  void RemoveFromDrawOrder(TSprite* Sprite);
  void Moved();
  // GetBounds, or what the collision index took from it while nothing has moved since: a hit
  // test within the pass reads the bounds without working them out again.
  fw::TRect KnownBounds();

  TSpriteEngine* engine_ = nullptr;
  TSprite* parent_ = nullptr;
  std::unique_ptr<Lists> lists_;
  double x_ = 0;
  double y_ = 0;
  std::int32_t z_ = 0;
  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
  bool deaded_ = false;
  bool is_engine_ = false;
  bool is_image_ = false;  // a TImageSprite
  CollisionEntry collision_;
};

template <class T, class... A>
T* MakeSprite(TSprite* Parent, A&&... args) {
  // The parent's tree owns what is made under it; see TSprite::FreeChildren.
  return new T(Parent, std::forward<A>(args)...);
}

class TSpriteEngine : public TSprite {
  FW_CLASS(TSpriteEngine, TSprite)
 public:
  // The root of a tree; it has no parent.
  explicit TSpriteEngine(TSprite* AParent = nullptr);
  ~TSpriteEngine() override;

  void FreeDisposed();
  // Counts again what is drawn, then paints the tree.
  void Paint();
  // Draws on S from now on (null: nowhere); the view is S's client rectangle.
  void AttachSurface(TDirectDrawSurface* S);

  std::int32_t SpriteCount() const { return sprite_count_; }
  const std::vector<TSprite*>& DisposeList() const { return dispose_list_; }
  std::int32_t DrawnCount() const { return drawn_count_; }
  TDirectDrawSurface* Surface() const { return surface_; }
  const fw::TRect& ViewRect() const { return view_rect_; }

 private:
  friend class TSprite;
  friend class TSpriteCollisionIndex;

  std::int32_t sprite_count_ = 0;
  std::vector<TSprite*> dispose_list_;
  std::int32_t drawn_count_ = 0;
  TDirectDrawSurface* surface_ = nullptr;
  fw::TRect view_rect_{};
  // Made by the first collision test; kept up to date from then on.
  std::unique_ptr<TSpriteCollisionIndex> collisions_;
};

// ---------------------------------------------------------------------------------------------
// Image and background sprites

class TImageSprite : public TSprite {
  FW_CLASS(TImageSprite, TSprite)
 public:
  explicit TImageSprite(TSprite* AParent);

  // Trunc(FramePos) + FrameStart.
  std::int32_t CurrentPattern() const;
  // The bounds with the pattern centred in them.
  fw::TRect DrawRect();

  std::int32_t FrameCount = 0;
  bool FrameLoop = false;
  double FramePos = 0;
  double FrameSpeed = 0;
  std::int32_t FrameStart = 0;
  TPictureCollectionItem* ImageItem = nullptr;  // not owned
  // Overlaps compares pixels, not only rectangles.
  bool ExactHit = false;

  // The position wraps around the engine's surface.
  bool Wrap() const { return wrap_; }
  void SetWrap(bool Value);

  void Render() override;
  void Step(std::int32_t MoveCount) override;
  fw::TRect GetBounds() override;
  bool Overlaps(TSprite* Sprite) override;

 private:
  bool PixelHitTest(TImageSprite* Other);
  // DrawRect for these bounds.
  fw::TRect DrawRectIn(const fw::TRect& Bounds) const;

  bool wrap_ = false;
};

class TBackgroundSprite : public TSprite {
  FW_CLASS(TBackgroundSprite, TSprite)
 public:
  explicit TBackgroundSprite(TSprite* AParent);
  ~TBackgroundSprite() override;

  // Any change of size discards the map: every cell pattern 0, every collision flag set.
  void ResizeMap(std::int32_t Columns, std::int32_t Rows);
  // -1 and false outside the map.
  std::int32_t TileAt(std::int32_t Col, std::int32_t Row) const;
  bool HitAt(std::int32_t Col, std::int32_t Row) const;
  // Writes one cell; false (and nothing written) outside the map.
  bool SetTile(std::int32_t Col, std::int32_t Row, std::int32_t Value);
  bool SetHit(std::int32_t Col, std::int32_t Row, bool Value);

  std::int32_t MapColumns() const { return map_columns_; }
  std::int32_t MapRows() const { return map_rows_; }
  const std::vector<std::int32_t>& TileMap() const { return tile_map_; }
  const std::vector<std::uint8_t>& HitMap() const { return hit_map_; }

  TPictureCollectionItem* ImageItem() const { return image_item_; }
  void SetImageItem(TPictureCollectionItem* Value);
  // The map repeats without end in both directions.
  bool Wrap() const { return wrap_; }
  void SetWrap(bool Value);

  void Render() override;
  fw::TRect GetBounds() override;
  bool Overlaps(TSprite* Sprite) override;

 private:
  TPictureCollectionItem* image_item_ = nullptr;
  std::vector<std::uint8_t> hit_map_;
  std::vector<std::int32_t> tile_map_;
  std::int32_t map_columns_ = 0;
  std::int32_t map_rows_ = 0;
  bool wrap_ = false;
};

// ---------------------------------------------------------------------------------------------
// The component

class TCustomDXSpriteEngine : public fw::TComponent {
  FW_CLASS(TCustomDXSpriteEngine, fw::TComponent)
 public:
  explicit TCustomDXSpriteEngine(fw::TComponent* AOwner);
  ~TCustomDXSpriteEngine() override;

  // The frame: move, free what died, (the caller clears the surface,) draw.
  void Advance(std::int32_t MoveCount);
  void FreeDisposed();
  // Only while the linked display is initialized.
  void Paint();

  TCustomDXDraw* DXDraw() const { return dxdraw_; }
  void SetDXDraw(TCustomDXDraw* Value);
  TSpriteEngine* Engine() const { return engine_.get(); }

  void Notification(fw::TComponent* AComponent, fw::TOperation Operation) override;

 private:
  static void DXDrawNotifyEvent(void* Object, TCustomDXDraw* Sender, TDXDrawNotifyType NotifyType);

  TCustomDXDraw* dxdraw_ = nullptr;
  std::unique_ptr<TSpriteEngine> engine_;
};

class TDXSpriteEngine : public TCustomDXSpriteEngine {
  FW_CLASS(TDXSpriteEngine, TCustomDXSpriteEngine)
 public:
  using TCustomDXSpriteEngine::TCustomDXSpriteEngine;
};

// Whole pixels of a position, towards zero, held within the range rectangles can use.
std::int32_t TruncPos(long double Value);

}  // namespace dx
