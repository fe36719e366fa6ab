// The blitters: pixel conversion between the supported formats, stretching by nearest pixel,
// raster operations, and RLE data drawn straight from its compressed bytes.
//
// Each row goes through two steps chosen once per call, never per pixel: a converter that turns
// the needed source pixels into destination pixel values (indexed sources through a 256-entry
// table, true-colour sources by a conversion instantiated for the pair of formats), and a store
// that writes them (plain for SRCCOPY, through the ternary operation otherwise).
#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <utility>
#include <vector>

#include "platform/gdi/GdiInternal.h"
#include "platform/pixels/PixelsRle.h"

namespace gdi {
namespace detail {

namespace {

using u8 = std::uint8_t;
using u32 = std::uint32_t;

using pixels::ColorMasks;

ColorMasks MasksOf(const Surface& s) { return ColorMasks(s.Masks[0], s.Masks[1], s.Masks[2]); }

bool IsIndexed(PixKind k) { return k == PixKind::K1 || k == PixKind::K4 || k == PixKind::K8; }

// The depth of the pixels of each kind.
template <PixKind K>
constexpr int BitsOf() {
  if constexpr (K == PixKind::K1) return 1;
  else if constexpr (K == PixKind::K4) return 4;
  else if constexpr (K == PixKind::K8) return 8;
  else if constexpr (K == PixKind::K565 || K == PixKind::K555 || K == PixKind::K16M) return 16;
  else if constexpr (K == PixKind::K24) return 24;
  else return 32;
}

template <PixKind K>
inline u32 Load(const u8* row, int x) {
  return pixels::Pixel<BitsOf<K>()>::Load(row, x);
}

template <PixKind K>
inline void Store(u8* row, int x, u32 v) {
  pixels::Pixel<BitsOf<K>()>::Store(row, x, v);
}

// Nearest colour of a table, remembered for the colours already asked about.
class Nearest {
 public:
  Nearest(const RGBQUAD* colors, int count) : colors_(colors), count_(count) {
    std::fill(std::begin(keys_), std::end(keys_), 0xFFFFFFFFu);
  }
  u32 Get(u32 rgb) {
    const u32 h = (rgb * 2654435761u) >> 22;
    if (keys_[h] == rgb) return vals_[h];
    const u32 v = static_cast<u32>(NearestIndex(colors_, count_, rgb));
    keys_[h] = rgb;
    vals_[h] = static_cast<u8>(v);
    return v;
  }

