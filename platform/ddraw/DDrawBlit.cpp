#include "platform/ddraw/DDrawBlit.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace ddraw::blit {

namespace {

using std::uint16_t;
using std::uint32_t;
using std::uint8_t;

LONG RectWidth(const RECT& r) { return r.right - r.left; }
LONG RectHeight(const RECT& r) { return r.bottom - r.top; }
bool Empty(const RECT& r) { return r.left >= r.right || r.top >= r.bottom; }

RECT Intersect(const RECT& a, const RECT& b) {
  return RECT{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
              std::min(a.bottom, b.bottom)};
}

uint32_t PixelMask(uint32_t bits) { return bits >= 32 ? 0xFFFFFFFFu : ((1u << bits) - 1u); }

uint8_t* Row(const PixelView& v, LONG y) { return v.Bits + static_cast<std::ptrdiff_t>(y) * v.Pitch; }

// Typed access to one pixel of a row; 24-bit pixels are three bytes, least significant first.
template <int Bytes>
struct Px;
template <>
struct Px<1> {
  using T = uint8_t;
  static uint32_t Load(const uint8_t* row, LONG x) { return row[x]; }
  static void Store(uint8_t* row, LONG x, uint32_t v) { row[x] = static_cast<uint8_t>(v); }
};
template <>
struct Px<2> {
  using T = uint16_t;
  static uint32_t Load(const uint8_t* row, LONG x) { return reinterpret_cast<const uint16_t*>(row)[x]; }
  static void Store(uint8_t* row, LONG x, uint32_t v) { reinterpret_cast<uint16_t*>(row)[x] = static_cast<uint16_t>(v); }
};
template <>
struct Px<3> {
  static uint32_t Load(const uint8_t* row, LONG x) {
    const uint8_t* p = row + 3 * static_cast<std::ptrdiff_t>(x);
    return p[0] | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16);
  }
  static void Store(uint8_t* row, LONG x, uint32_t v) {
    uint8_t* p = row + 3 * static_cast<std::ptrdiff_t>(x);
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
  }
};
template <>
struct Px<4> {
  using T = uint32_t;
  static uint32_t Load(const uint8_t* row, LONG x) { return reinterpret_cast<const uint32_t*>(row)[x]; }
  static void Store(uint8_t* row, LONG x, uint32_t v) { reinterpret_cast<uint32_t*>(row)[x] = v; }
};

// The fast routines use typed rows; memory that is not aligned for its pixel size goes the
// reference way instead.
bool FastFormat(const PixelView& v) {
  switch (v.BitCount) {
    case 8:
    case 24:
      return true;
    case 16:
      return (reinterpret_cast<std::uintptr_t>(v.Bits) % 2 == 0) && (v.Pitch % 2 == 0);
    case 32:
      return (reinterpret_cast<std::uintptr_t>(v.Bits) % 4 == 0) && (v.Pitch % 4 == 0);
    default:
      return false;
  }
}

// --- fills ------------------------------------------------------------------------------------

template <class T>
void FillTyped(const PixelView& d, const RECT& r, T value) {
  const LONG w = RectWidth(r);
  for (LONG y = r.top; y < r.bottom; ++y) std::fill_n(reinterpret_cast<T*>(Row(d, y)) + r.left, w, value);
}

void Fill24(const PixelView& d, const RECT& r, uint32_t value) {
  const LONG w = RectWidth(r);
  uint8_t* first = Row(d, r.top) + 3 * static_cast<std::ptrdiff_t>(r.left);
  for (LONG x = 0; x < w; ++x) Px<3>::Store(first, x, value);
  for (LONG y = r.top + 1; y < r.bottom; ++y)
    std::memcpy(Row(d, y) + 3 * static_cast<std::ptrdiff_t>(r.left), first, 3 * static_cast<std::size_t>(w));
}

// --- 1:1 copies ------------------------------------------------------------------------------

// Keyed rows go in blocks of 32 bytes: a compare and a blend each, in the widest vectors there are.
typedef uint8_t Vec8 __attribute__((vector_size(32)));
typedef uint16_t Vec16 __attribute__((vector_size(32)));
typedef uint32_t Vec32 __attribute__((vector_size(32)));
template <class T>
struct VecOf;
template <>
struct VecOf<uint8_t> {
  using type = Vec8;
};
template <>
struct VecOf<uint16_t> {
  using type = Vec16;
};
template <>
struct VecOf<uint32_t> {
  using type = Vec32;
};

