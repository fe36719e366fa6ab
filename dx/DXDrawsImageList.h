#pragma once
// The image list: named pictures, each cut into equal patterns that are drawn from DirectDraw
// surfaces. The list follows the display it is linked to: its items get their surfaces when
// the display comes up and restores, and drop them when it goes down. Pictures stay in memory
// all the time, so surfaces can always be made again.
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "dx/DXClass.h"
#include "dx/DXDraws.h"
#include "dx/DXDrawsDisplay.h"
#include "framework/Classes.h"
#include "framework/Colors.h"
#include "framework/Graphics.h"
#include "framework/Types.h"

namespace dx {

class TPictureCollection;
class TCustomDXImageList;

class EPictureCollectionError : public fw::Exception {
 public:
  using fw::Exception::Exception;
};

// One pattern: a rectangle of one of its item's surfaces.
class TPictureCollectionItemPattern : public fw::TCollectionItem {
  FW_CLASS(TPictureCollectionItemPattern, fw::TCollectionItem)
 public:
  explicit TPictureCollectionItemPattern(fw::TCollection* Collection) : TCollectionItem(Collection) {}

  fw::TRect Rect{};
  TDirectDrawSurface* Surface = nullptr;  // one of the item's surfaces, not owned
};

class TPictureCollectionItem : public THashCollectionItem {
  FW_CLASS(TPictureCollectionItem, THashCollectionItem)
 public:
  explicit TPictureCollectionItem(fw::TCollection* Collection);
  ~TPictureCollectionItem() override;

  // From another item: everything but the name, the surfaces remade if this one was ready.
  // Anything else as a hash-collection item (the name only).
  void Assign(fw::TPersistent* Source) override;

  // The pattern size, or the picture's where the pattern size is not positive.
  int CellWidth() const;
  int CellHeight() const;
  // The picture's size.
  int Width() const { return picture_->Width(); }
  int Height() const { return picture_->Height(); }

  int PatternCount() const { return patterns_->Count(); }
  // (0, 0, 0, 0) and null for an index out of range.
  fw::TRect PatternRect(int Index) const;
  TDirectDrawSurface* PatternSurface(int Index) const;
  // Both at once; null for an index out of range.
  const TPictureCollectionItemPattern* Pattern(int Index) const;
  // Draws the pattern at (X, Y) on Dest, with the colour key when Transparent; nothing while
  // not ready or for an index out of range.
  void DrawPattern(TDirectDrawSurface* Dest, int X, int Y, int Index);

  // Drops the surfaces; the item is no longer ready.
  void Detach();
  // Drops the surfaces; the item is ready when its collection is (no surface is made yet).
  void Attach();
  // Makes the surfaces and patterns from the picture.
  void Rebuild();

  TPictureCollection* PictureCollection() const;
  bool Ready() const { return ready_; }
  int SurfaceCount() const { return static_cast<int>(surfaces_.size()); }
  TDirectDrawSurface* Surfaces(int Index) const { return surfaces_.at(static_cast<std::size_t>(Index)).get(); }

  fw::TPicture* Picture() const { return picture_.get(); }
  // Copies the picture; surfaces are not remade.
  void SetPicture(fw::TPicture* Value) { picture_->Assign(Value); }
  int PatternHeight() const { return pattern_height_; }
  void SetPatternHeight(int Value) { pattern_height_ = Value; }
  int PatternWidth() const { return pattern_width_; }
  void SetPatternWidth(int Value) { pattern_width_ = Value; }
  int SkipHeight() const { return skip_height_; }
  void SetSkipHeight(int Value) { skip_height_ = Value; }
  int SkipWidth() const { return skip_width_; }
  void SetSkipWidth(int Value) { skip_width_ = Value; }
  bool SystemMemory() const { return system_memory_; }
  void SetSystemMemory(bool Value) { system_memory_ = Value; }
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool Value) { transparent_ = Value; }
  fw::TColor TransparentColor() const { return transparent_color_; }
  // Re-keys the existing surfaces at once (a surface that refuses is skipped); no rebuild.
  void SetTransparentColor(fw::TColor Value);

 private:
  void ClearSurfaces();
  // A surface from rectangle R of the picture, appended to the surfaces.
  TDirectDrawSurface* MakeSurface(const fw::TRect& R);
  void AddPattern(const fw::TRect& R, TDirectDrawSurface* Surface);

  std::unique_ptr<fw::TPicture> picture_;
  bool ready_ = false;
  int pattern_height_ = 0;
  int pattern_width_ = 0;
  std::unique_ptr<fw::TCollection> patterns_;
  int skip_height_ = 0;
  int skip_width_ = 0;
  std::vector<std::unique_ptr<TDirectDrawSurface>> surfaces_;
  bool system_memory_ = false;
  bool transparent_ = true;
  fw::TColor transparent_color_ = fw::clBlack;
};

class TPictureCollection : public THashCollection {
  FW_CLASS(TPictureCollection, THashCollection)
 public:
  // AOwner is the image list (or null for a free-standing collection).
  explicit TPictureCollection(fw::TPersistent* AOwner);
  ~TPictureCollection() override;

  TPictureCollectionItem* Items(int Index) const {
    return static_cast<TPictureCollectionItem*>(THashCollection::Items(Index));
  }
  TPictureCollectionItem* Add() { return static_cast<TPictureCollectionItem*>(THashCollection::Add()); }
  // The item called Name (without regard to case; of two alike the later); raises
  // EPictureCollectionError "Image '%s' not found".
  TPictureCollectionItem* Lookup(const std::string& Name) const;

  // Links the collection to an initialized display and makes every item ready; raises
  // EPictureCollectionError "%s cannot be initialized" otherwise (the display is kept).
  void Attach(TCustomDXDraw* ADisplay);
  void Detach();
  void Rebuild();
  bool IsReady() const;
  TCustomDXDraw* Display() const { return display_; }

  // The 16 fixed colours in 0-7 and 248-255, the pictures' colours from 8 in order of first
  // appearance.
  void BuildColorTable();
  TRGBQuads ColorTable{};  // blue, green, red, reserved

  fw::TPersistent* GetOwner() override { return owner_; }
  // "ColorTable": exactly 1024 bytes, always stored.
  void DefineProperties(fw::TFiler& Filer) override;

 private:
  void ReadColorTable(fw::TStream& Stream);
  void WriteColorTable(fw::TStream& Stream);

  TCustomDXDraw* display_ = nullptr;
  fw::TPersistent* owner_;
};

class TCustomDXImageList : public fw::TComponent {
  FW_CLASS(TCustomDXImageList, fw::TComponent)
 public:
  explicit TCustomDXImageList(fw::TComponent* AOwner);
  ~TCustomDXImageList() override;

  TCustomDXDraw* DXDraw() const { return dxdraw_; }
  // Moves the listener from the old display to the new one; a running display attaches and
  // builds the items at once.
  void SetDXDraw(TCustomDXDraw* Value);
  TPictureCollection* Items() const { return items_.get(); }
  // Copies the given collection's items.
  void SetItems(TPictureCollection* Value) { items_->Assign(Value); }

  void Notification(fw::TComponent* AComponent, fw::TOperation Operation) override;

 private:
  static void DXDrawNotifyEvent(void* Object, TCustomDXDraw* Sender, TDXDrawNotifyType NotifyType);

  TCustomDXDraw* dxdraw_ = nullptr;
  std::unique_ptr<TPictureCollection> items_;
};

class TDXImageList : public TCustomDXImageList {
  FW_CLASS(TDXImageList, TCustomDXImageList)
 public:
  using TCustomDXImageList::TCustomDXImageList;
};

}  // namespace dx
