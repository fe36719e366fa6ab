#include "platform/gdi/Gdi.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "platform/clipboard/Clipboard.h"
#include "platform/gdi/GdiInternal.h"
#include "platform/gdi/GdiTesting.h"
#include "platform/kernel/GlobalMemory.h"
#include "platform/kernel/GlobalMemoryTesting.h"

using namespace gdi;

namespace {

struct Format {
  int bits;
  DWORD r, g, b;
  const char* name;
};

const Format kFormats[] = {
    {1, 0, 0, 0, "1"},          {4, 0, 0, 0, "4"},
    {8, 0, 0, 0, "8"},          {16, 0xF800, 0x7E0, 0x1F, "565"},
    {16, 0x7C00, 0x3E0, 0x1F, "555"}, {16, 0xF000, 0xF00, 0xF0, "4444"},
    {24, 0, 0, 0, "24"},        {32, 0, 0, 0, "32"},
    {32, 0xFF, 0xFF00, 0xFF0000, "32bgr"},
};

// A surface in memory with guard bytes around every row.
struct Buffer {
  detail::Surface s;
  std::vector<std::uint8_t> mem;
  static constexpr int kGuard = 8;

  Buffer(const Format& f, int w, int h, bool topDown, std::mt19937& rng) {
    s.width = w;
    s.height = h;
    s.bitCount = f.bits;
    s.masks[0] = f.r;
    s.masks[1] = f.g;
    s.masks[2] = f.b;
    s.Classify();
    s.pitch = static_cast<std::intptr_t>(((w * f.bits + 31) / 32) * 4 + 2 * kGuard);
    s.topDown = topDown;
    mem.resize(static_cast<std::size_t>(s.pitch * h));
    for (auto& b : mem) b = static_cast<std::uint8_t>(rng());
    s.bits = mem.data() + kGuard;
    if (f.bits <= 8) {
      s.colorCount = 1 << f.bits;
      for (int i = 0; i < s.colorCount; ++i)
        s.colors[i] = RGBQUAD{static_cast<BYTE>(rng()), static_cast<BYTE>(rng()), static_cast<BYTE>(rng()), 0};
    }
  }
  Buffer(const Buffer& o) : s(o.s), mem(o.mem) { s.bits = mem.data() + kGuard; }
};

}  // namespace

// The row-wise blitters against the plain per-pixel path, for every pair of formats, stretched,
// mirrored and clipped, with several raster operations.
TEST(GdiBlit, FastPathsMatchTheReferencePath) {
  std::mt19937 rng(1234);
  const DWORD rops[] = {SRCCOPY, SRCPAINT, SRCAND, SRCINVERT, NOTSRCCOPY, MERGECOPY, DSTINVERT};
  int cases = 0;
  for (const Format& sf : kFormats) {
    for (const Format& df : kFormats) {
      for (int round = 0; round < 6; ++round) {
        Buffer src(sf, 1 + rng() % 23, 1 + rng() % 17, rng() & 1, rng);
        Buffer dst(df, 1 + rng() % 29, 1 + rng() % 19, rng() & 1, rng);
        if (round == 0 && sf.bits <= 8 && df.bits == sf.bits) std::memcpy(dst.s.colors, src.s.colors, sizeof src.s.colors);
        Buffer ref = dst;
        detail::BlitRequest r;
        r.src = &src.s;
        auto coord = [&](int range) { return static_cast<int>(rng() % (range + 8)) - 4; };
        r.xDest = coord(dst.s.width);
        r.yDest = coord(dst.s.height);
        r.wDest = static_cast<int>(rng() % 40) - (round == 5 ? 20 : 0);
        r.hDest = static_cast<int>(rng() % 30) - (round == 4 ? 15 : 0);
        r.xSrc = coord(src.s.width);
        r.ySrc = coord(src.s.height);
        r.wSrc = round < 2 ? r.wDest : static_cast<int>(rng() % 30);
        r.hSrc = round < 2 ? r.hDest : static_cast<int>(rng() % 25);
        r.rop = rops[rng() % std::size(rops)];
        r.brush = 0x00336699;
        r.hasBrush = true;
        r.dst = &dst.s;
        detail::Blit(r);
        r.dst = &ref.s;
        detail::BlitReference(r);
        ASSERT_EQ(dst.mem, ref.mem) << sf.name << " -> " << df.name << " round " << round;
        ++cases;
      }
    }
  }
  EXPECT_EQ(cases, 9 * 9 * 6);
}

