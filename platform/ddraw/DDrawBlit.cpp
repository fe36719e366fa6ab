#include "platform/ddraw/DDrawBlit.h"

#include <algorithm>
#include <cstring>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

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
// Rows narrower than a block go in blocks of 16.
template <class T, std::size_t Bytes>
struct Block {
  typedef T type __attribute__((vector_size(Bytes)));
};
template <class T, std::size_t Bytes>
using BlockOf = typename Block<T, Bytes>::type;

// A block of the row at `at`: the source where it is not the key, the destination where it is.
template <class V>
__attribute__((always_inline)) inline V KeyedBlock(const uint8_t* d, const uint8_t* s, std::size_t at, V key) {
  V sv, dv;
  std::memcpy(&sv, s + at, sizeof(V));
  std::memcpy(&dv, d + at, sizeof(V));
  return sv == key ? dv : sv;
}

// A row of N - 1 blocks of Bytes from its start, then one of Tail bytes that ends at the end of
// the row: the narrowest that covers what the blocks leave, so that it overlaps them as little
// as it can. Doing a pixel twice gives the same result; every block is read before any is
// written, so that none waits for a store it half overlaps, and there is no tail loop to pay for.
template <class T, std::size_t Bytes, int N, std::size_t Tail>
__attribute__((always_inline)) inline void KeyedRowBlocks(uint8_t* __restrict d, const uint8_t* __restrict s,
                                                          std::size_t last, BlockOf<T, Bytes> key,
                                                          BlockOf<T, Tail> tailKey) {
  using V = BlockOf<T, Bytes>;
  V out[N > 1 ? N - 1 : 1];
#pragma GCC unroll 8
  for (int i = 0; i + 1 < N; ++i) out[i] = KeyedBlock(d, s, Bytes * static_cast<std::size_t>(i), key);
  const BlockOf<T, Tail> tail = KeyedBlock(d, s, last, tailKey);
#pragma GCC unroll 8
  for (int i = 0; i + 1 < N; ++i) std::memcpy(d + Bytes * static_cast<std::size_t>(i), &out[i], Bytes);
  std::memcpy(d + last, &tail, Tail);
}

template <class T, std::size_t Bytes, int N, std::size_t Tail>
__attribute__((always_inline)) inline void KeyedRectBlocks(uint8_t* d, std::ptrdiff_t dpitch, const uint8_t* s,
                                                           std::ptrdiff_t spitch, LONG h, std::size_t rowBytes,
                                                           T key) {
  const BlockOf<T, Bytes> k = BlockOf<T, Bytes>{} + key;
  const BlockOf<T, Tail> tk = BlockOf<T, Tail>{} + key;
  const std::size_t last = rowBytes - Tail;
  for (LONG row = 0; row < h; ++row, d += dpitch, s += spitch) KeyedRowBlocks<T, Bytes, N, Tail>(d, s, last, k, tk);
}

// The last block's width for a row of N - 1 whole blocks and the rest: 8, 16 or Bytes.
template <class T, std::size_t Bytes, int N>
__attribute__((always_inline)) inline void KeyedRectTailed(uint8_t* d, std::ptrdiff_t dp, const uint8_t* s,
                                                           std::ptrdiff_t sp, LONG h, std::size_t rowBytes, T key) {
  const std::size_t rest = rowBytes - Bytes * (N - 1);
  if (rest <= 8) return KeyedRectBlocks<T, Bytes, N, 8>(d, dp, s, sp, h, rowBytes, key);
  if (Bytes > 16 && rest <= 16) return KeyedRectBlocks<T, Bytes, N, 16>(d, dp, s, sp, h, rowBytes, key);
  return KeyedRectBlocks<T, Bytes, N, Bytes>(d, dp, s, sp, h, rowBytes, key);
}