template <class T, class V = typename VecOf<T>::type>
inline void KeyedBlockExact(V& out, const T* d, const T* s, T key) {
  V sv, dv;
  std::memcpy(&sv, s, sizeof(V));
  std::memcpy(&dv, d, sizeof(V));
  const V keep = sv == key;
  out = (dv & keep) | (sv & ~keep);
}

// Rows are done in blocks of 32 bytes, the last block ending at the end of the row and overlapping
// the one before. Doing a pixel twice gives the same result; the last block is read before the
// others are written, so that it never waits for a store it half overlaps, and there is no tail
// loop to pay for.
template <class T>
void KeyedRowExact(T* __restrict d, const T* __restrict s, LONG n, T key) {
  constexpr LONG kBlock = static_cast<LONG>(32 / sizeof(T));
  if (n >= kBlock) {
    typename VecOf<T>::type last, v;
    KeyedBlockExact(last, d + n - kBlock, s + n - kBlock, key);
    for (LONG i = 0; i + kBlock < n; i += kBlock) {
      KeyedBlockExact(v, d + i, s + i, key);
      std::memcpy(d + i, &v, sizeof(v));
    }
    std::memcpy(d + n - kBlock, &last, sizeof(last));
    return;
  }
  for (LONG i = 0; i < n; ++i) {
    const T v = s[i];
    d[i] = v == key ? d[i] : v;
  }
}

template <class T>
void KeyedRowRange(T* __restrict d, const T* __restrict s, LONG n, T low, T span) {
  for (LONG i = 0; i < n; ++i) {
    const T v = s[i];
    d[i] = static_cast<T>(v - low) <= span ? d[i] : v;
  }
}

// The whole rectangle in one call, so that the processor's widest vectors can be chosen once.
template <class T>
inline void KeyedRectExact(uint8_t* d, LONG dpitch, const uint8_t* s, LONG spitch, LONG w, LONG h, T key) {
  for (LONG row = 0; row < h; ++row)
    KeyedRowExact(reinterpret_cast<T*>(d + static_cast<std::ptrdiff_t>(row) * dpitch),
                  reinterpret_cast<const T*>(s + static_cast<std::ptrdiff_t>(row) * spitch), w, key);
}

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define DDRAW_WIDEST __attribute__((target_clones("avx2", "default")))
#else
#define DDRAW_WIDEST
#endif

DDRAW_WIDEST void KeyedRect8(uint8_t* d, LONG dp, const uint8_t* s, LONG sp, LONG w, LONG h, uint8_t key) {
  KeyedRectExact<uint8_t>(d, dp, s, sp, w, h, key);
}
DDRAW_WIDEST void KeyedRect16(uint8_t* d, LONG dp, const uint8_t* s, LONG sp, LONG w, LONG h, uint16_t key) {
  KeyedRectExact<uint16_t>(d, dp, s, sp, w, h, key);
}
DDRAW_WIDEST void KeyedRect32(uint8_t* d, LONG dp, const uint8_t* s, LONG sp, LONG w, LONG h, uint32_t key) {
  KeyedRectExact<uint32_t>(d, dp, s, sp, w, h, key);
}

template <class T>
void KeyedCopyTyped(const PixelView& d, LONG x, LONG y, const PixelView& s, const RECT& sr, const KeyRange& key) {
  const LONG w = RectWidth(sr);
  const T low = static_cast<T>(key.Low);
  if (key.Low == key.High) {
    uint8_t* dp = Row(d, y) + static_cast<std::ptrdiff_t>(x) * sizeof(T);
    const uint8_t* sp = Row(s, sr.top) + static_cast<std::ptrdiff_t>(sr.left) * sizeof(T);
    if constexpr (sizeof(T) == 1) {
      KeyedRect8(dp, d.Pitch, sp, s.Pitch, w, RectHeight(sr), low);
    } else if constexpr (sizeof(T) == 2) {
      KeyedRect16(dp, d.Pitch, sp, s.Pitch, w, RectHeight(sr), low);
    } else {
      KeyedRect32(dp, d.Pitch, sp, s.Pitch, w, RectHeight(sr), low);
    }
  } else {
    const T span = static_cast<T>(key.High - key.Low);
    for (LONG row = 0; row < RectHeight(sr); ++row)
      KeyedRowRange(reinterpret_cast<T*>(Row(d, y + row)) + x,
                    reinterpret_cast<const T*>(Row(s, sr.top + row)) + sr.left, w, low, span);
  }
}