TEST(GdiBlit, GuardBytesAroundRowsStayUntouched) {
  std::mt19937 rng(7);
  for (const Format& f : kFormats) {
    Buffer src(kFormats[7], 40, 40, false, rng);
    Buffer dst(f, 13, 9, true, rng);
    const Buffer before = dst;
    detail::BlitRequest r;
    r.src = &src.s;
    r.dst = &dst.s;
    r.xDest = -5;
    r.yDest = -5;
    r.wDest = 100;
    r.hDest = 100;
    r.wSrc = 40;
    r.hSrc = 40;
    detail::Blit(r);
    const std::size_t rowBytes = static_cast<std::size_t>((13 * f.bits + 7) / 8);
    for (int y = 0; y < 9; ++y) {
      const std::size_t at = static_cast<std::size_t>(y * dst.s.pitch);
      for (int g = 0; g < Buffer::kGuard; ++g) EXPECT_EQ(dst.mem[at + g], before.mem[at + g]) << f.name;
      const std::size_t tail = at + Buffer::kGuard + static_cast<std::size_t>(((13 * f.bits + 31) / 32) * 4);
      for (std::size_t k = tail; k < at + static_cast<std::size_t>(dst.s.pitch); ++k)
        EXPECT_EQ(dst.mem[k], before.mem[k]) << f.name;
      (void)rowBytes;
    }
  }
}

namespace {

// A DC over a small top-down 32-bit buffer.
struct Dc32 {
  int w, h;
  std::vector<std::uint32_t> px;
  HDC dc;
  Dc32(int w_, int h_, std::uint32_t fill = 0) : w(w_), h(h_), px(static_cast<std::size_t>(w_ * h_), fill) {
    MemoryFormat f;
    f.Width = w;
    f.Height = h;
    f.BitCount = 32;
    f.Pitch = 4 * w;
    f.Bits = px.data();
    dc = CreateMemoryFormatDC(f);
  }
  ~Dc32() { DeleteDC(dc); }
  std::uint32_t At(int x, int y) const { return px[static_cast<std::size_t>(y * w + x)]; }
};

struct Info8 {
  BITMAPINFOHEADER h{};
  RGBQUAD colors[256]{};
  Info8(int w, int hgt, DWORD compression, DWORD sizeImage, int bits = 8) {
    h.biSize = 40;
    h.biWidth = w;
    h.biHeight = hgt;
    h.biPlanes = 1;
    h.biBitCount = static_cast<WORD>(bits);
    h.biCompression = compression;
    h.biSizeImage = sizeImage;
    for (int i = 0; i < 256; ++i) colors[i] = RGBQUAD{static_cast<BYTE>(i), static_cast<BYTE>(i * 2), static_cast<BYTE>(255 - i), 0};
  }
  const BITMAPINFO* Info() const { return reinterpret_cast<const BITMAPINFO*>(this); }
  std::uint32_t Rgb(int i) const { return (std::uint32_t(colors[i].rgbRed) << 16) | (colors[i].rgbGreen << 8) | colors[i].rgbBlue; }
};

}  // namespace