// Rows of more blocks than are worth writing out: a loop over the whole blocks, then the last.
template <class T, std::size_t Tail>
__attribute__((always_inline)) inline void KeyedRectLoop(uint8_t* d, std::ptrdiff_t dpitch, const uint8_t* s,
                                                         std::ptrdiff_t spitch, LONG h, std::size_t rowBytes, T key) {
  using V = BlockOf<T, 32>;
  const V k = V{} + key;
  const BlockOf<T, Tail> tk = BlockOf<T, Tail>{} + key;
  const std::size_t whole = 32 * ((rowBytes - 1) / 32);
  const std::size_t last = rowBytes - Tail;
  for (LONG row = 0; row < h; ++row, d += dpitch, s += spitch) {
    const BlockOf<T, Tail> tail = KeyedBlock(d, s, last, tk);
    for (std::size_t i = 0; i < whole; i += 32) {
      const V v = KeyedBlock(d, s, i, k);
      std::memcpy(d + i, &v, 32);
    }
    std::memcpy(d + last, &tail, Tail);
  }
}

template <class T>
void KeyedRowRange(T* __restrict d, const T* __restrict s, LONG n, T low, T span) {
  for (LONG i = 0; i < n; ++i) {
    const T v = s[i];
    d[i] = static_cast<T>(v - low) <= span ? d[i] : v;
  }
}