 private:
  const RGBQUAD* colors_;
  int count_;
  u32 keys_[1024];
  u8 vals_[1024];
};

int TableSize(const Surface& s) {
  const int full = 1 << std::min(s.BitCount, 8);
  return s.ColorCount > 0 ? std::min(s.ColorCount, full) : full;
}

struct Ctx {
  const Surface* Src = nullptr;
  const Surface* Dst = nullptr;
  ColorMasks SourceMasks, DestMasks;
  Nearest* NearestColors = nullptr;
  u32 Lut[256];
};

template <PixKind K>
inline u32 ToRgb(u32 v, const Ctx& c) {
  if constexpr (K == PixKind::K565)
    return pixels::Rgb565ToRgb(v);
  else if constexpr (K == PixKind::K555)
    return pixels::Rgb555ToRgb(v);
  else if constexpr (K == PixKind::K24 || K == PixKind::K888)
    return v & 0xFFFFFF;
  else
    return c.SourceMasks.ToRgb(v);
}

template <PixKind K>
inline u32 FromRgb(u32 rgb, Ctx& c) {
  if constexpr (K == PixKind::K565)
    return pixels::RgbToRgb565(rgb);
  else if constexpr (K == PixKind::K555)
    return pixels::RgbToRgb555(rgb);
  else if constexpr (K == PixKind::K24 || K == PixKind::K888)
    return rgb;
  else if constexpr (K == PixKind::K1 || K == PixKind::K4 || K == PixKind::K8)
    return c.NearestColors->Get(rgb);
  else
    return c.DestMasks.FromRgb(rgb);
}

using ConvFn = void (*)(const u8* srow, const int* xs, int n, u32* out, Ctx& c);
using StoreFn = void (*)(u8* drow, int dx, int n, const u32* vals);
using StoreRopFn = void (*)(u8* drow, int dx, int n, const u32* vals, u32 rop3, u32 pat, u32 mask);

template <PixKind S>
void ConvIndexed(const u8* srow, const int* xs, int n, u32* out, Ctx& c) {
  for (int i = 0; i < n; ++i) out[i] = c.Lut[Load<S>(srow, xs[i])];
}

template <PixKind S>
void ConvRaw(const u8* srow, const int* xs, int n, u32* out, Ctx&) {
  for (int i = 0; i < n; ++i) out[i] = Load<S>(srow, xs[i]);
}

template <PixKind S, PixKind D>
void ConvTrue(const u8* srow, const int* xs, int n, u32* out, Ctx& c) {
  for (int i = 0; i < n; ++i) out[i] = FromRgb<D>(ToRgb<S>(Load<S>(srow, xs[i]), c), c);
}

// Unstretched SRCCOPY rows: conversion and store in one pass over consecutive pixels.
using FusedFn = void (*)(const u8* srow, int sx, u8* drow, int dx, int n, Ctx& c);

template <PixKind S, PixKind D>
void FusedTrue(const u8* srow, int sx, u8* drow, int dx, int n, Ctx& c) {
  for (int i = 0; i < n; ++i) Store<D>(drow, dx + i, FromRgb<D>(ToRgb<S>(Load<S>(srow, sx + i), c), c));
}

template <PixKind S, PixKind D>
void FusedIndexed(const u8* srow, int sx, u8* drow, int dx, int n, Ctx& c) {
  for (int i = 0; i < n; ++i) Store<D>(drow, dx + i, c.Lut[Load<S>(srow, sx + i)]);
}

template <PixKind D>
void StoreCopy(u8* drow, int dx, int n, const u32* vals) {
  if constexpr (D == PixKind::K888 || D == PixKind::K32M) {
    std::memcpy(drow + 4 * static_cast<std::ptrdiff_t>(dx), vals, 4 * static_cast<std::size_t>(n));
  } else {
    for (int i = 0; i < n; ++i) Store<D>(drow, dx + i, vals[i]);
  }
}

inline u32 ApplyRop(u32 rop3, u32 p, u32 s, u32 d) {
  switch (rop3) {
    case 0xCC: return s;
    case 0xEE: return s | d;
    case 0x88: return s & d;
    case 0x66: return s ^ d;
    case 0x33: return ~s;
    case 0x55: return ~d;
    case 0xF0: return p;
    case 0x00: return 0;
    case 0xFF: return 0xFFFFFFFFu;
    default: break;
  }
  u32 r = 0;
  for (int i = 0; i < 8; ++i)
    if ((rop3 >> i) & 1) r |= ((i & 4) ? p : ~p) & ((i & 2) ? s : ~s) & ((i & 1) ? d : ~d);
  return r;
}

template <PixKind D>
void StoreRop(u8* drow, int dx, int n, const u32* vals, u32 rop3, u32 pat, u32 mask) {
  for (int i = 0; i < n; ++i) {
    const u32 d = Load<D>(drow, dx + i);
    Store<D>(drow, dx + i, ApplyRop(rop3, pat, vals[i], d) & mask);
  }
}

constexpr int kKinds = static_cast<int>(PixKind::Count);

template <int... I>
constexpr auto MakeStoreTable(std::integer_sequence<int, I...>) {
  return std::array<StoreFn, sizeof...(I)>{&StoreCopy<static_cast<PixKind>(I)>...};
}
template <int... I>
constexpr auto MakeStoreRopTable(std::integer_sequence<int, I...>) {
  return std::array<StoreRopFn, sizeof...(I)>{&StoreRop<static_cast<PixKind>(I)>...};
}
template <int S, int... D>
constexpr auto MakeConvRow(std::integer_sequence<int, D...>) {
  return std::array<ConvFn, sizeof...(D)>{&ConvTrue<static_cast<PixKind>(S), static_cast<PixKind>(D)>...};
}
template <int... S>
constexpr auto MakeConvTable(std::integer_sequence<int, S...>) {
  return std::array<std::array<ConvFn, kKinds>, sizeof...(S)>{
      MakeConvRow<S>(std::make_integer_sequence<int, kKinds>{})...};
}
template <int... I>
constexpr auto MakeIndexedTable(std::integer_sequence<int, I...>) {
  return std::array<ConvFn, sizeof...(I)>{&ConvIndexed<static_cast<PixKind>(I)>...};
}
template <int... I>
constexpr auto MakeRawTable(std::integer_sequence<int, I...>) {
  return std::array<ConvFn, sizeof...(I)>{&ConvRaw<static_cast<PixKind>(I)>...};
}

template <template <PixKind, PixKind> class F, int S, int... D>
constexpr auto MakeFusedRow(std::integer_sequence<int, D...>) {
  return std::array<FusedFn, sizeof...(D)>{F<static_cast<PixKind>(S), static_cast<PixKind>(D)>::Fn...};
}
template <PixKind S, PixKind D>
struct TrueF {
  static constexpr FusedFn Fn = &FusedTrue<S, D>;
};
template <PixKind S, PixKind D>
struct IndexedF {
  static constexpr FusedFn Fn = &FusedIndexed<S, D>;
};
template <template <PixKind, PixKind> class F, int... S>
constexpr auto MakeFusedTable(std::integer_sequence<int, S...>) {
  return std::array<std::array<FusedFn, kKinds>, sizeof...(S)>{
      MakeFusedRow<F, S>(std::make_integer_sequence<int, kKinds>{})...};
}

const auto kStore = MakeStoreTable(std::make_integer_sequence<int, kKinds>{});
const auto kStoreRop = MakeStoreRopTable(std::make_integer_sequence<int, kKinds>{});
const auto kConv = MakeConvTable(std::make_integer_sequence<int, kKinds>{});
const auto kIndexed = MakeIndexedTable(std::make_integer_sequence<int, 3>{});
const auto kRaw = MakeRawTable(std::make_integer_sequence<int, kKinds>{});
const auto kFusedTrue = MakeFusedTable<TrueF>(std::make_integer_sequence<int, kKinds>{});
const auto kFusedIndexed = MakeFusedTable<IndexedF>(std::make_integer_sequence<int, 3>{});

bool SameTables(const Surface& a, const Surface& b) {
  const int n = TableSize(a);
  return n == TableSize(b) && std::memcmp(a.Colors, b.Colors, sizeof(RGBQUAD) * n) == 0;
}

bool SameFormat(const Surface& a, const Surface& b) {
  if (a.BitCount != b.BitCount) return false;
  if (IsIndexed(a.PixelKind)) return SameTables(a, b);
  if (a.BitCount == 16 || a.BitCount == 32) return std::memcmp(a.Masks, b.Masks, sizeof a.Masks) == 0;
  return true;
}

// Source index `i` of `w` destination pixels spread over `ws` source pixels: the source pixel
// under the centre of the destination pixel.
inline long long MapIndex(long long i, long long wd, long long ws, bool flip) {
  const long long t = ((2 * i + 1) * ws) / (2 * wd);
  return flip ? ws - 1 - t : t;
}

struct Geometry {
  int Dx0 = 0;           // first destination column drawn
  std::vector<int> Xs;   // source column of each destination column from dx0 on
  std::vector<int> Dys;  // destination rows drawn
  std::vector<int> Sys;  // their source rows (top-based)
};

// Clips a request to both surfaces. `srcW`/`srcH` are the source's size (0 for pattern-only).
bool Layout(const BlitRequest& r, int srcW, int srcH, bool hasSrc, Geometry& g) {
  const Surface& d = *r.Dst;
  long long xD = r.XDest, yD = r.YDest, wD = r.WDest, hD = r.HDest;
  long long xS = r.XSrc, yS = r.YSrc, wS = r.WSrc, hS = r.HSrc;
  bool fx = false, fy = false;
  if (wD < 0) { xD += wD; wD = -wD; fx = !fx; }
  if (hD < 0) { yD += hD; hD = -hD; fy = !fy; }
  if (!hasSrc) { wS = wD; hS = hD; xS = 0; yS = 0; }
  if (wS < 0) { xS += wS; wS = -wS; fx = !fx; }
  if (hS < 0) { yS += hS; hS = -hS; fy = !fy; }
  if (wD == 0 || hD == 0 || wS == 0 || hS == 0) return false;
  const long long i0 = std::max<long long>(0, -xD), i1 = std::min<long long>(wD, d.Width - xD);
  for (long long i = i0; i < i1; ++i) {
    const long long sx = hasSrc ? xS + MapIndex(i, wD, wS, fx) : 0;
    if (hasSrc && (sx < 0 || sx >= srcW)) continue;
    if (g.Xs.empty()) g.Dx0 = static_cast<int>(xD + i);
    g.Xs.push_back(static_cast<int>(sx));
  }
  const long long j0 = std::max<long long>(0, -yD), j1 = std::min<long long>(hD, d.Height - yD);
  for (long long j = j0; j < j1; ++j) {
    const long long sy = hasSrc ? yS + MapIndex(j, hD, hS, fy) : 0;
    if (hasSrc && (sy < 0 || sy >= srcH)) continue;
    g.Dys.push_back(static_cast<int>(yD + j));
    g.Sys.push_back(static_cast<int>(sy));
  }
  return !g.Xs.empty() && !g.Dys.empty();
}

struct Writer {
  const Surface* Dst;
  u32 Rop3;
  u32 Pat = 0;
  u32 Mask;
  StoreFn StoreRun;
  StoreRopFn StoreRunRop;
  void Put(int y, int dx, int n, const u32* vals) const {
    u8* row = Dst->Row(y);
    if (Rop3 == 0xCC) StoreRun(row, dx, n, vals);
    else StoreRunRop(row, dx, n, vals, Rop3, Pat, Mask);
  }
};

Writer MakeWriter(const BlitRequest& r, Ctx& c) {
  Writer w;
  w.Dst = r.Dst;
  w.Rop3 = (r.Rop >> 16) & 0xFF;
  w.Mask = pixels::ValueMask(static_cast<u32>(r.Dst->BitCount));
  w.StoreRun = kStore[static_cast<int>(r.Dst->PixelKind)];
  w.StoreRunRop = kStoreRop[static_cast<int>(r.Dst->PixelKind)];
  if (r.HasBrush) w.Pat = EncodeColor(*r.Dst, RgbFromColorRef(r.BrushColor));
  (void)c;
  return w;
}

// Builds the converter for src -> dst.
ConvFn PrepareConverter(const Surface& src, const Surface& dst, Ctx& c) {
  c.Src = &src;
  c.Dst = &dst;
  c.SourceMasks = MasksOf(src);
  c.DestMasks = MasksOf(dst);
  const int sk = static_cast<int>(src.PixelKind), dk = static_cast<int>(dst.PixelKind);
  if (IsIndexed(src.PixelKind)) {
    const int n = 1 << src.BitCount;
    const bool identity = IsIndexed(dst.PixelKind) && src.BitCount <= dst.BitCount && SameTables(src, dst);
    for (int i = 0; i < n; ++i) c.Lut[i] = identity ? static_cast<u32>(i) : EncodeColor(dst, RgbOf(src.Colors[i]));
    return kIndexed[sk];
  }
  if (SameFormat(src, dst)) return kRaw[sk];
  return kConv[sk][dk];
}

bool BlitImpl(const BlitRequest& r, bool reference) {
  if (!r.Dst || !r.Dst->Bits) return true;
  const Surface& d = *r.Dst;
  Geometry g;
  if (!Layout(r, r.Src ? r.Src->Width : 0, r.Src ? r.Src->Height : 0, r.Src != nullptr, g)) return true;
  const u32 rop3 = (r.Rop >> 16) & 0xFF;
  const bool usesSrc = ((rop3 >> 2) & 0x33) != (rop3 & 0x33);
  const int n = static_cast<int>(g.Xs.size());

  // A blit within one bitmap reads from a copy of the source, so overlapping rectangles work.
  Surface srcCopy;
  std::vector<u8> copyBits;
  const Surface* src = r.Src;
  if (src && usesSrc && src->Bits == d.Bits) {
    copyBits.assign(src->Bits, src->Bits + static_cast<std::size_t>(src->Pitch) * src->Height);
    srcCopy = *src;
    srcCopy.Bits = copyBits.data();
    src = &srcCopy;
  }

  Nearest nearest(d.Colors, TableSize(d));
  Ctx c;
  c.NearestColors = &nearest;
  Writer w = MakeWriter(r, c);

  if (reference) {
    for (std::size_t j = 0; j < g.Dys.size(); ++j) {
      for (int i = 0; i < n; ++i) {
        u32 s = 0;
        if (src && usesSrc) {
          const u32 v = ReadPixelValue(*src, g.Xs[i], g.Sys[j]);
          if (IsIndexed(src->PixelKind) && IsIndexed(d.PixelKind) && src->BitCount <= d.BitCount && SameTables(*src, d)) s = v;
          else if (!IsIndexed(src->PixelKind) && SameFormat(*src, d)) s = v;
          else s = EncodeColor(d, DecodeValue(*src, v));
        }
        const int x = g.Dx0 + i, y = g.Dys[j];
        const u32 out = ApplyRop(rop3, w.Pat, s, ReadPixelValue(d, x, y)) & w.Mask;
        WritePixelValue(d, x, y, out);
      }
    }
    return true;
  }

  std::vector<u32> vals(static_cast<std::size_t>(n), 0);
  if (!src || !usesSrc) {
    for (int dy : g.Dys) w.Put(dy, g.Dx0, n, vals.data());
    return true;
  }
  const ConvFn conv = PrepareConverter(*src, d, c);
  // Straight copies: whole rows of bytes.
  const bool contiguous = g.Xs.back() - g.Xs.front() == n - 1 && (n == 1 || g.Xs[1] > g.Xs[0]);
  if (rop3 == 0xCC && contiguous && d.BitCount >= 8 && conv == kRaw[static_cast<int>(src->PixelKind)]) {
    const std::size_t bytes = static_cast<std::size_t>(n) * (d.BitCount / 8);
    for (std::size_t j = 0; j < g.Dys.size(); ++j)
      std::memcpy(d.Row(g.Dys[j]) + static_cast<std::ptrdiff_t>(g.Dx0) * (d.BitCount / 8),
                  src->Row(g.Sys[j]) + static_cast<std::ptrdiff_t>(g.Xs[0]) * (d.BitCount / 8), bytes);
    return true;
  }
  if (rop3 == 0xCC && contiguous) {
    const int sk = static_cast<int>(src->PixelKind), dk = static_cast<int>(d.PixelKind);
    const FusedFn fused = IsIndexed(src->PixelKind) ? kFusedIndexed[sk][dk] : kFusedTrue[sk][dk];
    for (std::size_t j = 0; j < g.Dys.size(); ++j) fused(src->Row(g.Sys[j]), g.Xs[0], d.Row(g.Dys[j]), g.Dx0, n, c);
    return true;
  }
  int lastSy = -1;
  for (std::size_t j = 0; j < g.Dys.size(); ++j) {
    if (g.Sys[j] != lastSy) {
      conv(src->Row(g.Sys[j]), g.Xs.data(), n, vals.data(), c);
      lastSy = g.Sys[j];
    }
    w.Put(g.Dys[j], g.Dx0, n, vals.data());
  }
  return true;
}

}  // namespace

int NearestIndex(const RGBQUAD* colors, int count, std::uint32_t rgb) {
  const int r = (rgb >> 16) & 0xFF, gg = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
  int best = 0;
  long best_d = std::numeric_limits<long>::max();
  for (int i = 0; i < count; ++i) {
    const int dr = colors[i].rgbRed - r, dg = colors[i].rgbGreen - gg, db = colors[i].rgbBlue - b;
    const long dist = long(dr) * dr + long(dg) * dg + long(db) * db;
    if (dist < best_d) {
      best_d = dist;
      best = i;
      if (dist == 0) break;
    }
  }
  return best;
}

std::uint32_t ReadPixelValue(const Surface& s, int x, int y) {
  return pixels::LoadPixel(s.Row(y), x, static_cast<u32>(s.BitCount));
}

void WritePixelValue(const Surface& s, int x, int y, std::uint32_t v) {
  pixels::StorePixel(s.Row(y), x, static_cast<u32>(s.BitCount), v);
}

std::uint32_t DecodeValue(const Surface& s, std::uint32_t v) {
  if (s.BitCount <= 8) return RgbOf(s.Colors[v & 0xFF]);
  Ctx c;
  c.SourceMasks = MasksOf(s);
  switch (s.PixelKind) {
    case PixKind::K565: return ToRgb<PixKind::K565>(v, c);
    case PixKind::K555: return ToRgb<PixKind::K555>(v, c);
    case PixKind::K24:
    case PixKind::K888: return v & 0xFFFFFF;
    default: return c.SourceMasks.ToRgb(v);
  }
}

std::uint32_t EncodeColor(const Surface& s, std::uint32_t rgb) {
  if (s.BitCount <= 8) return static_cast<u32>(NearestIndex(s.Colors, TableSize(s), rgb));
  Ctx c;
  c.DestMasks = MasksOf(s);
  switch (s.PixelKind) {
    case PixKind::K565: return FromRgb<PixKind::K565>(rgb, c);
    case PixKind::K555: return FromRgb<PixKind::K555>(rgb, c);
    case PixKind::K24:
    case PixKind::K888: return rgb;
    default: return c.DestMasks.FromRgb(rgb);
  }
}

bool Blit(const BlitRequest& r) { return BlitImpl(r, false); }
bool BlitReference(const BlitRequest& r) { return BlitImpl(r, true); }

bool BlitRle(const BlitRequest& r, const std::uint8_t* data, std::size_t size, int bpp) {
  if (!r.Dst || !r.Dst->Bits || !r.Src) return true;
  const Surface& src = *r.Src;
  const Surface& d = *r.Dst;
  const int W = src.Width, Hh = src.Height;
  Geometry g;
  if (!Layout(r, W, Hh, true, g)) return true;
  const int n = static_cast<int>(g.Xs.size());

  Nearest nearest(d.Colors, TableSize(d));
  Ctx c;
  c.NearestColors = &nearest;
  Writer w = MakeWriter(r, c);
  PrepareConverter(src, d, c);

  // Destination rows by the RLE row (bottom up) they show.
  std::vector<std::pair<int, int>> rows;
  rows.reserve(g.Dys.size());
  for (std::size_t j = 0; j < g.Dys.size(); ++j) rows.emplace_back(Hh - 1 - g.Sys[j], g.Dys[j]);
  std::stable_sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  std::size_t next = 0;

  // Only the source columns that are shown are kept, one per destination column: a run finds
  // its columns by binary search, so wide bitmaps cost nothing beyond what is drawn.
  std::vector<int> order(static_cast<std::size_t>(n)), cols(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) order[static_cast<std::size_t>(i)] = i;
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return g.Xs[a] < g.Xs[b]; });
  for (int k = 0; k < n; ++k) cols[static_cast<std::size_t>(k)] = g.Xs[order[static_cast<std::size_t>(k)]];
  std::vector<u8> idx(static_cast<std::size_t>(n), 0), set(static_cast<std::size_t>(n), 0);
  std::vector<u32> vals(static_cast<std::size_t>(n));
  bool touched = false;

