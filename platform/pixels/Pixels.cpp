#include "platform/pixels/Pixels.h"

namespace pixels {

namespace {

// The part of `r` as one run of bytes when its rows lie back to back: whole rows with no padding
// between them, whichever way the rows run. Null when they do not.
std::uint8_t* Contiguous(const PixelView& v, const RECT& r, std::size_t pixelBytes, std::size_t& bytes) {
  const std::size_t rowBytes = pixelBytes * static_cast<std::size_t>(v.Width);
  const std::size_t pitch = static_cast<std::size_t>(v.Pitch < 0 ? -v.Pitch : v.Pitch);
  if (r.left != 0 || r.right != v.Width || pitch != rowBytes) return nullptr;
  bytes = rowBytes * static_cast<std::size_t>(Height(r));
  return v.Pitch < 0 ? v.Row(r.bottom - 1) : v.Row(r.top);
}

// Every byte of the pixels set to `byte`: memset, over the whole area at once where it can.
void FillBytes(const PixelView& v, const RECT& r, std::size_t pixelBytes, std::uint8_t byte) {
  std::size_t bytes = 0;
  if (std::uint8_t* p = Contiguous(v, r, pixelBytes, bytes)) {
    std::memset(p, byte, bytes);
    return;
  }
  const std::size_t rowBytes = pixelBytes * static_cast<std::size_t>(Width(r));
  for (LONG y = r.top; y < r.bottom; ++y)
    std::memset(v.Row(y) + pixelBytes * static_cast<std::size_t>(r.left), byte, rowBytes);
}

template <class T>
void FillTyped(const PixelView& v, const RECT& r, T value) {
  std::size_t bytes = 0;
  if (std::uint8_t* p = Contiguous(v, r, sizeof(T), bytes)) {
    std::fill_n(reinterpret_cast<T*>(p), bytes / sizeof(T), value);
    return;
  }
  const LONG w = Width(r);
  for (LONG y = r.top; y < r.bottom; ++y) {
    T* p = reinterpret_cast<T*>(v.Row(y)) + r.left;
    std::fill_n(p, w, value);
  }
}

// One row of three-byte pixels is built, then copied to the others.
void Fill24(const PixelView& v, const RECT& r, std::uint32_t value) {
  const LONG w = Width(r);
  std::uint8_t* first = v.Row(r.top) + 3 * static_cast<std::ptrdiff_t>(r.left);
  for (LONG x = 0; x < w; ++x) Pixel<24>::Store(first, x, value);
  for (LONG y = r.top + 1; y < r.bottom; ++y)
    std::memcpy(v.Row(y) + 3 * static_cast<std::ptrdiff_t>(r.left), first, 3 * static_cast<std::size_t>(w));
}

bool Aligned(const PixelView& v, std::size_t bytes) {
  return reinterpret_cast<std::uintptr_t>(v.Bits) % bytes == 0 && v.Pitch % static_cast<std::ptrdiff_t>(bytes) == 0;
}

// Whether all `count` low bytes of the value are the same (clearing to black, filling white),
// so that the fill is a memset.
bool SameBytes(std::uint32_t value, std::size_t count) {
  for (std::size_t i = 1; i < count; ++i)
    if (((value >> (8 * i)) & 0xFF) != (value & 0xFF)) return false;
  return true;
}

}  // namespace

void Fill(const PixelView& v, const RECT& rect, std::uint32_t value) {
  const RECT r = Intersect(rect, v.Bounds());
  if (IsEmpty(r) || !v.Bits) return;
  const bool whole = v.BitCount == 8 || v.BitCount == 16 || v.BitCount == 24 || v.BitCount == 32;
  if (whole && SameBytes(value, v.BitCount / 8))
    return FillBytes(v, r, v.BitCount / 8, static_cast<std::uint8_t>(value));
  switch (v.BitCount) {
    case 16:
      if (Aligned(v, 2)) return FillTyped<std::uint16_t>(v, r, static_cast<std::uint16_t>(value));
      break;
    case 24:
      return Fill24(v, r, value);
    case 32:
      if (Aligned(v, 4)) return FillTyped<std::uint32_t>(v, r, value);
      break;
    default:
      break;
  }
  for (LONG y = r.top; y < r.bottom; ++y) {
    std::uint8_t* row = v.Row(y);
    for (LONG x = r.left; x < r.right; ++x) StorePixel(row, x, v.BitCount, value);
  }
}

Channel ChannelOf(std::uint32_t mask) {
  Channel c;
  if (!mask) return c;
  while (!(mask & 1)) {
    mask >>= 1;
    ++c.Shift;
  }
  while (mask & 1) {
    mask >>= 1;
    ++c.Bits;
  }
  return c;
}

bool ClipCopy(RECT& d, RECT& s, const RECT& db, const RECT& sb) {
  // Edges are moved in 64 bits so that rectangles far outside their bounds cannot overflow.
  std::int64_t dl = d.left, dt = d.top, dr = d.right, dbm = d.bottom;
  std::int64_t sl = s.left, st = s.top, sr = s.right, sbm = s.bottom;
  auto cutLow = [](std::int64_t& edge, std::int64_t& other, std::int64_t bound) {
    if (bound > edge) {
      other += bound - edge;
      edge = bound;
    }
  };
  auto cutHigh = [](std::int64_t& edge, std::int64_t& other, std::int64_t bound) {
    if (bound < edge) {
      other -= edge - bound;
      edge = bound;
    }
  };
  cutLow(dl, sl, db.left);
  cutLow(dt, st, db.top);
  cutLow(sl, dl, sb.left);
  cutLow(st, dt, sb.top);
  cutHigh(dr, sr, db.right);
  cutHigh(dbm, sbm, db.bottom);
  cutHigh(sr, dr, sb.right);
  cutHigh(sbm, dbm, sb.bottom);
  if (!(dl < dr && dt < dbm && sl < sr && st < sbm)) return false;
  d = RECT{static_cast<LONG>(dl), static_cast<LONG>(dt), static_cast<LONG>(dr), static_cast<LONG>(dbm)};
  s = RECT{static_cast<LONG>(sl), static_cast<LONG>(st), static_cast<LONG>(sr), static_cast<LONG>(sbm)};
  return true;
}

}  // namespace pixels
