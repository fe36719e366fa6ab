#include "platform/pixels/Pixels.h"

namespace pixels {

namespace {

template <class T>
void FillTyped(const PixelView& v, const RECT& r, T value) {
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

}  // namespace

void Fill(const PixelView& v, const RECT& rect, std::uint32_t value) {
  const RECT r = Intersect(rect, v.Bounds());
  if (IsEmpty(r) || !v.Bits) return;
  switch (v.BitCount) {
    case 8:
      for (LONG y = r.top; y < r.bottom; ++y)
        std::memset(v.Row(y) + r.left, static_cast<int>(value & 0xFF), static_cast<std::size_t>(Width(r)));
      return;
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
