#include "platform/ddraw/DDrawBlit.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace ddraw::blit {

namespace {

using std::uint16_t;
using std::uint32_t;
using std::uint8_t;

using pixels::Intersect;
using pixels::Pixel;
using pixels::ValueMask;
using pixels::IsEmpty;

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
inline void KeyedRectExact(uint8_t* d, std::ptrdiff_t dpitch, const uint8_t* s, std::ptrdiff_t spitch, LONG w,
                           LONG h, T key) {
  for (LONG row = 0; row < h; ++row)
    KeyedRowExact(reinterpret_cast<T*>(d + static_cast<std::ptrdiff_t>(row) * dpitch),
                  reinterpret_cast<const T*>(s + static_cast<std::ptrdiff_t>(row) * spitch), w, key);
}

// Not under ThreadSanitizer: the clones' resolvers run before its runtime is up and crash.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(__SANITIZE_THREAD__)
#define DDRAW_WIDEST __attribute__((target_clones("avx2", "default")))
#else
#define DDRAW_WIDEST
#endif

DDRAW_WIDEST void KeyedRect8(uint8_t* d, std::ptrdiff_t dp, const uint8_t* s, std::ptrdiff_t sp, LONG w, LONG h,
                             uint8_t key) {
  KeyedRectExact<uint8_t>(d, dp, s, sp, w, h, key);
}
DDRAW_WIDEST void KeyedRect16(uint8_t* d, std::ptrdiff_t dp, const uint8_t* s, std::ptrdiff_t sp, LONG w, LONG h,
                             uint16_t key) {
  KeyedRectExact<uint16_t>(d, dp, s, sp, w, h, key);
}
DDRAW_WIDEST void KeyedRect32(uint8_t* d, std::ptrdiff_t dp, const uint8_t* s, std::ptrdiff_t sp, LONG w, LONG h,
                             uint32_t key) {
  KeyedRectExact<uint32_t>(d, dp, s, sp, w, h, key);
}

template <class T>
void KeyedCopyTyped(const PixelView& d, LONG x, LONG y, const PixelView& s, const RECT& sr, const KeyRange& key) {
  const LONG w = pixels::Width(sr);
  const T low = static_cast<T>(key.Low);
  if (key.Low == key.High) {
    uint8_t* dp = d.Row(y) + static_cast<std::ptrdiff_t>(x) * sizeof(T);
    const uint8_t* sp = s.Row(sr.top) + static_cast<std::ptrdiff_t>(sr.left) * sizeof(T);
    if constexpr (sizeof(T) == 1) {
      KeyedRect8(dp, d.Pitch, sp, s.Pitch, w, pixels::Height(sr), low);
    } else if constexpr (sizeof(T) == 2) {
      KeyedRect16(dp, d.Pitch, sp, s.Pitch, w, pixels::Height(sr), low);
    } else {
      KeyedRect32(dp, d.Pitch, sp, s.Pitch, w, pixels::Height(sr), low);
    }
  } else {
    const T span = static_cast<T>(key.High - key.Low);
    for (LONG row = 0; row < pixels::Height(sr); ++row)
      KeyedRowRange(reinterpret_cast<T*>(d.Row(y + row)) + x,
                    reinterpret_cast<const T*>(s.Row(sr.top + row)) + sr.left, w, low, span);
  }
}

void KeyedCopy24(const PixelView& d, LONG x, LONG y, const PixelView& s, const RECT& sr, const KeyRange& key) {
  const LONG w = pixels::Width(sr);
  for (LONG row = 0; row < pixels::Height(sr); ++row) {
    const uint8_t* src = s.Row(sr.top + row) + 3 * static_cast<std::ptrdiff_t>(sr.left);
    uint8_t* dst = d.Row(y + row) + 3 * static_cast<std::ptrdiff_t>(x);
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
    const std::size_t rowBytes = (static_cast<std::size_t>(pixels::Width(r)) * v.BitCount + 7) / 8 + 4;
    const std::size_t pitch = (rowBytes + 3) & ~std::size_t{3};
    memory.resize(pitch * static_cast<std::size_t>(pixels::Height(r)));
    view = PixelView{memory.data(), static_cast<std::ptrdiff_t>(pitch), pixels::Width(r), pixels::Height(r),
                     v.BitCount};
    rect = RECT{0, 0, pixels::Width(r), pixels::Height(r)};
    if (v.BitCount % 8 == 0) {
      const std::size_t bytes = static_cast<std::size_t>(pixels::Width(r)) * (v.BitCount / 8);
      for (LONG y = 0; y < pixels::Height(r); ++y)
        std::memcpy(view.Row(y), v.Row(r.top + y) + static_cast<std::ptrdiff_t>(r.left) * (v.BitCount / 8), bytes);
    } else {
      for (LONG y = 0; y < pixels::Height(r); ++y)
        for (LONG x = 0; x < pixels::Width(r); ++x)
          pixels::PutPixel(view, x, y, pixels::GetPixel(v, r.left + x, r.top + y));
    }
  }
};

bool SameMemory(const PixelView& a, const PixelView& b) { return a.Bits == b.Bits; }

// --- stretched, mirrored or destination-keyed blits -------------------------------------------

template <int Bytes>
void GeneralBlit(const PixelView& d, const PixelView& s, const BltParams& p, const RECT& clip) {
  const LONG dw = pixels::Width(p.Dest), dh = pixels::Height(p.Dest);
  const LONG sw = pixels::Width(p.Source), sh = pixels::Height(p.Source);
  std::vector<LONG> xmap(static_cast<std::size_t>(pixels::Width(clip)));
  for (LONG x = clip.left; x < clip.right; ++x)
    xmap[static_cast<std::size_t>(x - clip.left)] =
        MapCoordinate(x - p.Dest.left, dw, p.Source.left, sw, p.MirrorLeftRight);
  const KeyRange* sk = p.SourceKey;
  const KeyRange* dk = p.DestKey;
  for (LONG y = clip.top; y < clip.bottom; ++y) {
    const uint8_t* srow = s.Row(MapCoordinate(y - p.Dest.top, dh, p.Source.top, sh, p.MirrorUpDown));
    uint8_t* drow = d.Row(y);
    const LONG* xm = xmap.data() - clip.left;
    if (!sk && !dk) {
      for (LONG x = clip.left; x < clip.right; ++x)
        Pixel<8 * Bytes>::Store(drow, x, Pixel<8 * Bytes>::Load(srow, xm[x]));
    } else {
      for (LONG x = clip.left; x < clip.right; ++x) {
        const uint32_t v = Pixel<8 * Bytes>::Load(srow, xm[x]);
        if (sk && sk->Contains(v)) continue;
        if (dk && !dk->Contains(Pixel<8 * Bytes>::Load(drow, x))) continue;
        Pixel<8 * Bytes>::Store(drow, x, v);
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
  for (LONG row = 0; row < pixels::Height(sr); ++row) {
    const std::size_t sy = static_cast<std::size_t>(sr.top + row);
    const uint8_t* srow = source.Row(sr.top + row);
    uint8_t* drow = dest.Row(y + row) + static_cast<std::size_t>(x) * bytes;
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
      while (x < s.Width && key.Contains(pixels::GetPixel(s, x, y))) ++x;
      if (x == s.Width) break;
      const LONG start = x;
      while (x < s.Width && !key.Contains(pixels::GetPixel(s, x, y))) ++x;
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
  if (IsEmpty(sr)) return;
  const RECT dr{x, y, x + pixels::Width(sr), y + pixels::Height(sr)};
  if (dest.BitCount != source.BitCount || !FastFormat(dest) || !FastFormat(source)) {
    BltParams p;
    p.Dest = p.Clip = dr;
    p.Source = sr;
    p.SourceKey = key;
    return reference::Blit(dest, source, p);
  }
  const int bytes = static_cast<int>(dest.BitCount / 8);
  const bool overlap = SameMemory(dest, source) && !IsEmpty(Intersect(dr, sr));
  if (!key) {
    const std::size_t n = static_cast<std::size_t>(pixels::Width(sr)) * static_cast<std::size_t>(bytes);
    const LONG h = pixels::Height(sr);
    if (overlap && y > sr.top) {
      for (LONG row = h - 1; row >= 0; --row)
        std::memmove(dest.Row(y + row) + static_cast<std::ptrdiff_t>(x) * bytes,
                     source.Row(sr.top + row) + static_cast<std::ptrdiff_t>(sr.left) * bytes, n);
    } else if (overlap) {
      for (LONG row = 0; row < h; ++row)
        std::memmove(dest.Row(y + row) + static_cast<std::ptrdiff_t>(x) * bytes,
                     source.Row(sr.top + row) + static_cast<std::ptrdiff_t>(sr.left) * bytes, n);
    } else {
      for (LONG row = 0; row < h; ++row)
        std::memcpy(dest.Row(y + row) + static_cast<std::ptrdiff_t>(x) * bytes,
                    source.Row(sr.top + row) + static_cast<std::ptrdiff_t>(sr.left) * bytes, n);
    }
    return;
  }
  if (overlap) {
    const Snapshot snap(source, sr);
    return Copy(dest, x, y, snap.view, snap.rect, key);
  }
  const uint32_t mask = ValueMask(dest.BitCount);
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
  if (IsEmpty(clip) || IsEmpty(params.Source)) return;
  if (dest.BitCount != source.BitCount || !FastFormat(dest) || !FastFormat(source))
    return reference::Blit(dest, source, params);
  const bool oneToOne = pixels::Width(params.Dest) == pixels::Width(params.Source) &&
                        pixels::Height(params.Dest) == pixels::Height(params.Source) && !params.MirrorLeftRight &&
                        !params.MirrorUpDown && !params.DestKey;
  if (oneToOne) {
    const RECT sr{params.Source.left + (clip.left - params.Dest.left), params.Source.top + (clip.top - params.Dest.top),
                  params.Source.left + (clip.right - params.Dest.left),
                  params.Source.top + (clip.bottom - params.Dest.top)};
    return Copy(dest, clip.left, clip.top, source, sr, params.SourceKey, params.SourceSpans);
  }
  if (SameMemory(dest, source) && !IsEmpty(Intersect(clip, params.Source))) {
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

void Blit(const PixelView& dest, const PixelView& source, const BltParams& p) {
  const RECT clip = Intersect(Intersect(p.Clip, p.Dest), RECT{0, 0, dest.Width, dest.Height});
  if (IsEmpty(clip) || IsEmpty(p.Source)) return;
  const uint32_t mask = ValueMask(source.BitCount);
  const LONG dw = pixels::Width(p.Dest), dh = pixels::Height(p.Dest);
  const LONG sw = pixels::Width(p.Source), sh = pixels::Height(p.Source);
  // Every source pixel is read before any destination pixel is written, so the result is the
  // same when both are the same memory.
  std::vector<uint32_t> values;
  values.reserve(static_cast<std::size_t>(pixels::Width(clip)) * static_cast<std::size_t>(pixels::Height(clip)));
  for (LONG y = clip.top; y < clip.bottom; ++y) {
    const LONG sy = MapCoordinate(y - p.Dest.top, dh, p.Source.top, sh, p.MirrorUpDown);
    for (LONG x = clip.left; x < clip.right; ++x)
      values.push_back(
          pixels::GetPixel(source, MapCoordinate(x - p.Dest.left, dw, p.Source.left, sw, p.MirrorLeftRight), sy) &
          mask);
  }
  std::size_t i = 0;
  for (LONG y = clip.top; y < clip.bottom; ++y) {
    for (LONG x = clip.left; x < clip.right; ++x) {
      const uint32_t v = values[i++];
      if (p.SourceKey && v >= p.SourceKey->Low && v <= p.SourceKey->High) continue;
      if (p.DestKey) {
        const uint32_t d = pixels::GetPixel(dest, x, y);
        if (d < p.DestKey->Low || d > p.DestKey->High) continue;
      }
      pixels::PutPixel(dest, x, y, v);
    }
  }
}

}  // namespace reference

}  // namespace ddraw::blit