  auto flush = [&](int row) {
    if (!touched) return;
    while (next < rows.size() && rows[next].first < row) ++next;
    for (std::size_t k = next; k < rows.size() && rows[k].first == row; ++k) {
      int i = 0;
      while (i < n) {
        while (i < n && !set[static_cast<std::size_t>(i)]) ++i;
        const int start = i;
        while (i < n && set[static_cast<std::size_t>(i)]) {
          vals[static_cast<std::size_t>(i)] = c.Lut[idx[static_cast<std::size_t>(i)]];
          ++i;
        }
        if (i > start) w.Put(rows[k].second, g.Dx0 + start, i - start, vals.data() + start);
      }
    }
    std::fill(set.begin(), set.end(), 0);
    touched = false;
  };
  // Unstretched and unmirrored, destination column i shows source column cols[0] + i.
  const bool straight = cols.back() - cols.front() == n - 1 && order.front() == 0;
  // Source columns [x0, x0 + count) take pixel(column - x0).
  auto span = [&](int x0, int count, auto pixel) {
    const int x1 = static_cast<int>(std::min<long long>(static_cast<long long>(x0) + count, W));
    if (straight) {
      const int i0 = std::max(x0, cols.front()) - cols.front(), i1 = std::min(x1, cols.front() + n) - cols.front();
      for (int i = i0; i < i1; ++i) idx[static_cast<std::size_t>(i)] = pixel(i + cols.front() - x0);
      if (i1 > i0) {
        std::memset(set.data() + i0, 1, static_cast<std::size_t>(i1 - i0));
        touched = true;
      }
      return;
    }
    auto lo = std::lower_bound(cols.begin(), cols.end(), x0);
    auto hi = std::lower_bound(lo, cols.end(), x1);
    for (auto it = lo; it != hi; ++it) {
      const auto k = static_cast<std::size_t>(it - cols.begin());
      const auto i = static_cast<std::size_t>(order[k]);
      idx[i] = pixel(*it - x0);
      set[i] = 1;
      touched = true;
    }
  };