void KeyedCopy24(const PixelView& d, LONG x, LONG y, const PixelView& s, const RECT& sr, const KeyRange& key) {
  const LONG w = RectWidth(sr);
  for (LONG row = 0; row < RectHeight(sr); ++row) {
    const uint8_t* src = Row(s, sr.top + row) + 3 * static_cast<std::ptrdiff_t>(sr.left);
    uint8_t* dst = Row(d, y + row) + 3 * static_cast<std::ptrdiff_t>(x);
    for (LONG i = 0; i < w; ++i, src += 3, dst += 3) {
      const uint32_t v = src[0] | (static_cast<uint32_t>(src[1]) << 8) | (static_cast<uint32_t>(src[2]) << 16);
      if (v - key.Low <= key.High - key.Low) continue;
      dst[0] = src[0];
      dst[1] = src[1];
      dst[2] = src[2];
    }
  }
}

// A copy of a rectangle of v into memory of its own, so a blit may read it while writing v.
struct Snapshot {
  std::vector<uint8_t> memory;
  PixelView view;
  RECT rect;
  Snapshot(const PixelView& v, const RECT& r) {
    const std::size_t rowBytes = (static_cast<std::size_t>(RectWidth(r)) * v.BitCount + 7) / 8 + 4;
    const std::size_t pitch = (rowBytes + 3) & ~std::size_t{3};
    memory.resize(pitch * static_cast<std::size_t>(RectHeight(r)));
    view = PixelView{memory.data(), static_cast<LONG>(pitch), RectWidth(r), RectHeight(r), v.BitCount};
    rect = RECT{0, 0, RectWidth(r), RectHeight(r)};
    if (v.BitCount % 8 == 0) {
      const std::size_t bytes = static_cast<std::size_t>(RectWidth(r)) * (v.BitCount / 8);
      for (LONG y = 0; y < RectHeight(r); ++y)
        std::memcpy(Row(view, y), Row(v, r.top + y) + static_cast<std::ptrdiff_t>(r.left) * (v.BitCount / 8), bytes);
    } else {
      for (LONG y = 0; y < RectHeight(r); ++y)
        for (LONG x = 0; x < RectWidth(r); ++x)
          reference::PutPixel(view, x, y, reference::GetPixel(v, r.left + x, r.top + y));
    }
  }
};

bool SameMemory(const PixelView& a, const PixelView& b) { return a.Bits == b.Bits; }

// --- stretched, mirrored or destination-keyed blits -------------------------------------------

template <int Bytes>
void GeneralBlit(const PixelView& d, const PixelView& s, const BltParams& p, const RECT& clip) {
  const LONG dw = RectWidth(p.Dest), dh = RectHeight(p.Dest);
  const LONG sw = RectWidth(p.Source), sh = RectHeight(p.Source);
  std::vector<LONG> xmap(static_cast<std::size_t>(RectWidth(clip)));
  for (LONG x = clip.left; x < clip.right; ++x)
    xmap[static_cast<std::size_t>(x - clip.left)] =
        MapCoordinate(x - p.Dest.left, dw, p.Source.left, sw, p.MirrorLeftRight);
  const KeyRange* sk = p.SourceKey;
  const KeyRange* dk = p.DestKey;
  for (LONG y = clip.top; y < clip.bottom; ++y) {
    const uint8_t* srow = Row(s, MapCoordinate(y - p.Dest.top, dh, p.Source.top, sh, p.MirrorUpDown));
    uint8_t* drow = Row(d, y);
    const LONG* xm = xmap.data() - clip.left;
    if (!sk && !dk) {
      for (LONG x = clip.left; x < clip.right; ++x) Px<Bytes>::Store(drow, x, Px<Bytes>::Load(srow, xm[x]));
    } else {
      for (LONG x = clip.left; x < clip.right; ++x) {
        const uint32_t v = Px<Bytes>::Load(srow, xm[x]);
        if (sk && sk->Contains(v)) continue;
        if (dk && !dk->Contains(Px<Bytes>::Load(drow, x))) continue;
        Px<Bytes>::Store(drow, x, v);
      }
    }
  }
}