TEST(GdiConversion, TrueColourFormatsAndNearestIndices) {
  // 24-bit white to 5-6-5 and back; 5-5-5 widened by repeating high bits.
  std::uint16_t px16 = 0;
  MemoryFormat f;
  f.Width = 1;
  f.Height = 1;
  f.BitCount = 16;
  f.RedMask = 0xF800;
  f.GreenMask = 0x7E0;
  f.BlueMask = 0x1F;
  f.Pitch = 2;
  f.Bits = &px16;
  HDC dc = CreateMemoryFormatDC(f);
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(SetPixel(dc, 0, 0, win::RGB(255, 255, 255)), win::RGB(255, 255, 255));
  EXPECT_EQ(px16, 0xFFFF);
  SetPixel(dc, 0, 0, win::RGB(0x84, 0x82, 0x08));
  EXPECT_EQ(px16, (0x10 << 11) | (0x20 << 5) | 1);
  EXPECT_EQ(GetPixel(dc, 0, 0), win::RGB(0x84, 0x82, 0x08));
  EXPECT_EQ(GetPixel(dc, 1, 0), CLR_INVALID);
  DeleteDC(dc);

  std::uint8_t idx[4] = {};
  RGBQUAD table[3] = {{0, 0, 0, 0}, {0, 0, 200, 0}, {200, 200, 200, 0}};
  f.BitCount = 8;
  f.Pitch = 4;
  f.Width = 4;
  f.Bits = idx;
  f.ColorTable = table;
  f.ColorCount = 3;
  dc = CreateMemoryFormatDC(f);
  SetPixel(dc, 0, 0, win::RGB(250, 10, 10));
  SetPixel(dc, 1, 0, win::RGB(180, 180, 190));
  SetPixel(dc, 2, 0, win::RGB(1, 2, 3));
  EXPECT_EQ(idx[0], 1);
  EXPECT_EQ(idx[1], 2);
  EXPECT_EQ(idx[2], 0);
  DeleteDC(dc);
}

TEST(GdiStretchDIBits, PlainRowsBottomUpAndTopDown) {
  Info8 bi(2, 2, win::BI_RGB, 0);
  const std::uint8_t bits[8] = {1, 2, 0, 0, 3, 4, 0, 0};  // bottom row first
  Dc32 t(4, 4, 0xEEEEEEEE);
  EXPECT_EQ(StretchDIBits(t.dc, 1, 1, 2, 2, 0, 0, 2, 2, bits, bi.Info(), DIB_RGB_COLORS, SRCCOPY), 2);
  EXPECT_EQ(t.At(1, 1), bi.Rgb(3));
  EXPECT_EQ(t.At(2, 1), bi.Rgb(4));
  EXPECT_EQ(t.At(1, 2), bi.Rgb(1));
  EXPECT_EQ(t.At(0, 0), 0xEEEEEEEEu);
  // A source rectangle counts from the bottom row: (1, 0, 1, 1) is the pixel 2.
  StretchDIBits(t.dc, 0, 0, 1, 1, 1, 0, 1, 1, bits, bi.Info(), DIB_RGB_COLORS, SRCCOPY);
  EXPECT_EQ(t.At(0, 0), bi.Rgb(2));
  bi.h.biHeight = -2;  // top down: the first row is the top
  StretchDIBits(t.dc, 0, 0, 2, 2, 0, 0, 2, 2, bits, bi.Info(), DIB_RGB_COLORS, SRCCOPY);
  EXPECT_EQ(t.At(0, 0), bi.Rgb(1));
  EXPECT_EQ(t.At(1, 1), bi.Rgb(4));
  // Stretched 1 -> 3 pixels: the one source pixel fills all three (row 1 from the top here).
  StretchDIBits(t.dc, 0, 3, 3, 1, 0, 1, 1, 1, bits, bi.Info(), DIB_RGB_COLORS, SRCCOPY);
  EXPECT_EQ(t.At(0, 3), bi.Rgb(3));
  EXPECT_EQ(t.At(2, 3), bi.Rgb(3));
  // Headers it cannot draw.
  bi.h.biCompression = 7;
  EXPECT_EQ(StretchDIBits(t.dc, 0, 0, 2, 2, 0, 0, 2, 2, bits, bi.Info(), DIB_RGB_COLORS, SRCCOPY), 0);
}

