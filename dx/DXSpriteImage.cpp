// Image sprites (one pattern of an image-list item, animated through a run of patterns) and
// background sprites (a map of cells, each one pattern, repeated over the surface if asked).
#include <algorithm>
#include <cmath>

#include "dx/DXDraws.h"
#include "dx/DXKeyMaskInternal.h"
#include "dx/DXSpriteInternal.h"
#include "framework/ClassBuilder.h"
#include "platform/pixels/Pixels.h"

namespace dx {

FW_REGISTER(TImageSprite, nullptr)
FW_REGISTER(TBackgroundSprite, nullptr)

namespace {

// Into [0, n) for n > 0.
std::int32_t Wrapped(std::int64_t v, std::int64_t n) {
  std::int64_t r = v % n;
  if (r < 0) r += n;
  return static_cast<std::int32_t>(r);
}

// Where in an item's pattern a sprite is drawn, and what of it a hit test reads.
struct DrawnPattern {
  fw::TRect Source{};   // the pattern's rectangle on its surface
  fw::TRect Screen{};   // where it lands
  TDirectDrawSurface* Surface = nullptr;
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// Image sprites

TImageSprite::TImageSprite(TSprite* AParent) : TSprite(AParent) { is_image_ = true; }

void TImageSprite::SetWrap(bool Value) {
  if (Value == wrap_) return;
  wrap_ = Value;
  BoundsChanged();
}

std::int32_t TImageSprite::CurrentPattern() const {
  // TruncPos for a double, which needs no extended arithmetic: every hit test asks.
  const double p = FramePos;
  std::int64_t t = 0;
  if (p >= 1'000'000'000.0)
    t = 1'000'000'000;
  else if (p <= -1'000'000'000.0)
    t = -1'000'000'000;
  else if (p == p)
    t = static_cast<std::int64_t>(p);
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(t + FrameStart, INT32_MIN, INT32_MAX));
}

void TImageSprite::Step(std::int32_t MoveCount) {
  // Each step is worked out in extended precision and then stored: 0.1 + 0.3 x 3 is frame 1,
  // not the 0.99999999999999989 that double arithmetic gives.
  FramePos = static_cast<double>(static_cast<long double>(FramePos) +
                                 static_cast<long double>(FrameSpeed) * static_cast<long double>(MoveCount));
  if (FrameLoop) {
    if (FrameCount > 0) {
      const long double n = FrameCount;
      long double r = FramePos - std::trunc(FramePos / n) * n;
      if (r < 0) r += n;
      double p = static_cast<double>(r);
      // A remainder a hair below zero rounds up to n when n is added; that is frame 0.
      if (!(p >= 0 && p < FrameCount)) p = 0;
      FramePos = p;
    } else {
      FramePos = 0;
    }
  } else {
    if (FramePos >= FrameCount) {
      FramePos = FrameCount - 1;
      FrameSpeed = 0;
    }
    if (FramePos < 0) {
      FramePos = 0;
      FrameSpeed = 0;
    }
  }
}

fw::TRect TImageSprite::GetBounds() {
  std::int32_t x0 = TruncPos(AbsX());
  std::int32_t y0 = TruncPos(AbsY());
  if (wrap_ && Engine()) {
    const fw::TRect& view = Engine()->ViewRect();
    // A view and sprite of no size leave nothing to wrap around.
    const std::int64_t spanX = std::int64_t{view.right} + Width();
    const std::int64_t spanY = std::int64_t{view.bottom} + Height();
    if (spanX > 0) {
      x0 = Wrapped(x0, spanX);
      if (x0 > view.right) x0 = static_cast<std::int32_t>(x0 - spanX);
    }
    if (spanY > 0) {
      y0 = Wrapped(y0, spanY);
      if (y0 > view.bottom) y0 = static_cast<std::int32_t>(y0 - spanY);
    }
  }
  return SpriteRect(x0, y0, Width(), Height());
}

fw::TRect TImageSprite::DrawRect() { return DrawRectIn(GetBounds()); }

fw::TRect TImageSprite::DrawRectIn(const fw::TRect& b) const {
  if (!ImageItem) return b;
  const std::int32_t dx = (Width() - ImageItem->CellWidth()) / 2;
  const std::int32_t dy = (Height() - ImageItem->CellHeight()) / 2;
  return fw::TRect{AddEdge(b.left, dx), AddEdge(b.top, dy), AddEdge(b.right, dx), AddEdge(b.bottom, dy)};
}

void TImageSprite::Render() {
  if (!ImageItem || !Engine() || !Engine()->Surface()) return;
  const fw::TRect r = DrawRect();
  ImageItem->DrawPattern(Engine()->Surface(), r.left, r.top, CurrentPattern());
}

bool TImageSprite::Overlaps(TSprite* Sprite) {
  if (!ExactHit) return true;
  return Sprite->is_image_ ? PixelHitTest(static_cast<TImageSprite*>(Sprite)) : true;
}

bool TImageSprite::PixelHitTest(TImageSprite* Other) {
  // Without an item there are no pixels to compare; the rectangles have decided.
  if (!ImageItem || !Other->ImageItem) return true;
  auto drawn = [](TImageSprite* s) {
    DrawnPattern d;
    if (const TPictureCollectionItemPattern* p = s->ImageItem->Pattern(s->CurrentPattern())) {
      d.Source = p->Rect;
      d.Surface = p->Surface;
    }
    const fw::TRect r = s->DrawRectIn(s->KnownBounds());
    d.Screen = SpriteRect(r.left, r.top, std::int64_t{d.Source.right} - d.Source.left,
                          std::int64_t{d.Source.bottom} - d.Source.top);
    return d;
  };
  const DrawnPattern a = drawn(this);
  const DrawnPattern b = drawn(Other);
  if (!RectsOverlap(a.Screen, b.Screen)) return false;
  if (!a.Surface || !b.Surface) return true;

  // A surface that cannot be read hits nothing.
  const TSurfaceKeyMask* maskA = a.Surface->KeyMask();
  if (!maskA) return false;
  const TSurfaceKeyMask* maskB = b.Surface == a.Surface ? maskA : b.Surface->KeyMask();
  if (!maskB) return false;
  const fw::TRect o = pixels::Intersect(a.Screen, b.Screen);
  const fw::TRect partA = pixels::Offset(o, a.Source.left - a.Screen.left, a.Source.top - a.Screen.top);
  const fw::TRect partB = pixels::Offset(o, b.Source.left - b.Screen.left, b.Source.top - b.Screen.top);
  // Nor does a pattern that reaches past its surface.
  auto inside = [](const fw::TRect& r, const TSurfaceKeyMask& m) {
    return r.left >= 0 && r.top >= 0 && r.right <= m.Width && r.bottom <= m.Height;
  };
  if (!inside(partA, *maskA) || !inside(partB, *maskB)) return false;
  // Surfaces of different depths: the rectangles decide.
  if (maskA->BitCount != maskB->BitCount) return true;
  if (!maskA->Comparable) return false;
  return KeyMasksMeet(*maskA, partA.left, partA.top, *maskB, partB.left, partB.top, o.right - o.left,
                      o.bottom - o.top);
}

// ---------------------------------------------------------------------------------------------
// Background sprites

TBackgroundSprite::TBackgroundSprite(TSprite* AParent) : TSprite(AParent) { CollisionEnabled = false; }

TBackgroundSprite::~TBackgroundSprite() { ResizeMap(0, 0); }

void TBackgroundSprite::SetImageItem(TPictureCollectionItem* Value) {
  if (Value == image_item_) return;
  image_item_ = Value;
  BoundsChanged();
}

void TBackgroundSprite::SetWrap(bool Value) {
  if (Value == wrap_) return;
  wrap_ = Value;
  BoundsChanged();
}

void TBackgroundSprite::ResizeMap(std::int32_t Columns, std::int32_t Rows) {
  if (Columns == map_columns_ && Rows == map_rows_) return;
  if (Columns <= 0 || Rows <= 0) {
    Columns = 0;
    Rows = 0;
  }
  map_columns_ = Columns;
  map_rows_ = Rows;
  const std::size_t cells = static_cast<std::size_t>(Columns) * static_cast<std::size_t>(Rows);
  tile_map_.assign(cells, 0);
  hit_map_.assign(cells, 1);
  if (cells == 0) {
    tile_map_.shrink_to_fit();
    hit_map_.shrink_to_fit();
  }
  BoundsChanged();
}

std::int32_t TBackgroundSprite::TileAt(std::int32_t Col, std::int32_t Row) const {
  if (Col < 0 || Col >= map_columns_ || Row < 0 || Row >= map_rows_) return -1;
  return tile_map_[static_cast<std::size_t>(Col) + static_cast<std::size_t>(Row) * static_cast<std::size_t>(map_columns_)];
}

bool TBackgroundSprite::HitAt(std::int32_t Col, std::int32_t Row) const {
  if (Col < 0 || Col >= map_columns_ || Row < 0 || Row >= map_rows_) return false;
  return hit_map_[static_cast<std::size_t>(Col) + static_cast<std::size_t>(Row) * static_cast<std::size_t>(map_columns_)] != 0;
}

bool TBackgroundSprite::SetTile(std::int32_t Col, std::int32_t Row, std::int32_t Value) {
  if (Col < 0 || Col >= map_columns_ || Row < 0 || Row >= map_rows_) return false;
  tile_map_[static_cast<std::size_t>(Col) + static_cast<std::size_t>(Row) * static_cast<std::size_t>(map_columns_)] = Value;
  return true;
}

bool TBackgroundSprite::SetHit(std::int32_t Col, std::int32_t Row, bool Value) {
  if (Col < 0 || Col >= map_columns_ || Row < 0 || Row >= map_rows_) return false;
  hit_map_[static_cast<std::size_t>(Col) + static_cast<std::size_t>(Row) * static_cast<std::size_t>(map_columns_)] = Value;
  return true;
}

fw::TRect TBackgroundSprite::GetBounds() {
  if (wrap_) return Engine() ? Engine()->ViewRect() : fw::TRect{};
  if (image_item_) {
    const std::int32_t x0 = TruncPos(AbsX());
    const std::int32_t y0 = TruncPos(AbsY());
    return SpriteRect(x0, y0, std::int64_t{image_item_->CellWidth()} * map_columns_,
                      std::int64_t{image_item_->CellHeight()} * map_rows_);
  }
  return fw::TRect{};
}

void TBackgroundSprite::Render() {
  if (!image_item_ || map_columns_ <= 0 || map_rows_ <= 0 || !Engine() || !Engine()->Surface()) return;
  const fw::TRect p0 = image_item_->PatternRect(0);
  const std::int32_t cw = p0.right - p0.left;
  const std::int32_t ch = p0.bottom - p0.top;
  // Without a pattern 0 there is no cell size to lay the map out with.
  if (cw <= 0 || ch <= 0) return;
  const fw::TRect& view = Engine()->ViewRect();
  const std::int32_t tilesX = (view.right + cw) / cw + 1;
  const std::int32_t tilesY = (view.bottom + ch) / ch + 1;

  const std::int32_t x0 = TruncPos(AbsX());
  const std::int32_t y0 = TruncPos(AbsY());
  const std::int32_t offX = x0 % cw;
  const std::int32_t offY = y0 % ch;
  std::int32_t startX = x0 / cw, skipX = 0;
  if (startX < 0) {
    skipX = -startX;
    startX = 0;
  }
  std::int32_t startY = y0 / ch, skipY = 0;
  if (startY < 0) {
    skipY = -startY;
    startY = 0;
  }
  TDirectDrawSurface* dest = Engine()->Surface();
  if (wrap_) {
    for (std::int32_t ty = -1; ty <= tilesY; ++ty) {
      const std::int32_t row = Wrapped(std::int64_t{ty} - startY + skipY, map_rows_);
      for (std::int32_t tx = -1; tx <= tilesX; ++tx) {
        const std::int32_t col = Wrapped(std::int64_t{tx} - startX + skipX, map_columns_);
        const std::int32_t i = TileAt(col, row);
        if (i >= 0) image_item_->DrawPattern(dest, tx * cw + offX, ty * ch + offY, i);
      }
    }
  } else {
    const std::int64_t endX = std::min<std::int64_t>(std::int64_t{startX} + map_columns_ - skipX, tilesX);
    const std::int64_t endY = std::min<std::int64_t>(std::int64_t{startY} + map_rows_ - skipY, tilesY);
    for (std::int32_t ty = startY; ty < endY; ++ty)
      for (std::int32_t tx = startX; tx < endX; ++tx) {
        const std::int32_t i = TileAt(tx - startX + skipX, ty - startY + skipY);
        if (i >= 0) image_item_->DrawPattern(dest, tx * cw + offX, ty * ch + offY, i);
      }
  }
}

bool TBackgroundSprite::Overlaps(TSprite* Sprite) {
  if (!image_item_ || map_columns_ <= 0 || map_rows_ <= 0) return true;
  const fw::TRect p0 = image_item_->PatternRect(0);
  const std::int32_t cw = p0.right - p0.left;
  const std::int32_t ch = p0.bottom - p0.top;
  if (cw <= 0 || ch <= 0) return true;
  fw::TRect q = Sprite->GetBounds();
  fw::TRect r = pixels::Intersect(q, GetBounds());
  if (pixels::IsEmpty(r)) return false;
  const std::int32_t x0 = TruncPos(AbsX());
  const std::int32_t y0 = TruncPos(AbsY());
  q = pixels::Offset(q, -x0, -y0);
  r = pixels::Offset(r, -x0, -y0);
  for (std::int32_t row = (r.top - ch + 1) / ch; row <= r.bottom / ch; ++row) {
    for (std::int32_t col = (r.left - cw + 1) / cw; col <= r.right / cw; ++col) {
      if (!HitAt(Wrapped(col, map_columns_), Wrapped(row, map_rows_))) continue;
      const fw::TRect cell = SpriteRect(col * cw, row * ch, cw, ch);
      if (RectsOverlap(cell, q)) return true;
    }
  }
  return false;
}

}  // namespace dx