// Copies of a few dozen bytes, inline: a call per run would cost more than the copy.
inline void CopyBytes(uint8_t* __restrict d, const uint8_t* __restrict s, std::size_t n) {
  if (n > 32) {
    std::memcpy(d, s, n);  // the library's copy uses the widest moves the processor has
    return;
  }
  if (n >= 16) {
    std::memcpy(d, s, 16);
    std::memcpy(d + n - 16, s + n - 16, 16);
  } else if (n >= 8) {
    std::memcpy(d, s, 8);
    std::memcpy(d + n - 8, s + n - 8, 8);
  } else if (n >= 4) {
    std::memcpy(d, s, 4);
    std::memcpy(d + n - 4, s + n - 4, 4);
  } else {
    for (std::size_t i = 0; i < n; ++i) d[i] = s[i];
  }
}

void CopyRuns(const PixelView& dest, LONG x, LONG y, const PixelView& source, const RECT& sr, const KeySpans& spans) {
  const std::size_t bytes = dest.BitCount / 8;
  const std::uint32_t* rowStart = spans.RowStart.data();
  const LONG* runs = spans.Runs.data();
  const LONG left = sr.left, right = sr.right;
  const bool whole = left == 0 && right == source.Width;
  for (LONG row = 0; row < RectHeight(sr); ++row) {
    const std::size_t sy = static_cast<std::size_t>(sr.top + row);
    const uint8_t* srow = Row(source, sr.top + row);
    uint8_t* drow = Row(dest, y + row) + static_cast<std::size_t>(x) * bytes;
    const std::uint32_t end = rowStart[sy + 1];
    for (std::uint32_t i = rowStart[sy]; i < end; i += 2) {
      LONG a = runs[i], b = runs[i + 1];
      if (!whole) {
        a = std::max(a, left);
        b = std::min(b, right);
        if (a >= b) continue;
      }
      CopyBytes(drow + static_cast<std::size_t>(a - left) * bytes, srow + static_cast<std::size_t>(a) * bytes,
                static_cast<std::size_t>(b - a) * bytes);
    }
  }
}

}  // namespace

void Fill(const PixelView& dest, const RECT& rect, uint32_t value) {
  const RECT r = Intersect(rect, RECT{0, 0, dest.Width, dest.Height});
  if (Empty(r)) return;
  if (!FastFormat(dest)) return reference::Fill(dest, r, value);
  switch (dest.BitCount) {
    case 8:
      for (LONG y = r.top; y < r.bottom; ++y)
        std::memset(Row(dest, y) + r.left, static_cast<int>(value & 0xFF), static_cast<std::size_t>(RectWidth(r)));
      return;
    case 16:
      return FillTyped<uint16_t>(dest, r, static_cast<uint16_t>(value));
    case 24:
      return Fill24(dest, r, value);
    case 32:
      return FillTyped<uint32_t>(dest, r, value);
  }
}

void BuildSpans(const PixelView& s, std::uint64_t version, const KeyRange& key, KeySpans& spans) {
  spans.Bits = s.Bits;
  spans.Version = version;
  spans.Key = key;
  spans.Width = s.Width;
  spans.Height = s.Height;
  spans.RowStart.assign(static_cast<std::size_t>(s.Height) + 1, 0);
  spans.Runs.clear();
  spans.Worthwhile = false;
  if (!FastFormat(s)) return;
  std::uint64_t opaque = 0;
  for (LONG y = 0; y < s.Height; ++y) {
    spans.RowStart[static_cast<std::size_t>(y)] = static_cast<std::uint32_t>(spans.Runs.size());
    LONG x = 0;
    while (x < s.Width) {
      while (x < s.Width && key.Contains(reference::GetPixel(s, x, y))) ++x;
      if (x == s.Width) break;
      const LONG start = x;
      while (x < s.Width && !key.Contains(reference::GetPixel(s, x, y))) ++x;
      spans.Runs.push_back(start);
      spans.Runs.push_back(x);
      opaque += static_cast<std::uint64_t>(x - start);
    }
  }
  spans.RowStart.back() = static_cast<std::uint32_t>(spans.Runs.size());
  const std::size_t runs = spans.Runs.size() / 2;
  // Below a few hundred pixels a run costs more in calls than the vector test of every pixel.
  spans.Worthwhile = runs == 0 || opaque / runs >= 256;
}