TEST(GdiStretchDIBits, RleIsDrawnFromTheCompressedBytes) {
  // 6 x 3: row 0 a run and an absolute run (odd: padded), row 1 a delta leaving pixels alone,
  // row 2 a run past the right edge; then a delta past the top.
  const std::uint8_t rle[] = {2, 7, 0, 3, 9, 8, 7, 0, 0, 0, 1, 5, 0, 2, 2, 0, 1, 6, 0, 0,
                              20, 3, 0, 2, 0, 9, 4, 4, 0, 1};
  Info8 bi(6, 3, win::BI_RLE8, sizeof rle);
  Dc32 t(6, 3, 0xEEEEEEEE);
  StretchDIBits(t.dc, 0, 0, 6, 3, 0, 0, 6, 3, rle, bi.Info(), DIB_RGB_COLORS, SRCCOPY);
  const std::uint32_t E = 0xEEEEEEEE;
  const std::uint32_t bottom[6] = {bi.Rgb(7), bi.Rgb(7), bi.Rgb(9), bi.Rgb(8), bi.Rgb(7), E};
  const std::uint32_t middle[6] = {bi.Rgb(5), E, E, bi.Rgb(6), E, E};
  for (int x = 0; x < 6; ++x) {
    EXPECT_EQ(t.At(x, 2), bottom[x]) << x;
    EXPECT_EQ(t.At(x, 1), middle[x]) << x;
    EXPECT_EQ(t.At(x, 0), bi.Rgb(3)) << x;
  }
  // RLE4: nibbles of runs alternate, absolute nibbles in order.
  const std::uint8_t rle4[] = {3, 0x12, 0, 3, 0x45, 0x60, 0, 1};
  Info8 b4(6, 1, win::BI_RLE4, sizeof rle4, 4);
  Dc32 t4(6, 1, E);
  StretchDIBits(t4.dc, 0, 0, 6, 1, 0, 0, 6, 1, rle4, b4.Info(), DIB_RGB_COLORS, SRCCOPY);
  const int want[6] = {1, 2, 1, 4, 5, 6};
  for (int x = 0; x < 6; ++x) EXPECT_EQ(t4.At(x, 0), b4.Rgb(want[x])) << x;
  // Data that ends in the middle of an absolute run or a delta stops there.
  const std::uint8_t cut[] = {0, 5, 1, 2};
  Dc32 t5(6, 1, E);
  StretchDIBits(t5.dc, 0, 0, 6, 1, 0, 0, 6, 1, cut, Info8(6, 1, win::BI_RLE8, sizeof cut).Info(), DIB_RGB_COLORS,
                SRCCOPY);
  EXPECT_EQ(t5.At(1, 0), bi.Rgb(2));
  EXPECT_EQ(t5.At(2, 0), E);
}

TEST(GdiStretchDIBits, RleAndPlainDataDrawAlike) {
  // The same 37 x 23 picture as RLE8 and as plain 8-bit rows, stretched and clipped.
  const int w = 37, h = 23;
  std::vector<std::uint8_t> plain(static_cast<std::size_t>(40 * h)), rle;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w;) {
      const int n = std::min(w - x, 1 + (x * 7 + y) % 9);
      const std::uint8_t v = static_cast<std::uint8_t>(x * 5 + y);
      rle.push_back(static_cast<std::uint8_t>(n));
      rle.push_back(v);
      for (int k = 0; k < n; ++k) plain[static_cast<std::size_t>(y * 40 + x + k)] = v;
      x += n;
    }
    rle.push_back(0);
    rle.push_back(0);
  }
  Info8 bp(w, h, win::BI_RGB, 0), br(w, h, win::BI_RLE8, static_cast<DWORD>(rle.size()));
  for (auto [dw, dh, dx] : {std::tuple{37, 23, 0}, std::tuple{74, 11, -5}, std::tuple{-20, 40, 3}}) {
    Dc32 a(50, 30), b(50, 30);
    StretchDIBits(a.dc, dx, 2, dw, dh, 0, 0, w, h, plain.data(), bp.Info(), DIB_RGB_COLORS, SRCCOPY);
    StretchDIBits(b.dc, dx, 2, dw, dh, 0, 0, w, h, rle.data(), br.Info(), DIB_RGB_COLORS, SRCCOPY);
    EXPECT_EQ(a.px, b.px) << dw << "x" << dh;
  }
}