  const int lastRow = rows.back().first;
  int x = 0, y = 0;
  pixels::RleReader reader(data, size, bpp);
  pixels::RleCommand cmd;
  const auto pixel = [&](int k) { return cmd.PixelAt(k, bpp); };
  while (y < Hh && y <= lastRow && reader.Next(cmd)) {
    switch (cmd.Op) {
      case pixels::RleOp::Run:
      case pixels::RleOp::Literal:
        span(x, cmd.Op == pixels::RleOp::Run ? cmd.Count : cmd.Available, pixel);
        x = std::min(W, x + cmd.Count);
        break;
      case pixels::RleOp::EndOfLine:
        flush(y);
        ++y;
        x = 0;
        break;
      case pixels::RleOp::Delta:
        if (cmd.Up > 0) {
          flush(y);
          y += cmd.Up;
        }
        x = std::min(W, x + cmd.Right);
        break;
    }
  }
  if (y < Hh) flush(y);
  return true;
}

}  // namespace detail

// ---- The calls -------------------------------------------------------------------------------

namespace {

using namespace detail;

// A blit into the DC's target from `src`, with the DC's brush as the pattern (none when the
// selected brush is the null brush).
BlitRequest RequestInto(DCObj* d, const Surface* src, int xDest, int yDest, int wDest, int hDest, int xSrc,
                        int ySrc, int wSrc, int hSrc, DWORD rop) {
  BlitRequest r;
  r.Dst = d->Target();
  r.Src = src;
  r.XDest = xDest;
  r.YDest = yDest;
  r.WDest = wDest;
  r.HDest = hDest;
  r.XSrc = xSrc;
  r.YSrc = ySrc;
  r.WSrc = wSrc;
  r.HSrc = hSrc;
  r.Rop = rop;
  if (d->SelectedBrush && !d->SelectedBrush->Null) {
    r.BrushColor = d->SelectedBrush->Color;
    r.HasBrush = true;
  }
  return r;
}

BOOL DoStretch(HDC dest, int xDest, int yDest, int wDest, int hDest, HDC srcDC, int xSrc, int ySrc,
               int wSrc, int hSrc, DWORD rop) {
  DCObj* d = AsDC(dest);
  if (!d) return win::FALSE;
  const u32 rop3 = (rop >> 16) & 0xFF;
  const bool usesSrc = ((rop3 >> 2) & 0x33) != (rop3 & 0x33);
  DCObj* s = nullptr;
  if (usesSrc) {
    s = AsDC(srcDC);
    if (!s) return win::FALSE;
  }
  if (!d->Target()) return win::TRUE;  // the screen: nothing to keep
  BlitRequest r = RequestInto(d, s ? s->Target() : nullptr, xDest, yDest, wDest, hDest, xSrc, ySrc,
                              wSrc, hSrc, rop);
  if (usesSrc && !r.Src) return win::TRUE;
  return Blit(r) ? win::TRUE : win::FALSE;
}

// A source surface over DIB bits described by a header; false for a header it cannot draw.
bool DescribeDib(const BITMAPINFO* bmi, const void* bits, UINT usage, DCObj* dc, Surface& s,
                 DWORD& compression) {
  if (!bmi || !bits) return false;
  const BITMAPINFOHEADER& h = bmi->bmiHeader;
  if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biWidth <= 0 || h.biHeight == 0 ||
      h.biHeight == std::numeric_limits<LONG>::min())
    return false;
  compression = h.biCompression;
  const int bc = h.biBitCount;
  switch (compression) {
    case win::BI_RGB:
      if (bc != 1 && bc != 4 && bc != 8 && bc != 16 && bc != 24 && bc != 32) return false;
      break;
    case win::BI_BITFIELDS:
      if (bc != 16 && bc != 32) return false;
      break;
    case win::BI_RLE8:
      if (bc != 8 || h.biHeight < 0) return false;
      break;
    case win::BI_RLE4:
      if (bc != 4 || h.biHeight < 0) return false;
      break;
    default: return false;
  }
  s.Width = h.biWidth;
  s.Height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
  s.BitCount = bc;
  s.TopDown = h.biHeight < 0;
  s.Pitch = static_cast<std::intptr_t>(pixels::DibRowBytes(s.Width, bc));
  s.Bits = static_cast<std::uint8_t*>(const_cast<void*>(bits));
  const auto* after = reinterpret_cast<const std::uint8_t*>(bmi) + h.biSize;
  if (compression == win::BI_BITFIELDS) {
    std::memcpy(s.Masks, after, 12);
    after += 12;
  }
  if (!s.Classify()) return false;
  if (bc <= 8) {
    const UINT max = 1u << bc;
    const UINT n = h.biClrUsed == 0 ? max : std::min<UINT>(h.biClrUsed, max);
    if (usage == DIB_PAL_COLORS) {
      const Palette* pal = dc && dc->SelectedPalette ? dc->SelectedPalette : DefaultPalette();
      const auto* ix = reinterpret_cast<const WORD*>(after);
      for (UINT i = 0; i < n; ++i) {
        const PALETTEENTRY& e = pal->Entries[ix[i] % pal->Entries.size()];
        s.Colors[i] = RGBQUAD{e.peBlue, e.peGreen, e.peRed, 0};
      }
    } else {
      std::memcpy(s.Colors, after, n * sizeof(RGBQUAD));
    }
    s.ColorCount = static_cast<int>(max);
  }
  return true;
}

}  // namespace