// The whole rectangle in one call, so that the processor's widest vectors can be chosen once, and
// the shape of the rows once: each width of up to eight blocks has its own code, with no loop
// along the row.
template <class T>
__attribute__((always_inline)) inline void KeyedRectExact(uint8_t* d, std::ptrdiff_t dp, const uint8_t* s,
                                                          std::ptrdiff_t sp, LONG w, LONG h, T key) {
  const std::size_t bytes = static_cast<std::size_t>(w) * sizeof(T);
  switch ((bytes + 31) / 32) {
    case 0:
      break;
    case 1:
      if (bytes == 32) return KeyedRectBlocks<T, 32, 1, 32>(d, dp, s, sp, h, bytes, key);
      if (bytes >= 16) return KeyedRectTailed<T, 16, 2>(d, dp, s, sp, h, bytes, key);
      break;
    case 2: return KeyedRectTailed<T, 32, 2>(d, dp, s, sp, h, bytes, key);
    case 3: return KeyedRectTailed<T, 32, 3>(d, dp, s, sp, h, bytes, key);
    case 4: return KeyedRectTailed<T, 32, 4>(d, dp, s, sp, h, bytes, key);
    case 5: return KeyedRectTailed<T, 32, 5>(d, dp, s, sp, h, bytes, key);
    case 6: return KeyedRectTailed<T, 32, 6>(d, dp, s, sp, h, bytes, key);
    case 7: return KeyedRectTailed<T, 32, 7>(d, dp, s, sp, h, bytes, key);
    case 8: return KeyedRectTailed<T, 32, 8>(d, dp, s, sp, h, bytes, key);
    default: {
      const std::size_t rest = bytes - 32 * ((bytes - 1) / 32);
      if (rest <= 8) return KeyedRectLoop<T, 8>(d, dp, s, sp, h, bytes, key);
      if (rest <= 16) return KeyedRectLoop<T, 16>(d, dp, s, sp, h, bytes, key);
      return KeyedRectLoop<T, 32>(d, dp, s, sp, h, bytes, key);
    }
  }
  // Fewer than 16 bytes a row: pixel by pixel, a range of one value.
  for (LONG row = 0; row < h; ++row, d += dp, s += sp)
    KeyedRowRange(reinterpret_cast<T*>(d), reinterpret_cast<const T*>(s), w, key, T{0});
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

#if defined(__x86_64__) && defined(__GNUC__)
#define DDRAW_MASKED_STORES 1
// Rows of more blocks than this go in the destination's cache lines (see KeyedRowMasked).
constexpr LONG kAlignedRowBlocks = 4;
// Processors with 64-byte vectors and per-lane masks write only a row's opaque pixels: a compare
// gives the mask, and the store leaves the rest of the destination as it is, so the destination
// is never read. The last block of a row is masked to the row, read and written alike (masked-off
// lanes are neither read nor written, so nothing past the row is touched).
template <class T>
struct Lanes;
template <>
struct Lanes<uint8_t> {
  using Mask = __mmask64;
};
template <>
struct Lanes<uint16_t> {
  using Mask = __mmask32;
};
template <>
struct Lanes<uint32_t> {
  using Mask = __mmask16;
};

// The lanes of m of the block at s that are not the key go to the block at d; lanes outside m
// are neither read nor written.
template <class T>
__attribute__((target("avx512f,avx512bw"), always_inline)) inline void KeyedBlockMasked(uint8_t* d, const uint8_t* s,
                                                                                        typename Lanes<T>::Mask m,
                                                                                        __m512i low, __m512i span) {
  if constexpr (sizeof(T) == 1) {
    const __m512i v = _mm512_maskz_loadu_epi8(m, s);
    _mm512_mask_storeu_epi8(d, _mm512_mask_cmpgt_epu8_mask(m, _mm512_sub_epi8(v, low), span), v);
  } else if constexpr (sizeof(T) == 2) {
    const __m512i v = _mm512_maskz_loadu_epi16(m, s);
    _mm512_mask_storeu_epi16(d, _mm512_mask_cmpgt_epu16_mask(m, _mm512_sub_epi16(v, low), span), v);
  } else {
    const __m512i v = _mm512_maskz_loadu_epi32(m, s);
    _mm512_mask_storeu_epi32(d, _mm512_mask_cmpgt_epu32_mask(m, _mm512_sub_epi32(v, low), span), v);
  }
}
template <class T>
__attribute__((target("avx512f,avx512bw"), always_inline)) inline void KeyedBlockWhole(uint8_t* d, const uint8_t* s,
                                                                                       __m512i low, __m512i span) {
  const __m512i v = _mm512_loadu_si512(s);
  if constexpr (sizeof(T) == 1) {
    _mm512_mask_storeu_epi8(d, _mm512_cmpgt_epu8_mask(_mm512_sub_epi8(v, low), span), v);
  } else if constexpr (sizeof(T) == 2) {
    _mm512_mask_storeu_epi16(d, _mm512_cmpgt_epu16_mask(_mm512_sub_epi16(v, low), span), v);
  } else {
    _mm512_mask_storeu_epi32(d, _mm512_cmpgt_epu32_mask(_mm512_sub_epi32(v, low), span), v);
  }
}

// A row of w pixels, block by block from its start. The last block of a row at least a block wide
// ends at the end of the row, overlapping the one before it (doing a pixel twice gives the same
// result); a narrower row is one block masked to the row. A masked store that straddles two cache
// lines costs several times one that does not: long rows go in the destination's own lines, the
// first masked to the row.
template <class T>
__attribute__((target("avx512f,avx512bw"), always_inline)) inline void KeyedRowMasked(uint8_t* d, const uint8_t* s,
                                                                                      LONG w, __m512i low,
                                                                                      __m512i span) {
  using Mask = typename Lanes<T>::Mask;
  constexpr LONG lanes = 64 / sizeof(T);
  constexpr Mask all = static_cast<Mask>(~Mask{0});
  if (w < lanes) return KeyedBlockMasked<T>(d, s, static_cast<Mask>((Mask{1} << w) - 1), low, span);
  LONG x = 0;
  LONG end = w;
  if (w > kAlignedRowBlocks * lanes) {
    const std::size_t skew = reinterpret_cast<std::uintptr_t>(d) & 63;
    d -= skew;
    s -= skew;
    const LONG first = static_cast<LONG>(skew / sizeof(T));
    end = first + w;
    KeyedBlockMasked<T>(d, s, static_cast<Mask>(all << first), low, span);
    x = lanes;
  }
  for (; x + lanes <= end; x += lanes) KeyedBlockWhole<T>(d + x * sizeof(T), s + x * sizeof(T), low, span);
  if (x < end) KeyedBlockWhole<T>(d + (end - lanes) * sizeof(T), s + (end - lanes) * sizeof(T), low, span);
}

// Rows of w pixels from column `left`; where the rows' opaque columns are known, each row only
// across them.
template <class T>
__attribute__((target("avx512f,avx512bw"))) void KeyedRectMasked(uint8_t* d, std::ptrdiff_t dp, const uint8_t* s,
                                                                 std::ptrdiff_t sp, LONG left, LONG w, LONG h,
                                                                 const KeySpans::Extent* rows, T low, T span) {
  __m512i lowv, spanv;
  if constexpr (sizeof(T) == 1) {
    lowv = _mm512_set1_epi8(static_cast<char>(low));
    spanv = _mm512_set1_epi8(static_cast<char>(span));
  } else if constexpr (sizeof(T) == 2) {
    lowv = _mm512_set1_epi16(static_cast<short>(low));
    spanv = _mm512_set1_epi16(static_cast<short>(span));
  } else {
    lowv = _mm512_set1_epi32(static_cast<int>(low));
    spanv = _mm512_set1_epi32(static_cast<int>(span));
  }
  // Rows of varying width would each end the loop along the row at another place, which the
  // processor cannot foresee: only long rows pay for leaving out their keyed margins.
  if (!rows || w <= kAlignedRowBlocks * static_cast<LONG>(64 / sizeof(T))) {
    for (LONG row = 0; row < h; ++row, d += dp, s += sp) KeyedRowMasked<T>(d, s, w, lowv, spanv);
    return;
  }
  for (LONG row = 0; row < h; ++row, d += dp, s += sp) {
    const LONG a = std::max(rows[row].First - left, LONG{0});
    const LONG b = std::min(rows[row].End - left, w);
    if (a < b) KeyedRowMasked<T>(d + a * sizeof(T), s + a * sizeof(T), b - a, lowv, spanv);
  }
}

bool g_use_masked = true;

bool HasMaskedStores() {
  static const bool has = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
  }();
  return has;
}

