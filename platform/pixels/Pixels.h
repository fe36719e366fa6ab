#pragma once
// Pixel memory and the values in it, shared by the GDI, DirectDraw, the DIB and presentation:
// a view of pixel memory, one pixel read and written at every depth, colour masks, and the
// rectangle arithmetic every blit clips with. Pixel values are raw: an index for 8 bits or fewer,
// the stored bits for more; colours are 0x00RRGGBB.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform/base/Types.h"

namespace pixels {

using win::LONG;
using win::RECT;

// --- pixel memory ------------------------------------------------------------------------------

// Height rows of Width pixels; row y starts at Bits + y * Pitch, so Bits is the top row and
// memory kept bottom row first has a negative Pitch. Pixels below a byte (1, 2, 4 bits) are
// packed with the leftmost pixel in the most significant bits; wider pixels are little-endian
// (24 bits: three bytes, least significant first).
struct PixelView {
  std::uint8_t* Bits = nullptr;
  std::ptrdiff_t Pitch = 0;
  LONG Width = 0;
  LONG Height = 0;
  std::uint32_t BitCount = 0;

  std::uint8_t* Row(LONG y) const { return Bits + static_cast<std::ptrdiff_t>(y) * Pitch; }
  bool Contains(LONG x, LONG y) const { return x >= 0 && y >= 0 && x < Width && y < Height; }
  RECT Bounds() const { return RECT{0, 0, Width, Height}; }
  // The lowest address of the rows, whichever way they run.
  std::uint8_t* Lowest() const {
    return Pitch < 0 && Height > 0 ? Row(Height - 1) : Bits;
  }
};

// A view of memory kept bottom row first, as DIBs keep it: `bottom` is the first byte of the
// bottom row, rows `rowBytes` apart.
inline PixelView BottomUpView(std::uint8_t* bottom, std::ptrdiff_t rowBytes, LONG width, LONG height,
                              std::uint32_t bitCount) {
  std::uint8_t* top = height > 0 ? bottom + static_cast<std::ptrdiff_t>(height - 1) * rowBytes : bottom;
  return PixelView{top, -rowBytes, width, height, bitCount};
}

// The bytes of a row of `width` pixels padded to 32 bits, as DIB rows are.
inline std::size_t DibRowBytes(std::int64_t width, int bitCount) {
  return static_cast<std::size_t>(((width * bitCount + 31) / 32) * 4);
}

// The depths pixels are addressed at.
inline bool KnownBitCount(std::uint32_t bits) {
  return bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

// The bits a pixel value of that depth can hold.
inline constexpr std::uint32_t ValueMask(std::uint32_t bitCount) {
  return bitCount >= 32 ? 0xFFFFFFFFu : ((1u << bitCount) - 1u);
}

// --- one pixel ---------------------------------------------------------------------------------

// One pixel of a row at a depth known when compiling, for the loops that are instantiated per
// depth. Store ignores the value's bits above the depth and leaves neighbouring pixels alone.
template <int BitCount>
struct Pixel;

template <>
struct Pixel<1> {
  static std::uint32_t Load(const std::uint8_t* row, LONG x) { return (row[x >> 3] >> (7 - (x & 7))) & 1u; }
  static void Store(std::uint8_t* row, LONG x, std::uint32_t v) {
    const auto bit = static_cast<std::uint8_t>(0x80u >> (x & 7));
    row[x >> 3] = static_cast<std::uint8_t>((v & 1u) ? (row[x >> 3] | bit) : (row[x >> 3] & ~bit));
  }
};
template <>
struct Pixel<2> {
  static std::uint32_t Load(const std::uint8_t* row, LONG x) { return (row[x >> 2] >> (2 * (3 - (x & 3)))) & 3u; }
  static void Store(std::uint8_t* row, LONG x, std::uint32_t v) {
    const int shift = 2 * (3 - (x & 3));
    row[x >> 2] = static_cast<std::uint8_t>((row[x >> 2] & ~(3u << shift)) | ((v & 3u) << shift));
  }
};
template <>
struct Pixel<4> {
  static std::uint32_t Load(const std::uint8_t* row, LONG x) {
    return (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0xFu;
  }
  static void Store(std::uint8_t* row, LONG x, std::uint32_t v) {
    std::uint8_t& b = row[x >> 1];
    b = (x & 1) ? static_cast<std::uint8_t>((b & 0xF0) | (v & 0xF))
                : static_cast<std::uint8_t>((b & 0x0F) | ((v & 0xF) << 4));
  }
};
template <>
struct Pixel<8> {
  static std::uint32_t Load(const std::uint8_t* row, LONG x) { return row[x]; }
  static void Store(std::uint8_t* row, LONG x, std::uint32_t v) { row[x] = static_cast<std::uint8_t>(v); }
};
// 16 and 32 bits go through memcpy: any alignment is allowed, and aligned memory costs one move.
template <>
struct Pixel<16> {
  static std::uint32_t Load(const std::uint8_t* row, LONG x) {
    std::uint16_t v;
    std::memcpy(&v, row + 2 * static_cast<std::ptrdiff_t>(x), 2);
    return v;
  }
  static void Store(std::uint8_t* row, LONG x, std::uint32_t v) {
    const auto w = static_cast<std::uint16_t>(v);
    std::memcpy(row + 2 * static_cast<std::ptrdiff_t>(x), &w, 2);
  }
};
template <>
struct Pixel<24> {
  static std::uint32_t Load(const std::uint8_t* row, LONG x) {
    const std::uint8_t* p = row + 3 * static_cast<std::ptrdiff_t>(x);
    return p[0] | (static_cast<std::uint32_t>(p[1]) << 8) | (static_cast<std::uint32_t>(p[2]) << 16);
  }
  static void Store(std::uint8_t* row, LONG x, std::uint32_t v) {
    std::uint8_t* p = row + 3 * static_cast<std::ptrdiff_t>(x);
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
  }
};
template <>
struct Pixel<32> {
  static std::uint32_t Load(const std::uint8_t* row, LONG x) {
    std::uint32_t v;
    std::memcpy(&v, row + 4 * static_cast<std::ptrdiff_t>(x), 4);
    return v;
  }
  static void Store(std::uint8_t* row, LONG x, std::uint32_t v) {
    std::memcpy(row + 4 * static_cast<std::ptrdiff_t>(x), &v, 4);
  }
};

// One pixel of a row at a depth known only when running; 0 and no write for unknown depths.
inline std::uint32_t LoadPixel(const std::uint8_t* row, LONG x, std::uint32_t bitCount) {
  switch (bitCount) {
    case 1: return Pixel<1>::Load(row, x);
    case 2: return Pixel<2>::Load(row, x);
    case 4: return Pixel<4>::Load(row, x);
    case 8: return Pixel<8>::Load(row, x);
    case 16: return Pixel<16>::Load(row, x);
    case 24: return Pixel<24>::Load(row, x);
    case 32: return Pixel<32>::Load(row, x);
    default: return 0;
  }
}
inline void StorePixel(std::uint8_t* row, LONG x, std::uint32_t bitCount, std::uint32_t v) {
  switch (bitCount) {
    case 1: return Pixel<1>::Store(row, x, v);
    case 2: return Pixel<2>::Store(row, x, v);
    case 4: return Pixel<4>::Store(row, x, v);
    case 8: return Pixel<8>::Store(row, x, v);
    case 16: return Pixel<16>::Store(row, x, v);
    case 24: return Pixel<24>::Store(row, x, v);
    case 32: return Pixel<32>::Store(row, x, v);
    default: return;
  }
}

// The pixel at (x, y), which the caller has checked lies in the view (PixelView::Contains).
inline std::uint32_t GetPixel(const PixelView& v, LONG x, LONG y) { return LoadPixel(v.Row(y), x, v.BitCount); }
inline void PutPixel(const PixelView& v, LONG x, LONG y, std::uint32_t value) {
  StorePixel(v.Row(y), x, v.BitCount, value);
}

// Sets the pixels of `rect` that lie in the view to `value`; whole rows at a time where the depth
// allows.
void Fill(const PixelView& v, const RECT& rect, std::uint32_t value);

// --- colour masks ------------------------------------------------------------------------------

// One colour channel of a pixel value: `Bits` consecutive bits from bit `Shift` up.
struct Channel {
  int Shift = 0;
  int Bits = 0;
};
// The channel of a mask: its lowest run of set bits (a zero mask is a channel of no bits).
Channel ChannelOf(std::uint32_t mask);

// A channel value of `bits` bits to 8 bits, repeating its high bits into the new low ones (so
// that full intensity stays full), and back by dropping the low bits.
inline std::uint32_t Widen(std::uint32_t v, int bits) {
  if (bits <= 0) return 0;
  if (bits >= 8) return (v >> (bits - 8)) & 0xFF;
  std::uint32_t r = v << (8 - bits);
  for (int have = bits; have < 8; have += bits) r |= r >> bits;
  return r & 0xFF;
}
inline std::uint32_t Narrow(std::uint32_t v8, int bits) {
  if (bits <= 0) return 0;
  if (bits >= 8) return v8 << (bits - 8);
  return v8 >> (8 - bits);
}

// The red, green and blue channels of a true-colour pixel format.
struct ColorMasks {
  Channel Red, Green, Blue;
  ColorMasks() = default;
  ColorMasks(std::uint32_t red, std::uint32_t green, std::uint32_t blue)
      : Red(ChannelOf(red)), Green(ChannelOf(green)), Blue(ChannelOf(blue)) {}
  // pixel value -> 0x00RRGGBB
  std::uint32_t ToRgb(std::uint32_t value) const {
    return (Extract(value, Red) << 16) | (Extract(value, Green) << 8) | Extract(value, Blue);
  }
  // 0x00RRGGBB -> pixel value
  std::uint32_t FromRgb(std::uint32_t rgb) const {
    return Insert((rgb >> 16) & 0xFF, Red) | Insert((rgb >> 8) & 0xFF, Green) | Insert(rgb & 0xFF, Blue);
  }

 private:
  static std::uint32_t Extract(std::uint32_t value, const Channel& c) {
    return c.Bits ? Widen((value >> c.Shift) & ValueMask(static_cast<std::uint32_t>(c.Bits)), c.Bits) : 0;
  }
  static std::uint32_t Insert(std::uint32_t v8, const Channel& c) { return c.Bits ? Narrow(v8, c.Bits) << c.Shift : 0; }
};

// Moves every channel of every pixel of the view from where `from` has it to where `to` has it,
// for 16, 24 and 32 bits (other depths are left alone). Each channel must be as wide in both;
// bits outside the channels become 0.
void MoveChannels(const PixelView& v, const ColorMasks& from, const ColorMasks& to);

// The two 16-bit formats, spelled out for the loops that convert whole rows.
inline std::uint32_t Rgb565ToRgb(std::uint32_t v) {
  const std::uint32_t r = (v >> 11) & 31, g = (v >> 5) & 63, b = v & 31;
  return (((r << 3) | (r >> 2)) << 16) | (((g << 2) | (g >> 4)) << 8) | ((b << 3) | (b >> 2));
}
inline std::uint32_t Rgb555ToRgb(std::uint32_t v) {
  const std::uint32_t r = (v >> 10) & 31, g = (v >> 5) & 31, b = v & 31;
  return (((r << 3) | (r >> 2)) << 16) | (((g << 3) | (g >> 2)) << 8) | ((b << 3) | (b >> 2));
}
inline std::uint32_t RgbToRgb565(std::uint32_t rgb) {
  return ((rgb >> 8) & 0xF800) | ((rgb >> 5) & 0x7E0) | ((rgb >> 3) & 0x1F);
}
inline std::uint32_t RgbToRgb555(std::uint32_t rgb) {
  return ((rgb >> 9) & 0x7C00) | ((rgb >> 6) & 0x3E0) | ((rgb >> 3) & 0x1F);
}

// --- rectangles --------------------------------------------------------------------------------
// Rectangles are (left, top, right, bottom), right and bottom exclusive. Arithmetic on their
// edges is the caller's to keep within 32 bits.

inline LONG Width(const RECT& r) { return r.right - r.left; }
inline LONG Height(const RECT& r) { return r.bottom - r.top; }
inline bool IsEmpty(const RECT& r) { return r.left >= r.right || r.top >= r.bottom; }
// The common part; empty (possibly with right < left) when they do not meet.
inline RECT Intersect(const RECT& a, const RECT& b) {
  return RECT{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
              std::min(a.bottom, b.bottom)};
}
// The smallest rectangle holding both; an empty one adds nothing.
inline RECT Union(const RECT& a, const RECT& b) {
  if (IsEmpty(a)) return b;
  if (IsEmpty(b)) return a;
  return RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
              std::max(a.bottom, b.bottom)};
}
// Not empty and wholly within (0, 0, width, height).
inline bool Inside(const RECT& r, LONG width, LONG height) {
  return r.left >= 0 && r.top >= 0 && r.right <= width && r.bottom <= height && !IsEmpty(r);
}
inline RECT Offset(const RECT& r, LONG dx, LONG dy) {
  return RECT{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}

// A 1:1 copy of `source` (within the source's `sourceBounds`) to `dest` (within
// `destBounds`), both the same size: cuts both by whatever lies outside either bounds, moving
// the corresponding edge of the other in step. False when nothing is left.
bool ClipCopy(RECT& dest, RECT& source, const RECT& destBounds, const RECT& sourceBounds);

}  // namespace pixels