BOOL BitBlt(HDC dest, int x, int y, int cx, int cy, HDC src, int x1, int y1, DWORD rop) {
  return DoStretch(dest, x, y, cx, cy, src, x1, y1, cx, cy, rop);
}

BOOL StretchBlt(HDC dest, int xDest, int yDest, int wDest, int hDest, HDC src, int xSrc, int ySrc,
                int wSrc, int hSrc, DWORD rop) {
  return DoStretch(dest, xDest, yDest, wDest, hDest, src, xSrc, ySrc, wSrc, hSrc, rop);
}

BOOL PatBlt(HDC hdc, int x, int y, int w, int h, DWORD rop) {
  const u32 rop3 = (rop >> 16) & 0xFF;
  if (((rop3 >> 2) & 0x33) != (rop3 & 0x33)) return win::FALSE;  // needs a source
  return DoStretch(hdc, x, y, w, h, nullptr, 0, 0, w, h, rop);
}

int StretchDIBits(HDC hdc, int xDest, int yDest, int wDest, int hDest, int xSrc, int ySrc, int wSrc,
                  int hSrc, const void* bits, const BITMAPINFO* bmi, UINT usage, DWORD rop) {
  DCObj* d = AsDC(hdc);
  if (!d) return 0;
  Surface s;
  DWORD compression = 0;
  if (!DescribeDib(bmi, bits, usage, d, s, compression)) return 0;
  const int lines = hSrc < 0 ? -hSrc : hSrc;
  if (!d->Target()) return lines;
  // DIB source rectangles count from the bottom row (from the top for top-down DIBs).
  const int ySrcTop = s.TopDown ? ySrc : static_cast<int>(static_cast<long long>(s.Height) - ySrc - hSrc);
  BlitRequest r = RequestInto(d, &s, xDest, yDest, wDest, hDest, xSrc, ySrcTop, wSrc, hSrc, rop);
  if (compression == win::BI_RLE8 || compression == win::BI_RLE4) {
    BlitRle(r, s.Bits, bmi->bmiHeader.biSizeImage, compression == win::BI_RLE8 ? 8 : 4);
  } else {
    Blit(r);
  }
  return lines;
}

int SetDIBitsToDevice(HDC hdc, int xDest, int yDest, DWORD w, DWORD h, int xSrc, int ySrc, UINT startScan,
                      UINT lines, const void* bits, const BITMAPINFO* bmi, UINT usage) {
  if (startScan != 0) return 0;  // banded transfers are not supported
  (void)lines;
  const int n = StretchDIBits(hdc, xDest, yDest, static_cast<int>(w), static_cast<int>(h), xSrc, ySrc,
                              static_cast<int>(w), static_cast<int>(h), bits, bmi, usage, SRCCOPY);
  return n;
}

}  // namespace gdi