TEST(GdiObjects, DibSectionsBitmapsAndSelection) {
  Info8 bi(33, -2, win::BI_RGB, 0, 1);
  bi.colors[0] = RGBQUAD{0, 0, 0, 0};
  bi.colors[1] = RGBQUAD{255, 255, 255, 0};
  void* bits = nullptr;
  HBITMAP h = CreateDIBSection(nullptr, bi.Info(), DIB_RGB_COLORS, &bits, nullptr, 0);
  ASSERT_NE(h, nullptr);
  ASSERT_NE(bits, nullptr);
  DIBSECTION ds{};
  EXPECT_EQ(GetObject(h, sizeof ds, &ds), static_cast<int>(sizeof ds));
  EXPECT_EQ(ds.dsBm.bmWidthBytes, 8);
  EXPECT_EQ(ds.dsBm.bmBits, bits);
  EXPECT_EQ(ds.dsBmih.biHeight, -2);
  BITMAP bm{};
  EXPECT_EQ(GetObject(h, sizeof bm, &bm), static_cast<int>(sizeof bm));

  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, h);
  ASSERT_NE(old, nullptr);
  HDC other = CreateCompatibleDC(nullptr);
  EXPECT_EQ(SelectObject(other, h), nullptr);  // one DC at a time
  EXPECT_EQ(DeleteObject(h), win::FALSE);      // still selected
  EXPECT_EQ(SetPixel(dc, 8, 0, win::RGB(255, 255, 255)), win::RGB(255, 255, 255));
  EXPECT_EQ(static_cast<std::uint8_t*>(bits)[1], 0x80);  // top-down: row 0 first
  SelectObject(dc, old);
  EXPECT_EQ(DeleteObject(h), win::TRUE);
  EXPECT_EQ(GetObjectType(h), 0u);
  EXPECT_EQ(DeleteObject(h), win::FALSE);  // a dead handle is refused, not a crash
  DeleteDC(dc);
  DeleteDC(other);

  // Bit fields and what is refused.
  struct {
    BITMAPINFOHEADER h;
    DWORD masks[3];
  } bf{{40, 4, 4, 1, 16, win::BI_BITFIELDS, 0, 0, 0, 0, 0}, {0xF800, 0x7E0, 0x1F}};
  h = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&bf), DIB_RGB_COLORS, &bits, nullptr, 0);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(GetObject(h, sizeof ds, &ds), static_cast<int>(sizeof ds));
  EXPECT_EQ(ds.dsBitfields[1], 0x7E0u);
  DeleteObject(h);
  bf.h.biBitCount = 24;
  EXPECT_EQ(CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&bf), DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
  bf.h.biBitCount = 16;
  bf.h.biWidth = 1 << 20;
  bf.h.biHeight = 1 << 20;
  EXPECT_EQ(CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&bf), DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);

  // Memory DCs are compatible with a 32-bit screen.
  HDC mem = CreateCompatibleDC(nullptr);
  EXPECT_EQ(GetDeviceCaps(mem, BITSPIXEL), 32);
  HBITMAP cb = CreateCompatibleBitmap(GetScreenDC(), 3, 3);
  EXPECT_EQ(GetObject(cb, sizeof ds, &ds), static_cast<int>(sizeof(BITMAP)));
  EXPECT_EQ(ds.dsBm.bmBitsPixel, 32);
  DeleteObject(cb);
  DeleteDC(mem);
}

TEST(GdiObjects, LiveCountsByKindCountOnlyTheirKind) {
  const int dcs = LiveObjectCount(OBJ_DC), bitmaps = LiveObjectCount(OBJ_BITMAP),
            palettes = LiveObjectCount(OBJ_PAL), all = LiveObjectCount();
  HDC dc = CreateCompatibleDC(nullptr);
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(LiveObjectCount(OBJ_DC), dcs + 1);
  EXPECT_EQ(LiveObjectCount(OBJ_MEMDC), dcs + 1);
  EXPECT_EQ(LiveObjectCount(OBJ_BITMAP), bitmaps);
  HBITMAP bmp = CreateCompatibleBitmap(dc, 4, 4);
  ASSERT_NE(bmp, nullptr);
  EXPECT_EQ(LiveObjectCount(OBJ_BITMAP), bitmaps + 1);
  std::vector<std::uint8_t> buf(sizeof(LOGPALETTE) + sizeof(PALETTEENTRY));
  auto* lp = reinterpret_cast<LOGPALETTE*>(buf.data());
  lp->palVersion = 0x300;
  lp->palNumEntries = 2;
  HPALETTE pal = CreatePalette(lp);
  ASSERT_NE(pal, nullptr);
  EXPECT_EQ(LiveObjectCount(OBJ_PAL), palettes + 1);
  EXPECT_EQ(LiveObjectCount(), all + 3);
  EXPECT_EQ(LiveObjectCount(0), 0);  // no such kind
  DeleteObject(pal);
  DeleteObject(bmp);
  DeleteDC(dc);
  EXPECT_EQ(LiveObjectCount(OBJ_DC), dcs);
  EXPECT_EQ(LiveObjectCount(OBJ_BITMAP), bitmaps);
  EXPECT_EQ(LiveObjectCount(OBJ_PAL), palettes);
}

