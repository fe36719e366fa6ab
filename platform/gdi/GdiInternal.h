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
  explicit Object(Kind k) : kind(k) {}
  virtual ~Object() = default;
  Kind kind;
  bool stock = false;
};

// How the blitters address pixels of one format.
enum class PixKind : int { K1, K4, K8, K565, K555, K16M, K24, K888, K32M, Count };

// A view of pixel memory: rows `pitch` bytes apart, y = 0 is the top row.
struct Surface {
  int width = 0;
  int height = 0;
  int bitCount = 0;
  std::intptr_t pitch = 0;
  bool topDown = false;
  std::uint8_t* bits = nullptr;
  DWORD masks[3] = {0, 0, 0};  // red, green, blue for 16 and 32 bits
  RGBQUAD colors[256] = {};
  int colorCount = 0;
  PixKind kind = PixKind::K888;

  std::uint8_t* Row(int y) const {
    return bits + static_cast<std::intptr_t>(topDown ? y : height - 1 - y) * pitch;
  }
  // The same pixels as the shared pixel view, top row first.
  pixels::PixelView View() const {
    return topDown ? pixels::PixelView{bits, pitch, width, height, static_cast<std::uint32_t>(bitCount)}
                   : pixels::BottomUpView(bits, pitch, width, height, static_cast<std::uint32_t>(bitCount));
  }
  // Fills in `kind` from bit count and masks; false for an unsupported format.
  bool Classify();
};

struct Bitmap : Object {
  Bitmap() : Object(Kind::Bitmap) {}
  Surface s;
  std::vector<std::uint8_t> owned;  // our own pixel memory (empty over caller memory)
  bool dibSection = false;
  BITMAPINFOHEADER bmih{};
  struct DCObj* selectedIn = nullptr;
};

struct Palette : Object {
  Palette() : Object(Kind::Palette) {}
  std::vector<PALETTEENTRY> entries;
};

struct Brush : Object {
  Brush() : Object(Kind::Brush) {}
  COLORREF color = 0;
  bool null = false;
};

struct Pen : Object {
  Pen() : Object(Kind::Pen) {}
  int style = PS_SOLID;
  int width = 1;
  COLORREF color = 0;
};

struct DCObj : Object {
  DCObj() : Object(Kind::DC) {}
  bool memory = false;
  bool screen = false;
  Bitmap* bitmap = nullptr;
  std::unique_ptr<Bitmap> formatBitmap;  // the bitmap of a DC over caller memory
  Palette* palette = nullptr;
  Brush* brush = nullptr;
  Pen* pen = nullptr;
  int stretchMode = BLACKONWHITE;
  win::POINT pos{};

  Surface* Target() const { return bitmap ? &bitmap->s : nullptr; }
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
// top-based rows of `src`.
struct BlitRequest {
  Surface* dst = nullptr;
  const Surface* src = nullptr;
  int xDest = 0, yDest = 0, wDest = 0, hDest = 0;
  int xSrc = 0, ySrc = 0, wSrc = 0, hSrc = 0;
  DWORD rop = SRCCOPY;
  COLORREF brush = 0;
  bool hasBrush = false;
};
bool Blit(const BlitRequest& r);
// The same result through the plainest per-pixel path (for comparison in tests).
bool BlitReference(const BlitRequest& r);

// RLE data of a `width` x `height` DIB (rows bottom up) drawn like Blit.
bool BlitRle(const BlitRequest& r, const std::uint8_t* data, std::size_t size, int bitsPerPixel);

}  // namespace gdi::detail
