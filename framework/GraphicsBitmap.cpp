// The framework bitmap: a GDI bitmap or DIB section with its palette, canvas, stored and clipboard
// forms. Its BMP file form is in GraphicsBmp.cpp.
#include <algorithm>
#include <cstring>
#include <vector>

#include "framework/Graphics.h"
#include "framework/GraphicsBmp.h"
#include "platform/clipboard/Clipboard.h"
#include "platform/gdi/Gdi.h"

namespace fw {

// ---- The framework bitmap -------------------------------------------------------------------

class TBitmap::TBitmapCanvas : public TCanvas {
 public:
  explicit TBitmapCanvas(TBitmap& b) : bitmap_(b) {}
  void Changing() override {
    TCanvas::Changing();
  }
  void Changed() override {
    TCanvas::Changed();
    bitmap_.Changed(&bitmap_);
  }

 protected:
  void CreateHandle() override { bitmap_.SelectInto(); }

 private:
  TBitmap& bitmap_;
};

TBitmap::TBitmap() = default;

TBitmap::~TBitmap() {
  if (canvas_) canvas_->SetHandle(nullptr);
  FreeImage();
  if (dc_) gdi::DeleteDC(dc_);
  if (palette_) gdi::DeleteObject(palette_);
}

void TBitmap::Deselect() {
  if (dc_) {
    if (canvas_) canvas_->SetHandle(nullptr);
    if (old_bitmap_) gdi::SelectObject(dc_, old_bitmap_);
    old_bitmap_ = nullptr;
    gdi::DeleteDC(dc_);
    dc_ = nullptr;
  }
}

void TBitmap::SelectInto() {
  if (dc_) {
    if (canvas_ && !canvas_->HandleAllocated()) canvas_->SetHandle(dc_);
    return;
  }
  win::HBITMAP h = Handle();
  if (!h) return;  // an empty bitmap has nothing to draw on
  dc_ = gdi::CreateCompatibleDC(nullptr);
  old_bitmap_ = gdi::SelectObject(dc_, h);
  if (palette_) {
    gdi::SelectPalette(dc_, palette_, win::TRUE);
    gdi::RealizePalette(dc_);
  }
  if (canvas_) canvas_->SetHandle(dc_);
}

void TBitmap::FreeImage() {
  Deselect();
  if (handle_) gdi::DeleteObject(handle_);
  handle_ = nullptr;
}

namespace {

int BitsOf(TPixelFormat f) {
  switch (f) {
    case pf1bit: return 1;
    case pf4bit: return 4;
    case pf8bit: return 8;
    case pf15bit:
    case pf16bit: return 16;
    case pf24bit: return 24;
    case pf32bit: return 32;
    default: return 0;
  }
}

}  // namespace

void TBitmap::ApplyPaletteToSection() {
  if (!handle_ || BitsOf(pixel_format_) > 8 || BitsOf(pixel_format_) == 0) return;
  win::PALETTEENTRY pe[256];
  const win::UINT n = palette_ ? gdi::GetPaletteEntries(palette_, 0, 256, pe) : 0;
  if (!n) return;
  win::RGBQUAD q[256];
  for (win::UINT i = 0; i < n; ++i) q[i] = PaletteEntryToQuad(pe[i]);
  win::HDC dc = gdi::CreateCompatibleDC(nullptr);
  win::HGDIOBJ old = dc_ ? nullptr : gdi::SelectObject(dc, handle_);
  gdi::SetDIBColorTable(dc_ ? dc_ : dc, 0, n, q);
  if (old) gdi::SelectObject(dc, old);
  gdi::DeleteDC(dc);
}

void TBitmap::NewImage(int AWidth, int AHeight, TPixelFormat AFormat, bool KeepContent) {
  AWidth = std::max(AWidth, 0);
  AHeight = std::max(AHeight, 0);
  win::HBITMAP h = nullptr;
  if (AWidth > 0 && AHeight > 0) {
    const int bits = BitsOf(AFormat);
    if (bits == 0) {
      h = gdi::CreateCompatibleBitmap(gdi::GetScreenDC(), AWidth, AHeight);
    } else {
      TBitmapInfoBuffer ib;
      ib.h.biSize = sizeof(win::BITMAPINFOHEADER);
      ib.h.biWidth = AWidth;
      ib.h.biHeight = AHeight;
      ib.h.biPlanes = 1;
      ib.h.biBitCount = static_cast<win::WORD>(bits);
      if (AFormat == pf16bit) {
        ib.h.biCompression = win::BI_BITFIELDS;
        ib.extra[0] = 0xF800;
        ib.extra[1] = 0x7E0;
        ib.extra[2] = 0x1F;
      } else if (bits <= 8) {
        // Without a palette the colours are those of the system palette.
        win::PALETTEENTRY pe[256];
        win::UINT n = palette_ ? gdi::GetPaletteEntries(palette_, 0, 256, pe) : 0;
        if (!n) n = gdi::GetSystemPaletteEntries(gdi::GetScreenDC(), 0, 256, pe);
        auto* q = reinterpret_cast<win::RGBQUAD*>(ib.extra);
        for (win::UINT i = 0; i < n && i < (1u << bits); ++i) q[i] = PaletteEntryToQuad(pe[i]);
        if (bits == 1) q[1] = win::RGBQUAD{255, 255, 255, 0};
      }
      void* p = nullptr;
      h = gdi::CreateDIBSection(nullptr, ib.Info(), gdi::DIB_RGB_COLORS, &p, nullptr, 0);
    }
    if (!h) throw EOutOfResources(msg::OutOfResources);
  }
  if (KeepContent && handle_ && h) {
    win::HDC src = gdi::CreateCompatibleDC(nullptr);
    win::HDC dst = gdi::CreateCompatibleDC(nullptr);
    Deselect();
    win::HGDIOBJ o1 = gdi::SelectObject(src, handle_);
    win::HGDIOBJ o2 = gdi::SelectObject(dst, h);
    gdi::BitBlt(dst, 0, 0, std::min(AWidth, width_), std::min(AHeight, height_), src, 0, 0, gdi::SRCCOPY);
    gdi::SelectObject(src, o1);
    gdi::SelectObject(dst, o2);
    gdi::DeleteDC(src);
    gdi::DeleteDC(dst);
  }
  FreeImage();
  handle_ = h;
  width_ = AWidth;
  height_ = AHeight;
  pixel_format_ = AFormat;
}

void TBitmap::SetSize(int AWidth, int AHeight) {
  if (AWidth == width_ && AHeight == height_) return;
  NewImage(AWidth, AHeight, pixel_format_, true);
  Changed(this);
}

void TBitmap::SetPixelFormat(TPixelFormat Value) {
  if (Value == pixel_format_) return;
  NewImage(width_, height_, Value, true);
  Changed(this);
}

win::HBITMAP TBitmap::Handle() {
  if (!handle_ && width_ > 0 && height_ > 0) NewImage(width_, height_, pixel_format_, false);
  return handle_;
}

void TBitmap::SetHandle(win::HBITMAP Value) {
  if (Value == handle_) return;
  win::BITMAP bm{};
  win::DIBSECTION ds{};
  TPixelFormat fmt = pfDevice;
  if (Value) {
    const int got = gdi::GetObject(Value, sizeof ds, &ds);
    if (got == 0) throw EInvalidGraphic(msg::InvalidBitmap);
    bm = ds.dsBm;
    if (got == sizeof(win::DIBSECTION)) {
      switch (bm.bmBitsPixel) {
        case 1: fmt = pf1bit; break;
        case 4: fmt = pf4bit; break;
        case 8: fmt = pf8bit; break;
        case 16: fmt = ds.dsBitfields[1] == 0x7E0 ? pf16bit : pf15bit; break;
        case 24: fmt = pf24bit; break;
        case 32: fmt = pf32bit; break;
        default: fmt = pfCustom;
      }
    }
  }
  FreeImage();
  handle_ = Value;
  width_ = bm.bmWidth;
  height_ = bm.bmHeight;
  pixel_format_ = fmt;
  Changed(this);
}

win::HBITMAP TBitmap::ReleaseHandle() {
  Deselect();
  win::HBITMAP h = handle_;
  handle_ = nullptr;
  width_ = height_ = 0;
  return h;
}

void TBitmap::SetPalette(win::HPALETTE Value) {
  if (Value == palette_) return;
  Deselect();
  if (palette_) gdi::DeleteObject(palette_);
  palette_ = Value;
  ApplyPaletteToSection();
  PaletteModified = true;
  Changed(this);
}

TCanvas* TBitmap::Canvas() {
  if (!canvas_) canvas_ = std::make_unique<TBitmapCanvas>(*this);
  return canvas_.get();
}

void* TBitmap::ScanLine(int Row) {
  win::HBITMAP h = Handle();
  win::DIBSECTION ds{};
  if (!h || gdi::GetObject(h, sizeof ds, &ds) != sizeof ds || Row < 0 || Row >= height_) return nullptr;
  auto* bits = static_cast<std::uint8_t*>(ds.dsBm.bmBits);
  const int line = ds.dsBmih.biHeight > 0 ? height_ - 1 - Row : Row;
  return bits + static_cast<std::ptrdiff_t>(line) * ds.dsBm.bmWidthBytes;
}

void TBitmap::Draw(TCanvas& ACanvas, const TRect& Rect) {
  if (Empty()) return;
  SelectInto();
  if (!dc_) return;
  win::HDC dest = ACanvas.Handle();
  win::HPALETTE oldPal = nullptr;
  if (palette_) {
    oldPal = gdi::SelectPalette(dest, palette_, win::TRUE);
    gdi::RealizePalette(dest);
  }
  const int oldMode = gdi::SetStretchBltMode(dest, gdi::COLORONCOLOR);
  gdi::StretchBlt(dest, Rect.left, Rect.top, RectWidth(Rect), RectHeight(Rect), dc_, 0, 0, width_, height_,
                  static_cast<win::DWORD>(ACanvas.CopyMode()));
  if (oldMode) gdi::SetStretchBltMode(dest, oldMode);
  if (oldPal) gdi::SelectPalette(dest, oldPal, win::TRUE);
}

void TBitmap::Assign(TPersistent* Source) {
  if (Source == this) return;
  if (!Source) {
    FreeImage();
    width_ = height_ = 0;
    Changed(this);
    return;
  }
  if (auto* b = dynamic_cast<TBitmap*>(Source)) {
    // A copy of the other bitmap's pixels, format and palette.
    win::HPALETTE pal = CopyPalette(b->palette_);
    FreeImage();
    if (palette_) gdi::DeleteObject(palette_);
    palette_ = pal;
    width_ = 0;
    height_ = 0;
    pixel_format_ = b->pixel_format_;
    SetTransparent(b->Transparent());
    if (!b->Empty()) {
      NewImage(b->width_, b->height_, b->pixel_format_, false);
      win::RGBQUAD q[256];
      b->SelectInto();
      const win::UINT n = gdi::GetDIBColorTable(b->dc_, 0, 256, q);
      SelectInto();
      if (n) gdi::SetDIBColorTable(dc_, 0, n, q);
      gdi::BitBlt(dc_, 0, 0, width_, height_, b->dc_, 0, 0, gdi::SRCCOPY);
    }
    Changed(this);
    return;
  }
  if (auto* g = dynamic_cast<TGraphic*>(Source)) {
    NewImage(g->Width(), g->Height(), pixel_format_ == pfDevice ? pf24bit : pixel_format_, false);
    if (!Empty()) {
      Canvas()->Brush()->SetColor(clWhite);
      Canvas()->FillRect(Rect(0, 0, width_, height_));
      Canvas()->Draw(0, 0, g);
    }
    Changed(this);
    return;
  }
  TGraphic::Assign(Source);
}

void TBitmap::ReadData(TStream& Stream) {
  std::int32_t size = 0;
  Stream.ReadBuffer(&size, 4);
  if (size <= 0) {
    Assign(nullptr);
    return;
  }
  if (size > Stream.Size() - Stream.Position()) throw EReadError(msg::ReadError);
  std::vector<std::uint8_t> data(static_cast<std::size_t>(size));
  Stream.ReadBuffer(data.data(), size);
  TBytesStream s(data.data(), data.size());
  LoadFromStream(s);
}

void TBitmap::WriteData(TStream& Stream) {
  TMemoryStream m;
  SaveToStream(m);
  const std::int32_t size = static_cast<std::int32_t>(m.Size());
  Stream.WriteBuffer(&size, 4);
  if (size) Stream.WriteBuffer(m.Memory(), size);
}

void TBitmap::LoadFromClipboardFormat(win::UINT AFormat, win::HANDLE AData, win::HPALETTE APalette) {
  if (AFormat != win::CF_BITMAP || !AData) throw EInvalidGraphic(msg::UnknownClipboardFormat);
  TBitmap src;
  src.SetHandle(static_cast<win::HBITMAP>(AData));
  src.palette_ = CopyPalette(APalette);
  try {
    Assign(&src);
  } catch (...) {
    src.ReleaseHandle();  // the clipboard's handle is not ours
    throw;
  }
  src.ReleaseHandle();
}

void TBitmap::SaveToClipboardFormat(win::UINT& AFormat, win::HANDLE& AData, win::HPALETTE& APalette) {
  TBitmap copy;
  copy.Assign(this);
  AFormat = win::CF_BITMAP;
  AData = copy.ReleaseHandle();
  APalette = copy.palette_;
  copy.palette_ = nullptr;
}

}  // namespace fw