TEST(GdiPalettes, LogicalAndSystemPalettes) {
  std::vector<std::uint8_t> buf(sizeof(LOGPALETTE) + 3 * sizeof(PALETTEENTRY));
  auto* lp = reinterpret_cast<LOGPALETTE*>(buf.data());
  lp->palVersion = 0x200;
  lp->palNumEntries = 3;
  EXPECT_EQ(CreatePalette(lp), nullptr);
  lp->palVersion = 0x300;
  lp->palPalEntry[2] = PALETTEENTRY{10, 20, 30, 0};
  HPALETTE pal = CreatePalette(lp);
  ASSERT_NE(pal, nullptr);
  WORD count = 0;
  EXPECT_EQ(GetObject(pal, sizeof count, &count), 2);
  EXPECT_EQ(count, 3);
  PALETTEENTRY pe[8];
  EXPECT_EQ(GetPaletteEntries(pal, 1, 8, pe), 2u);
  EXPECT_EQ(pe[1].peGreen, 20);
  EXPECT_EQ(GetNearestPaletteIndex(pal, win::RGB(12, 18, 33)), 2u);

  HDC dc = CreateCompatibleDC(nullptr);
  HPALETTE old = SelectPalette(dc, pal, win::FALSE);
  EXPECT_EQ(old, GetStockObject(DEFAULT_PALETTE));
  EXPECT_EQ(RealizePalette(dc), 3u);
  EXPECT_EQ(DeleteObject(pal), win::TRUE);  // the DC falls back to the default palette
  EXPECT_EQ(RealizePalette(dc), 0u);

  ResetSystemPalette();
  PALETTEENTRY sys[256];
  ASSERT_EQ(GetSystemPaletteEntries(dc, 0, 300, sys), 256u);
  EXPECT_EQ(sys[7].peRed, 192);
  EXPECT_EQ(sys[9].peBlue, 240);
  EXPECT_EQ(sys[246].peGreen, 251);
  EXPECT_EQ(sys[249].peRed, 255);
  EXPECT_EQ(sys[249].peGreen, 0);
  EXPECT_EQ(sys[255].peBlue, 255);
  EXPECT_EQ(sys[100].peRed, 0);
  PALETTEENTRY mine{1, 2, 3, 0};
  SetSystemPaletteEntries(100, 1, &mine);
  GetSystemPaletteEntries(dc, 100, 1, sys);
  EXPECT_EQ(sys[0].peBlue, 3);
  ResetSystemPalette();

  EXPECT_EQ(SetStretchBltMode(dc, COLORONCOLOR), BLACKONWHITE);
  EXPECT_EQ(SetStretchBltMode(dc, BLACKONWHITE), COLORONCOLOR);
  EXPECT_EQ(SetStretchBltMode(dc, 9), 0);
  DeleteDC(dc);
}

TEST(GdiMemoryFormat, DcOverCallerMemoryHonoursPitchAndDirection) {
  // 3 x 2 pixels of 24 bits, bottom up, rows 16 bytes apart.
  std::vector<std::uint8_t> mem(32, 0xAA);
  MemoryFormat f;
  f.Width = 3;
  f.Height = 2;
  f.BitCount = 24;
  f.Pitch = 16;
  f.TopDown = false;
  f.Bits = mem.data();
  HDC dc = CreateMemoryFormatDC(f);
  ASSERT_NE(dc, nullptr);
  RECT r{0, 0, 3, 1};
  HBRUSH b = CreateSolidBrush(win::RGB(1, 2, 3));
  FillRect(dc, &r, b);
  DeleteObject(b);
  EXPECT_EQ(mem[16], 3);  // the top row is the second in memory
  EXPECT_EQ(mem[17], 2);
  EXPECT_EQ(mem[18], 1);
  EXPECT_EQ(mem[22], 3);
  EXPECT_EQ(mem[24], 1);
  EXPECT_EQ(mem[25], 0xAA);  // past the row's pixels
  EXPECT_EQ(mem[0], 0xAA);
  DIBSECTION ds{};
  HGDIOBJ cur = GetCurrentObject(dc, OBJ_BITMAP);
  EXPECT_EQ(GetObject(cur, sizeof ds, &ds), static_cast<int>(sizeof(BITMAP)));
  EXPECT_EQ(ds.dsBm.bmWidthBytes, 16);
  EXPECT_EQ(SelectObject(dc, CreateCompatibleBitmap(dc, 1, 1)), nullptr);  // its bitmap is fixed
  DeleteDC(dc);
  f.Pitch = 8;  // shorter than a row
  EXPECT_EQ(CreateMemoryFormatDC(f), nullptr);
}