template <class T>
void KeyedCopyMasked(const PixelView& d, LONG x, LONG y, const PixelView& s, const RECT& sr, const KeyRange& key,
                     const KeySpans::Extent* rows) {
  KeyedRectMasked<T>(d.Row(y) + static_cast<std::ptrdiff_t>(x) * sizeof(T), d.Pitch,
                     s.Row(sr.top) + static_cast<std::ptrdiff_t>(sr.left) * sizeof(T), s.Pitch, sr.left,
                     pixels::Width(sr), pixels::Height(sr), rows ? rows + sr.top : nullptr, static_cast<T>(key.Low),
                     static_cast<T>(key.High - key.Low));
}
#endif

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


// Copies of a run, inline up to 256 bytes: a call per run would cost more than the copy there.
// Each size class moves a fixed number of blocks, the second half of them ending at the end of the
// run and overlapping the first, so that neighbouring rows of a sprite take the same branches and
// there is no loop whose count changes from row to row.
using Block32 = BlockOf<uint8_t, 32>;
using Block16 = BlockOf<uint8_t, 16>;
template <class B>
__attribute__((always_inline)) inline B Load(const uint8_t* p) {
  B v;
  std::memcpy(&v, p, sizeof(B));
  return v;
}
template <class B>
__attribute__((always_inline)) inline void Store(uint8_t* p, const B& v) {
  std::memcpy(p, &v, sizeof(B));
}
// n of at least sizeof(B) and at most twice that.
template <class B>
__attribute__((always_inline)) inline void CopyTwo(uint8_t* __restrict d, const uint8_t* __restrict s,
                                                   std::size_t n) {
  const B a = Load<B>(s), b = Load<B>(s + n - sizeof(B));
  Store(d, a);
  Store(d + n - sizeof(B), b);
}
__attribute__((always_inline)) inline void CopyBytes(uint8_t* __restrict d, const uint8_t* __restrict s, std::size_t n) {
  if (n > 64) {
    if (n > 256) {
      // Long runs: the library's copy, which picks the processor's widest stores when it starts
      // (a loop of our own is fixed at 32 bytes and loses on processors with wider ones).
      std::memcpy(d, s, n);
    } else if (n > 128) {
      const Block32 a0 = Load<Block32>(s), a1 = Load<Block32>(s + 32), a2 = Load<Block32>(s + 64),
                    a3 = Load<Block32>(s + 96);
      const Block32 b0 = Load<Block32>(s + n - 128), b1 = Load<Block32>(s + n - 96),
                    b2 = Load<Block32>(s + n - 64), b3 = Load<Block32>(s + n - 32);
      Store(d, a0);
      Store(d + 32, a1);
      Store(d + 64, a2);
      Store(d + 96, a3);
      Store(d + n - 128, b0);
      Store(d + n - 96, b1);
      Store(d + n - 64, b2);
      Store(d + n - 32, b3);
    } else {
      const Block32 a0 = Load<Block32>(s), a1 = Load<Block32>(s + 32);
      const Block32 b0 = Load<Block32>(s + n - 64), b1 = Load<Block32>(s + n - 32);
      Store(d, a0);
      Store(d + 32, a1);
      Store(d + n - 64, b0);
      Store(d + n - 32, b1);
    }
  } else if (n >= 32) {
    CopyTwo<Block32>(d, s, n);
  } else if (n >= 16) {
    CopyTwo<Block16>(d, s, n);
  } else if (n >= 8) {
    CopyTwo<std::uint64_t>(d, s, n);
  } else if (n >= 4) {
    CopyTwo<std::uint32_t>(d, s, n);
  } else {
    for (std::size_t i = 0; i < n; ++i) d[i] = s[i];
  }
}

