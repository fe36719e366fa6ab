#pragma once
// The objects behind the GDI handles and the pixel machinery the drawing calls share.
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/gdi/Gdi.h"
#include "platform/pixels/Pixels.h"

namespace gdi::detail {

enum class Kind { Bitmap, DC, Palette, Brush, Pen };

struct Object {
  explicit Object(Kind k) : ObjectKind(k) {}
  virtual ~Object() = default;
  Kind ObjectKind;
  bool IsStock = false;
};

// How the blitters address pixels of one format.
enum class PixKind : int { K1, K4, K8, K565, K555, K16M, K24, K888, K32M, Count };

// A view of pixel memory: rows `Pitch` bytes apart, y = 0 is the top row.
struct Surface {
  int Width = 0;
  int Height = 0;
  int BitCount = 0;
  std::intptr_t Pitch = 0;
  bool TopDown = false;
  std::uint8_t* Bits = nullptr;
  DWORD Masks[3] = {0, 0, 0};  // red, green, blue for 16 and 32 bits
  RGBQUAD Colors[256] = {};
  int ColorCount = 0;
  PixKind PixelKind = PixKind::K888;

  std::uint8_t* Row(int y) const {
    return Bits + static_cast<std::intptr_t>(TopDown ? y : Height - 1 - y) * Pitch;
  }
  // The same pixels as the shared pixel view, top row first.
  pixels::PixelView View() const {
    return TopDown ? pixels::PixelView{Bits, Pitch, Width, Height, static_cast<std::uint32_t>(BitCount)}
                   : pixels::BottomUpView(Bits, Pitch, Width, Height, static_cast<std::uint32_t>(BitCount));
  }
  // Fills in `PixelKind` from bit count and masks; false for an unsupported format.
  bool Classify();
};

struct Bitmap : Object {
  Bitmap() : Object(Kind::Bitmap) {}
  Surface Pixels;
  std::vector<std::uint8_t> Owned;  // our own pixel memory (empty over caller memory)
  bool DibSection = false;
  BITMAPINFOHEADER Bmih{};
  struct DCObj* SelectedIn = nullptr;
};

struct Palette : Object {
  Palette() : Object(Kind::Palette) {}
  std::vector<PALETTEENTRY> Entries;
};

struct Brush : Object {
  Brush() : Object(Kind::Brush) {}
  COLORREF Color = 0;
  bool Null = false;
};

struct Pen : Object {
  Pen() : Object(Kind::Pen) {}
  int Style = PS_SOLID;
  int Width = 1;
  COLORREF Color = 0;
};

struct DCObj : Object {
  DCObj() : Object(Kind::DC) {}
  bool Memory = false;
  bool Screen = false;
  Bitmap* SelectedBitmap = nullptr;
  std::unique_ptr<Bitmap> FormatBitmap;  // the bitmap of a DC over caller memory
  Palette* SelectedPalette = nullptr;
  Brush* SelectedBrush = nullptr;
  Pen* SelectedPen = nullptr;
  int StretchMode = BLACKONWHITE;
  win::POINT Pos{};

  Surface* Target() const { return SelectedBitmap ? &SelectedBitmap->Pixels : nullptr; }
};

DCObj* AsDC(HDC h);
Bitmap* AsBitmap(HGDIOBJ h);
Palette* AsPalette(HGDIOBJ h);
Brush* AsBrush(HGDIOBJ h);
Pen* AsPen(HGDIOBJ h);
Palette* DefaultPalette();

// Canonical colour inside the blitters: 0x00RRGGBB.
inline std::uint32_t RgbOf(const RGBQUAD& q) {
  return (std::uint32_t(q.rgbRed) << 16) | (std::uint32_t(q.rgbGreen) << 8) | q.rgbBlue;
}
inline std::uint32_t RgbFromColorRef(COLORREF c) {
  return (std::uint32_t(win::GetRValue(c)) << 16) | (std::uint32_t(win::GetGValue(c)) << 8) |
         win::GetBValue(c);
}
inline COLORREF ColorRefFromRgb(std::uint32_t rgb) {
  return win::RGB(static_cast<BYTE>(rgb >> 16), static_cast<BYTE>(rgb >> 8), static_cast<BYTE>(rgb));
}

// Pixel values of one surface <-> colours.
std::uint32_t ReadPixelValue(const Surface& s, int x, int y);
void WritePixelValue(const Surface& s, int x, int y, std::uint32_t v);
std::uint32_t DecodeValue(const Surface& s, std::uint32_t v);   // value -> 0x00RRGGBB
std::uint32_t EncodeColor(const Surface& s, std::uint32_t rgb);  // 0x00RRGGBB -> value (nearest index)
int NearestIndex(const RGBQUAD* colors, int count, std::uint32_t rgb);

// The blit engine. Source may be null for pattern-only operations. Source rectangle in
// top-based rows of `Src`.
struct BlitRequest {
  Surface* Dst = nullptr;
  const Surface* Src = nullptr;
  int XDest = 0, YDest = 0, WDest = 0, HDest = 0;
  int XSrc = 0, YSrc = 0, WSrc = 0, HSrc = 0;
  DWORD Rop = SRCCOPY;
  COLORREF BrushColor = 0;
  bool HasBrush = false;
};
bool Blit(const BlitRequest& r);
// The same result through the plainest per-pixel path (for comparison in tests).
bool BlitReference(const BlitRequest& r);

// RLE data of a `width` x `height` DIB (rows bottom up) drawn like Blit.
bool BlitRle(const BlitRequest& r, const std::uint8_t* data, std::size_t size, int bitsPerPixel);

}  // namespace gdi::detail