TEST(GdiBitBlt, OverlappingBlitWithinOneBitmap) {
  Dc32 t(5, 1);
  for (int x = 0; x < 5; ++x) t.px[static_cast<std::size_t>(x)] = static_cast<std::uint32_t>(x + 1);
  BitBlt(t.dc, 1, 0, 4, 1, t.dc, 0, 0, SRCCOPY);
  EXPECT_EQ(t.px, (std::vector<std::uint32_t>{1, 1, 2, 3, 4}));
  EXPECT_EQ(PatBlt(t.dc, 0, 0, 2, 1, BLACKNESS), win::TRUE);
  EXPECT_EQ(t.At(1, 0), 0u);
  EXPECT_EQ(PatBlt(t.dc, 0, 0, 2, 1, SRCCOPY), win::FALSE);
  EXPECT_EQ(BitBlt(t.dc, 0, 0, 1, 1, nullptr, 0, 0, SRCCOPY), win::FALSE);
}

TEST(GlobalMemory, MovableBlocksLockAndZeroInit) {
  const int before = kernel::GlobalBlockCount();
  win::HGLOBAL h = kernel::GlobalAlloc(kernel::GMEM_MOVEABLE | kernel::GMEM_ZEROINIT, 100);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(kernel::GlobalSize(h), 100u);
  auto* p = static_cast<std::uint8_t*>(kernel::GlobalLock(h));
  ASSERT_NE(p, nullptr);
  EXPECT_NE(static_cast<void*>(p), h);
  EXPECT_EQ(p[99], 0);
  EXPECT_EQ(kernel::GlobalLock(h), p);
  EXPECT_EQ(kernel::GlobalUnlock(h), win::TRUE);
  EXPECT_EQ(kernel::GlobalUnlock(h), win::FALSE);  // count reached 0
  EXPECT_EQ(kernel::GlobalFree(h), nullptr);
  EXPECT_EQ(kernel::GlobalSize(h), 0u);
  EXPECT_EQ(kernel::GlobalFree(h), h);
  win::HGLOBAL fixed = kernel::GlobalAlloc(kernel::GPTR, 0);
  EXPECT_EQ(kernel::GlobalLock(fixed), fixed);
  kernel::GlobalFree(fixed);
  EXPECT_EQ(kernel::GlobalAlloc(kernel::GMEM_FIXED, std::size_t(1) << 40), nullptr);
  EXPECT_EQ(kernel::GlobalBlockCount(), before);
}

TEST(Clipboard, OwnsWhatItHolds) {
  const int before = kernel::GlobalBlockCount();
  EXPECT_EQ(win::SetClipboardData(win::CF_DIB, nullptr), nullptr);  // not open
  ASSERT_TRUE(win::OpenClipboard(nullptr));
  EXPECT_FALSE(win::OpenClipboard(nullptr));
  win::EmptyClipboard();
  win::HGLOBAL a = kernel::GlobalAlloc(kernel::GHND, 4);
  win::HGLOBAL b = kernel::GlobalAlloc(kernel::GHND, 8);
  EXPECT_EQ(win::SetClipboardData(win::CF_DIB, a), a);
  EXPECT_EQ(win::SetClipboardData(win::CF_DIB, b), b);  // frees a
  EXPECT_EQ(kernel::GlobalSize(a), 0u);
  EXPECT_EQ(win::GetClipboardData(win::CF_DIB), b);
  EXPECT_TRUE(win::IsClipboardFormatAvailable(win::CF_DIB));
  win::EmptyClipboard();
  EXPECT_FALSE(win::IsClipboardFormatAvailable(win::CF_DIB));
  win::CloseClipboard();
  EXPECT_EQ(kernel::GlobalBlockCount(), before);
}