// The average run length, in bytes, from which runs are copied one by one rather than every pixel
// tested. Shorter runs lose: their lengths change from row to row and so do the branches of the
// copy, while the vector test does the same work on every row of the rectangle.
constexpr std::size_t kWorthwhileRunBytes = 256;

// The runs of the rows of sr, their pixels taken from the packed copy.
DDRAW_WIDEST void CopyRuns(const PixelView& dest, LONG x, LONG y, const RECT& sr, const KeySpans& spans) {
  const std::size_t bytes = dest.BitCount / 8;
  const std::uint32_t* rowStart = spans.RowStart.data();
  const KeySpans::Run* runs = spans.Runs.data();
  const uint8_t* packed = spans.Packed.data();
  const LONG left = sr.left, right = sr.right;
  if (left == 0 && right == spans.Width) {
    for (LONG row = 0; row < pixels::Height(sr); ++row) {
      const std::size_t sy = static_cast<std::size_t>(sr.top + row);
      uint8_t* drow = dest.Row(y + row) + static_cast<std::size_t>(x) * bytes;
      for (std::uint32_t i = rowStart[sy], end = rowStart[sy + 1]; i < end; ++i) {
        const KeySpans::Run& r = runs[i];
        CopyBytes(drow + static_cast<std::size_t>(r.First) * bytes, packed + r.Offset,
                  static_cast<std::size_t>(r.End - r.First) * bytes);
      }
    }
    return;
  }
  for (LONG row = 0; row < pixels::Height(sr); ++row) {
    const std::size_t sy = static_cast<std::size_t>(sr.top + row);
    uint8_t* drow = dest.Row(y + row) + static_cast<std::size_t>(x) * bytes;
    for (std::uint32_t i = rowStart[sy], end = rowStart[sy + 1]; i < end; ++i) {
      const KeySpans::Run& r = runs[i];
      const LONG a = std::max(r.First, left), b = std::min(r.End, right);
      if (a >= b) continue;
      CopyBytes(drow + static_cast<std::size_t>(a - left) * bytes,
                packed + r.Offset + static_cast<std::size_t>(a - r.First) * bytes,
                static_cast<std::size_t>(b - a) * bytes);
    }
  }
}

}  // namespace

bool UseMaskedStores(bool use) {
#ifdef DDRAW_MASKED_STORES
  const bool was = g_use_masked;
  g_use_masked = use;
  return was;
#else
  (void)use;
  return false;
#endif
}

