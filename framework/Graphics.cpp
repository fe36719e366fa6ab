#include "framework/Graphics.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#include "framework/ClassBuilder.h"
#include "platform/gdi/Gdi.h"

namespace fw {

FW_REGISTER(TGraphicsObject, nullptr)
FW_REGISTER(TBrush, [](TClassBuilder<TBrush>& b) {
  b.Color("Color", &TBrush::Color, &TBrush::SetColor).WithDefault(clWhite);
  b.Enum("Style", {"bsSolid", "bsClear"}, &TBrush::Style, &TBrush::SetStyle).WithDefault(0);
})
FW_REGISTER(TPen, [](TClassBuilder<TPen>& b) {
  b.Color("Color", &TPen::Color, &TPen::SetColor).WithDefault(clBlack);
  b.Enum("Style", {"psSolid", "psDash", "psClear"}, &TPen::Style, &TPen::SetStyle).WithDefault(0);
  b.Integer("Width", &TPen::Width, &TPen::SetWidth).WithDefault(1);
})
FW_REGISTER(TCanvas, nullptr)
FW_REGISTER(TGraphic, nullptr)
FW_REGISTER(TPicture, nullptr)
FW_REGISTER(TBitmap, nullptr)

win::RGBQUAD PaletteEntryToQuad(const win::PALETTEENTRY& e) {
  return win::RGBQUAD{e.peBlue, e.peGreen, e.peRed, 0};
}
win::PALETTEENTRY QuadToPaletteEntry(const win::RGBQUAD& q) {
  return win::PALETTEENTRY{q.rgbRed, q.rgbGreen, q.rgbBlue, 0};
}

win::HPALETTE MakePalette(const win::PALETTEENTRY* Entries, int Count) {
  Count = std::clamp(Count, 0, 256);
  std::vector<std::uint8_t> buf(sizeof(win::LOGPALETTE) + 256 * sizeof(win::PALETTEENTRY));
  auto* lp = reinterpret_cast<win::LOGPALETTE*>(buf.data());
  lp->palVersion = 0x300;
  lp->palNumEntries = static_cast<win::WORD>(Count);
  if (Count) std::memcpy(lp->palPalEntry, Entries, static_cast<std::size_t>(Count) * sizeof(win::PALETTEENTRY));
  return gdi::CreatePalette(lp);
}

win::HPALETTE CopyPalette(win::HPALETTE Palette) {
  if (!Palette) return nullptr;
  win::PALETTEENTRY pe[256];
  const win::UINT n = gdi::GetPaletteEntries(Palette, 0, 256, pe);
  return MakePalette(pe, static_cast<int>(n));
}

namespace {

win::COLORREF ToColorRef(TColor c) { return static_cast<win::COLORREF>(ColorToRGB(c)) & 0x00FFFFFF; }

}  // namespace

// ---- Brushes and pens -----------------------------------------------------------------------

void TGraphicsObject::Changed() {
  if (OnChange) OnChange(this);
}

TBrush::~TBrush() { FreeHandle(); }

void TBrush::FreeHandle() {
  if (handle_) gdi::DeleteObject(handle_);
  handle_ = nullptr;
}

void TBrush::SetColor(TColor Value) {
  if (Value == color_ && style_ == bsSolid) return;
  FreeHandle();
  color_ = Value;
  if (style_ == bsClear) style_ = bsSolid;
  Changed();
}

void TBrush::SetStyle(TBrushStyle Value) {
  if (Value == style_) return;
  FreeHandle();
  style_ = Value;
  Changed();
}

win::HBRUSH TBrush::Handle() {
  if (style_ == bsClear) return static_cast<win::HBRUSH>(gdi::GetStockObject(gdi::NULL_BRUSH));
  if (!handle_) handle_ = gdi::CreateSolidBrush(ToColorRef(color_));
  return handle_;
}

void TBrush::Assign(TPersistent* Source) {
  if (auto* b = dynamic_cast<TBrush*>(Source)) {
    FreeHandle();
    color_ = b->color_;
    style_ = b->style_;
    Changed();
    return;
  }
  TPersistent::Assign(Source);
}

TPen::~TPen() { FreeHandle(); }

void TPen::FreeHandle() {
  if (handle_) gdi::DeleteObject(handle_);
  handle_ = nullptr;
}

void TPen::SetColor(TColor Value) {
  if (Value == color_) return;
  FreeHandle();
  color_ = Value;
  Changed();
}

void TPen::SetWidth(int Value) {
  if (Value == width_) return;
  FreeHandle();
  width_ = Value;
  Changed();
}

void TPen::SetStyle(TPenStyle Value) {
  if (Value == style_) return;
  FreeHandle();
  style_ = Value;
  Changed();
}

win::HPEN TPen::Handle() {
  // Memory DCs draw no dashes: a dashed pen draws solid there.
  if (!handle_)
    handle_ = gdi::CreatePen(style_ == psClear ? gdi::PS_NULL : gdi::PS_SOLID, width_, ToColorRef(color_));
  return handle_;
}

void TPen::Assign(TPersistent* Source) {
  if (auto* p = dynamic_cast<TPen*>(Source)) {
    FreeHandle();
    color_ = p->color_;
    width_ = p->width_;
    style_ = p->style_;
    Changed();
    return;
  }
  TPersistent::Assign(Source);
}

// ---- Canvas --------------------------------------------------------------------------------

TCanvas::TCanvas() : brush_(std::make_unique<TBrush>()), pen_(std::make_unique<TPen>()) {}

TCanvas::~TCanvas() { SetHandle(nullptr); }

void TCanvas::SetHandle(win::HDC Value) {
  if (Value == handle_) return;
  if (handle_) {
    // Give the DC back as it was handed over.
    if (old_brush_) gdi::SelectObject(handle_, old_brush_);
    if (old_pen_) gdi::SelectObject(handle_, old_pen_);
  }
  old_brush_ = nullptr;
  old_pen_ = nullptr;
  handle_ = Value;
}

win::HDC TCanvas::Handle() {
  if (!handle_) CreateHandle();
  if (!handle_) throw EInvalidOperation(msg::NoCanvasHandle);
  return handle_;
}

void TCanvas::RequiredState() {
  win::HDC dc = Handle();
  win::HGDIOBJ b = gdi::SelectObject(dc, brush_->Handle());
  win::HGDIOBJ p = gdi::SelectObject(dc, pen_->Handle());
  if (!old_brush_) old_brush_ = b;
  if (!old_pen_) old_pen_ = p;
}

void TCanvas::Changing() {
  if (OnChanging) OnChanging(this);
}

void TCanvas::Changed() {
  if (OnChange) OnChange(this);
}

void TCanvas::Draw(int X, int Y, TGraphic* Graphic) {
  if (!Graphic || Graphic->Empty()) return;
  Changing();
  RequiredState();
  Graphic->Draw(*this, Bounds(X, Y, Graphic->Width(), Graphic->Height()));
  Changed();
}

void TCanvas::StretchDraw(const TRect& Rect, TGraphic* Graphic) {
  if (!Graphic) return;
  Changing();
  RequiredState();
  Graphic->Draw(*this, Rect);
  Changed();
}

void TCanvas::CopyRect(const TRect& Dest, TCanvas& Canvas, const TRect& Source) {
  Changing();
  RequiredState();
  win::HDC src = Canvas.Handle();
  gdi::StretchBlt(handle_, Dest.left, Dest.top, RectWidth(Dest), RectHeight(Dest), src, Source.left,
                  Source.top, RectWidth(Source), RectHeight(Source), static_cast<win::DWORD>(copy_mode_));
  Changed();
}

void TCanvas::FillRect(const TRect& Rect) {
  Changing();
  RequiredState();
  gdi::FillRect(handle_, &Rect, brush_->Handle());
  Changed();
}

void TCanvas::Rectangle(int X1, int Y1, int X2, int Y2) {
  Changing();
  RequiredState();
  gdi::Rectangle(handle_, X1, Y1, X2, Y2);
  Changed();
}

void TCanvas::MoveTo(int X, int Y) {
  RequiredState();
  gdi::MoveToEx(handle_, X, Y, nullptr);
}

void TCanvas::LineTo(int X, int Y) {
  Changing();
  RequiredState();
  gdi::LineTo(handle_, X, Y);
  Changed();
}

TColor TCanvas::Pixel(int X, int Y) {
  RequiredState();
  return static_cast<TColor>(gdi::GetPixel(handle_, X, Y));
}

void TCanvas::SetPixel(int X, int Y, TColor Color) {
  Changing();
  RequiredState();
  gdi::SetPixel(handle_, X, Y, ToColorRef(Color));
  Changed();
}

}  // namespace fw