void Copy(const PixelView& dest, LONG x, LONG y, const PixelView& source, const RECT& sr, const KeyRange* key,
          const KeySpans* spans) {
  if (Empty(sr)) return;
  const RECT dr{x, y, x + RectWidth(sr), y + RectHeight(sr)};
  if (dest.BitCount != source.BitCount || !FastFormat(dest) || !FastFormat(source)) {
    BltParams p;
    p.Dest = p.Clip = dr;
    p.Source = sr;
    p.SourceKey = key;
    return reference::Blit(dest, source, p);
  }
  const int bytes = static_cast<int>(dest.BitCount / 8);
  const bool overlap = SameMemory(dest, source) && !Empty(Intersect(dr, sr));
  if (!key) {
    const std::size_t n = static_cast<std::size_t>(RectWidth(sr)) * static_cast<std::size_t>(bytes);
    const LONG h = RectHeight(sr);
    if (overlap && y > sr.top) {
      for (LONG row = h - 1; row >= 0; --row)
        std::memmove(Row(dest, y + row) + static_cast<std::ptrdiff_t>(x) * bytes,
                     Row(source, sr.top + row) + static_cast<std::ptrdiff_t>(sr.left) * bytes, n);
    } else if (overlap) {
      for (LONG row = 0; row < h; ++row)
        std::memmove(Row(dest, y + row) + static_cast<std::ptrdiff_t>(x) * bytes,
                     Row(source, sr.top + row) + static_cast<std::ptrdiff_t>(sr.left) * bytes, n);
    } else {
      for (LONG row = 0; row < h; ++row)
        std::memcpy(Row(dest, y + row) + static_cast<std::ptrdiff_t>(x) * bytes,
                    Row(source, sr.top + row) + static_cast<std::ptrdiff_t>(sr.left) * bytes, n);
    }
    return;
  }
  if (overlap) {
    const Snapshot snap(source, sr);
    return Copy(dest, x, y, snap.view, snap.rect, key);
  }
  const uint32_t mask = PixelMask(dest.BitCount);
  if (key->Low > mask || key->High < key->Low) {
    // No pixel value can match the key: a plain copy.
    return Copy(dest, x, y, source, sr, nullptr);
  }
  const KeyRange k{key->Low, std::min(key->High, mask)};
  if (spans && spans->Worthwhile && spans->Bits == source.Bits && spans->Key.Low == key->Low &&
      spans->Key.High == key->High && !SameMemory(dest, source)) {
    return CopyRuns(dest, x, y, source, sr, *spans);
  }
  switch (dest.BitCount) {
    case 8:
      return KeyedCopyTyped<uint8_t>(dest, x, y, source, sr, k);
    case 16:
      return KeyedCopyTyped<uint16_t>(dest, x, y, source, sr, k);
    case 24:
      return KeyedCopy24(dest, x, y, source, sr, k);
    case 32:
      return KeyedCopyTyped<uint32_t>(dest, x, y, source, sr, k);
  }
}

void Blit(const PixelView& dest, const PixelView& source, const BltParams& params) {
  const RECT clip = Intersect(Intersect(params.Clip, params.Dest), RECT{0, 0, dest.Width, dest.Height});
  if (Empty(clip) || Empty(params.Source)) return;
  if (dest.BitCount != source.BitCount || !FastFormat(dest) || !FastFormat(source))
    return reference::Blit(dest, source, params);
  const bool oneToOne = RectWidth(params.Dest) == RectWidth(params.Source) &&
                        RectHeight(params.Dest) == RectHeight(params.Source) && !params.MirrorLeftRight &&
                        !params.MirrorUpDown && !params.DestKey;
  if (oneToOne) {
    const RECT sr{params.Source.left + (clip.left - params.Dest.left), params.Source.top + (clip.top - params.Dest.top),
                  params.Source.left + (clip.right - params.Dest.left),
                  params.Source.top + (clip.bottom - params.Dest.top)};
    return Copy(dest, clip.left, clip.top, source, sr, params.SourceKey, params.SourceSpans);
  }
  if (SameMemory(dest, source) && !Empty(Intersect(clip, params.Source))) {
    const Snapshot snap(source, params.Source);
    BltParams p = params;
    p.Source = snap.rect;
    return Blit(dest, snap.view, p);
  }
  switch (dest.BitCount) {
    case 8:
      return GeneralBlit<1>(dest, source, params, clip);
    case 16:
      return GeneralBlit<2>(dest, source, params, clip);
    case 24:
      return GeneralBlit<3>(dest, source, params, clip);
    case 32:
      return GeneralBlit<4>(dest, source, params, clip);
  }
}

// --- reference -------------------------------------------------------------------------------