void BuildSpans(const PixelView& s, std::uint64_t version, const KeyRange& key, KeySpans& spans) {
  spans.Bits = s.Bits;
  spans.Version = version;
  spans.Key = key;
  spans.Width = s.Width;
  spans.Height = s.Height;
  spans.BitCount = s.BitCount;
  spans.RowStart.assign(static_cast<std::size_t>(s.Height) + 1, 0);
  spans.Rows.clear();
  spans.Runs.clear();
  spans.Packed.clear();
  spans.Worthwhile = false;
  if (!FastFormat(s)) return;
  const std::size_t bytes = s.BitCount / 8;
  std::size_t opaque = 0;
  for (LONG y = 0; y < s.Height; ++y) {
    spans.RowStart[static_cast<std::size_t>(y)] = static_cast<std::uint32_t>(spans.Runs.size());
    LONG x = 0;
    while (x < s.Width) {
      while (x < s.Width && key.Contains(pixels::GetPixel(s, x, y))) ++x;
      if (x == s.Width) break;
      const LONG start = x;
      while (x < s.Width && !key.Contains(pixels::GetPixel(s, x, y))) ++x;
      spans.Runs.push_back(KeySpans::Run{start, x, static_cast<std::uint32_t>(opaque * bytes)});
      opaque += static_cast<std::size_t>(x - start);
    }
  }
  spans.RowStart.back() = static_cast<std::uint32_t>(spans.Runs.size());
  spans.Rows.resize(static_cast<std::size_t>(s.Height));
  for (std::size_t y = 0; y < spans.Rows.size(); ++y) {
    const std::uint32_t first = spans.RowStart[y], end = spans.RowStart[y + 1];
    spans.Rows[y] = first == end ? KeySpans::Extent{0, 0} : KeySpans::Extent{spans.Runs[first].First, spans.Runs[end - 1].End};
  }
  const std::size_t runs = spans.Runs.size();
  // Runs of a few pixels cost more one by one than the vector test of every pixel; and the
  // offsets into the packed pixels must fit.
  if (opaque * bytes > UINT32_MAX || (runs != 0 && opaque * bytes / runs < kWorthwhileRunBytes)) {
    spans.Runs.clear();
    std::fill(spans.RowStart.begin(), spans.RowStart.end(), 0u);
    return;
  }
  spans.Packed.resize(opaque * bytes);
  for (LONG y = 0; y < s.Height; ++y) {
    const uint8_t* row = s.Row(y);
    for (std::uint32_t i = spans.RowStart[static_cast<std::size_t>(y)]; i < spans.RowStart[static_cast<std::size_t>(y) + 1]; ++i) {
      const KeySpans::Run& r = spans.Runs[i];
      std::memcpy(spans.Packed.data() + r.Offset, row + static_cast<std::size_t>(r.First) * bytes,
                  static_cast<std::size_t>(r.End - r.First) * bytes);
    }
  }
  spans.Worthwhile = true;
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
  const bool described = spans && spans->Bits == source.Bits && spans->Key.Low == key->Low &&
                         spans->Key.High == key->High && spans->Width == source.Width &&
                         spans->Height == source.Height && spans->BitCount == source.BitCount &&
                         !SameMemory(dest, source);
#ifdef DDRAW_MASKED_STORES
  if (dest.BitCount != 24 && g_use_masked && HasMaskedStores()) {
    const KeySpans::Extent* rows =
        described && spans->Rows.size() == static_cast<std::size_t>(source.Height) ? spans->Rows.data() : nullptr;
    switch (dest.BitCount) {
      case 8:
        return KeyedCopyMasked<uint8_t>(dest, x, y, source, sr, k, rows);
      case 16:
        return KeyedCopyMasked<uint16_t>(dest, x, y, source, sr, k, rows);
      case 32:
        return KeyedCopyMasked<uint32_t>(dest, x, y, source, sr, k, rows);
    }
  }
#endif
  if (described && spans->Worthwhile) return CopyRuns(dest, x, y, sr, *spans);
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