namespace reference {

uint32_t GetPixel(const PixelView& v, LONG x, LONG y) {
  const uint8_t* row = Row(v, y);
  switch (v.BitCount) {
    case 1:
      return (row[x / 8] >> (7 - x % 8)) & 1u;
    case 2:
      return (row[x / 4] >> (2 * (3 - x % 4))) & 3u;
    case 4:
      return (row[x / 2] >> (x % 2 == 0 ? 4 : 0)) & 0xFu;
    case 8:
      return row[x];
    case 16: {
      const uint8_t* p = row + 2 * static_cast<std::ptrdiff_t>(x);
      return p[0] | (static_cast<uint32_t>(p[1]) << 8);
    }
    case 24: {
      const uint8_t* p = row + 3 * static_cast<std::ptrdiff_t>(x);
      return p[0] | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16);
    }
    case 32: {
      const uint8_t* p = row + 4 * static_cast<std::ptrdiff_t>(x);
      return p[0] | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
             (static_cast<uint32_t>(p[3]) << 24);
    }
    default:
      return 0;
  }
}

void PutPixel(const PixelView& v, LONG x, LONG y, uint32_t value) {
  uint8_t* row = Row(v, y);
  switch (v.BitCount) {
    case 1: {
      const uint8_t bit = static_cast<uint8_t>(0x80u >> (x % 8));
      row[x / 8] = static_cast<uint8_t>((value & 1u) ? (row[x / 8] | bit) : (row[x / 8] & ~bit));
      return;
    }
    case 2: {
      const int shift = 2 * (3 - x % 4);
      row[x / 4] = static_cast<uint8_t>((row[x / 4] & ~(3u << shift)) | ((value & 3u) << shift));
      return;
    }
    case 4: {
      const int shift = x % 2 == 0 ? 4 : 0;
      row[x / 2] = static_cast<uint8_t>((row[x / 2] & ~(0xFu << shift)) | ((value & 0xFu) << shift));
      return;
    }
    case 8:
      row[x] = static_cast<uint8_t>(value);
      return;
    case 16:
    case 24:
    case 32: {
      uint8_t* p = row + static_cast<std::ptrdiff_t>(x) * (v.BitCount / 8);
      for (uint32_t i = 0; i < v.BitCount / 8; ++i) p[i] = static_cast<uint8_t>(value >> (8 * i));
      return;
    }
    default:
      return;
  }
}

void Fill(const PixelView& dest, const RECT& rect, uint32_t value) {
  const RECT r = Intersect(rect, RECT{0, 0, dest.Width, dest.Height});
  for (LONG y = r.top; y < r.bottom; ++y)
    for (LONG x = r.left; x < r.right; ++x) PutPixel(dest, x, y, value);
}

void Blit(const PixelView& dest, const PixelView& source, const BltParams& p) {
  const RECT clip = Intersect(Intersect(p.Clip, p.Dest), RECT{0, 0, dest.Width, dest.Height});
  if (Empty(clip) || Empty(p.Source)) return;
  const uint32_t mask = PixelMask(source.BitCount);
  const LONG dw = RectWidth(p.Dest), dh = RectHeight(p.Dest);
  const LONG sw = RectWidth(p.Source), sh = RectHeight(p.Source);
  // Every source pixel is read before any destination pixel is written, so the result is the
  // same when both are the same memory.
  std::vector<uint32_t> values;
  values.reserve(static_cast<std::size_t>(RectWidth(clip)) * static_cast<std::size_t>(RectHeight(clip)));
  for (LONG y = clip.top; y < clip.bottom; ++y) {
    const LONG sy = MapCoordinate(y - p.Dest.top, dh, p.Source.top, sh, p.MirrorUpDown);
    for (LONG x = clip.left; x < clip.right; ++x)
      values.push_back(GetPixel(source, MapCoordinate(x - p.Dest.left, dw, p.Source.left, sw, p.MirrorLeftRight), sy) & mask);
  }
  std::size_t i = 0;
  for (LONG y = clip.top; y < clip.bottom; ++y) {
    for (LONG x = clip.left; x < clip.right; ++x) {
      const uint32_t v = values[i++];
      if (p.SourceKey && v >= p.SourceKey->Low && v <= p.SourceKey->High) continue;
      if (p.DestKey) {
        const uint32_t d = GetPixel(dest, x, y);
        if (d < p.DestKey->Low || d > p.DestKey->High) continue;
      }
      PutPixel(dest, x, y, v);
    }
  }
}

}  // namespace reference

}  // namespace ddraw::blit
