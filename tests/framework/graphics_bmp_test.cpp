// The BMP header reader that every bitmap reader shares, and the framework bitmap's file form
// with files as other programs write them: extended headers, bit fields in any order, colour
// tables past 256 entries, gaps before the pixels and offsets that point nowhere sensible.
#include "framework/GraphicsBmp.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "framework/Graphics.h"

using namespace fw;

namespace {

using Bytes = std::vector<std::uint8_t>;

template <class T>
void Add(Bytes& b, const T& v) {
  const auto* p = reinterpret_cast<const std::uint8_t*>(&v);
  b.insert(b.end(), p, p + sizeof v);
}

// An info header of `size` bytes (40 or an extended size, zero past the classic part).
Bytes Info(std::int32_t w, std::int32_t h, std::uint16_t bits, std::uint32_t comp = 0, std::uint32_t clrUsed = 0,
           std::uint32_t size = 40) {
  win::BITMAPINFOHEADER i{};
  i.biSize = size;
  i.biWidth = w;
  i.biHeight = h;
  i.biPlanes = 1;
  i.biBitCount = bits;
  i.biCompression = comp;
  i.biClrUsed = clrUsed;
  Bytes b;
  Add(b, i);
  b.resize(size, 0);
  return b;
}

void PutMasks(Bytes& b, std::size_t at, std::uint32_t r, std::uint32_t g, std::uint32_t bl) {
  const std::uint32_t m[3] = {r, g, bl};
  if (b.size() < at + 12) b.resize(at + 12, 0);
  std::memcpy(b.data() + at, m, 12);
}

// Colour i is (blue i, green 2i, red 255 - i).
Bytes Colors(int n) {
  Bytes b;
  for (int i = 0; i < n; ++i) Add(b, win::RGBQUAD{std::uint8_t(i), std::uint8_t(2 * i), std::uint8_t(255 - i), 0});
  return b;
}

// File header (pixels at `offset`, or right after the headers and `gap` filler bytes), headers,
// filler, pixels.
Bytes File(const Bytes& headers, const Bytes& pixels, std::size_t gap = 0, std::int64_t offset = -1) {
  win::BITMAPFILEHEADER fh{};
  fh.bfType = 0x4D42;
  fh.bfSize = static_cast<win::DWORD>(14 + headers.size() + gap + pixels.size());
  fh.bfOffBits = static_cast<win::DWORD>(offset >= 0 ? offset : std::int64_t(14 + headers.size() + gap));
  Bytes b;
  Add(b, fh);
  b.insert(b.end(), headers.begin(), headers.end());
  b.insert(b.end(), gap, 0xEE);
  b.insert(b.end(), pixels.begin(), pixels.end());
  return b;
}

void Load(TBitmap& b, const Bytes& bytes) {
  TBytesStream s(bytes.data(), bytes.size());
  b.LoadFromStream(s);
}

template <class E>
void ExpectError(const std::function<void()>& f, const std::string& message) {
  try {
    f();
    ADD_FAILURE() << "no error, expected " << message;
  } catch (const E& e) {
    EXPECT_EQ(e.Message(), message);
  }
}

const TBmpRules kClassic{40, "classic only"};
const TBmpRules kExtended{1024, "up to 1024"};

}  // namespace

TEST(BmpHeader, CoreClassicAndExtendedHeadersAsEachReaderTakesThem) {
  // A core header: 16-bit sizes, three-byte colours.
  Bytes core;
  Add(core, win::BITMAPCOREHEADER{12, 300, 2, 1, 4});
  TBytesStream cs(core.data(), core.size());
  cs.SetPosition(4);
  const TBmpHeader c = ReadBmpHeader(cs, 12, kClassic);
  EXPECT_EQ(c.Info.biWidth, 300);
  EXPECT_EQ(c.Info.biBitCount, 4);
  EXPECT_TRUE(c.Core());
  EXPECT_EQ(c.EntrySize(), 3);
  EXPECT_EQ(c.ColorCount(), 16u);

  // An extended header keeps its masks inside itself; the rest of it is skipped.
  Bytes v5 = Info(3, 2, 16, win::BI_BITFIELDS, 0, 124);
  PutMasks(v5, 40, 0x1F, 0x7E0, 0xF800);
  v5.push_back(0x5A);
  TBytesStream s(v5.data(), v5.size());
  s.SetPosition(4);
  const TBmpHeader e = ReadBmpHeader(s, 124, kExtended);
  EXPECT_EQ(e.Masks[0], 0x1Fu);
  EXPECT_EQ(e.Masks[2], 0xF800u);
  EXPECT_EQ(s.Position(), 124);
  EXPECT_EQ(e.Info.biSize, 40u);
  EXPECT_EQ(e.HeaderSize, 124u);
  // After a classic header the masks follow it.
  Bytes classic = Info(3, 2, 32, win::BI_BITFIELDS);
  PutMasks(classic, 40, 0xFF, 0xFF00, 0xFF0000);
  TBytesStream cl(classic.data(), classic.size());
  cl.SetPosition(4);
  EXPECT_EQ(ReadBmpHeader(cl, 40, kClassic).Masks[1], 0xFF00u);
  EXPECT_EQ(cl.Position(), 52);

  for (std::uint32_t size : {0u, 11u, 13u, 39u, 108u, 124u}) {
    TBytesStream t(v5.data(), v5.size());
    t.SetPosition(4);
    ExpectError<EInvalidGraphic>([&] { ReadBmpHeader(t, size, kClassic); }, "classic only");
  }
  TBytesStream big(v5.data(), v5.size());
  big.SetPosition(4);
  ExpectError<EInvalidGraphic>([&] { ReadBmpHeader(big, 1025, kExtended); }, "up to 1024");
  TBytesStream cut(v5.data(), 60);
  cut.SetPosition(4);
  EXPECT_THROW(ReadBmpHeader(cut, 124, kExtended), EReadError);
}

TEST(BmpHeader, ColourTablesPast256EntriesAndThePixelOffset) {
  Bytes b = Info(2, 1, 8, 0, 300);
  const Bytes colors = Colors(300);
  b.insert(b.end(), colors.begin(), colors.end());
  b.insert(b.end(), {7, 9, 0, 0});
  TBytesStream s(b.data(), b.size());
  s.SetPosition(4);
  const TBmpHeader h = ReadBmpHeader(s, 40, kClassic);
  EXPECT_EQ(h.ColorCount(), 300u);
  TBmpColors table;
  ReadBmpColors(s, h, table);
  EXPECT_EQ(table[255].rgbBlue, 255);
  EXPECT_EQ(table[255].rgbRed, 0);
  EXPECT_EQ(s.Position(), 40 + 1200) << "the entries past 256 are skipped";
  // The pixel offset: into the table, at its end, past the stream.
  ExpectError<EInvalidGraphic>([&] { SeekBmpBits(s, 40 + 1199, kClassic); }, "classic only");
  SeekBmpBits(s, 40 + 1200, kClassic);
  EXPECT_EQ(s.Position(), 40 + 1200);
  SeekBmpBits(s, 40 + 1202, kClassic);
  EXPECT_EQ(s.Position(), 40 + 1202);
  EXPECT_THROW(SeekBmpBits(s, 40 + 1205, kClassic), EReadError);

  // A table longer than the stream is a short read before anything is taken from it.
  b.resize(40 + 1100);
  TBytesStream cut(b.data(), b.size());
  cut.SetPosition(40);
  EXPECT_THROW(ReadBmpColors(cut, h, table), EReadError);
  EXPECT_EQ(cut.Position(), 40);
}

TEST(BitmapFile, BitFieldsInAnyOrderAndExtendedHeadersShowTheirColours) {
  struct Case {
    std::uint32_t headerSize;
    std::uint16_t bits;
    std::uint32_t r, g, b;
    std::uint32_t pixel;
    TColor want;
  } cases[] = {
      {40, 32, 0xFF, 0xFF00, 0xFF0000, 0x00332211, static_cast<TColor>(win::RGB(0x11, 0x22, 0x33))},
      {40, 32, 0xFF000000, 0xFF0000, 0xFF00, 0x112233AA, static_cast<TColor>(win::RGB(0x11, 0x22, 0x33))},
      {108, 32, 0xFF0000, 0xFF00, 0xFF, 0x00112233, static_cast<TColor>(win::RGB(0x11, 0x22, 0x33))},
      {124, 16, 0x1F, 0x7E0, 0xF800, 0x001F, static_cast<TColor>(win::RGB(255, 0, 0))},
      {40, 16, 0xF800, 0x7C0, 0x3E, 0x07C0, static_cast<TColor>(win::RGB(0, 255, 0))},
  };
  for (const Case& c : cases) {
    Bytes h = Info(1, 1, c.bits, win::BI_BITFIELDS, 0, c.headerSize);
    PutMasks(h, 40, c.r, c.g, c.b);
    Bytes px(4, 0);
    std::memcpy(px.data(), &c.pixel, c.bits / 8);
    TBitmap b;
    Load(b, File(h, px));
    ASSERT_EQ(b.Width(), 1);
    EXPECT_EQ(b.Canvas()->Pixel(0, 0), c.want) << c.headerSize << " " << std::hex << c.r;
  }
}

TEST(BitmapFile, PixelsWhereTheFileHeaderPutsThemAndNowhereElse) {
  Bytes h = Info(2, 2, 8, 0, 300);
  const Bytes colors = Colors(300);
  h.insert(h.end(), colors.begin(), colors.end());
  const Bytes px = {3, 250, 0, 0, 5, 6, 0, 0};
  for (std::size_t gap : {0u, 19u}) {
    TBitmap b;
    Load(b, File(h, px, gap));
    ASSERT_EQ(b.Height(), 2);
    EXPECT_EQ(static_cast<std::uint8_t*>(b.ScanLine(1))[1], 250) << gap;
    EXPECT_EQ(static_cast<std::uint8_t*>(b.ScanLine(0))[0], 5) << gap;
    EXPECT_EQ(b.Canvas()->Pixel(1, 1), static_cast<TColor>(win::RGB(5, 244, 250)));
  }
  // Offsets into the file header, the info header or the colour table, and one past the end.
  TBitmap b;
  b.SetSize(3, 3);
  for (std::int64_t offset : {0, 14, 54, 14 + 40 + 1024, 14 + 40 + 1199})
    ExpectError<EInvalidGraphic>([&] { Load(b, File(h, px, 0, offset)); }, msg::InvalidBitmap);
  EXPECT_THROW(Load(b, File(h, px, 0, 14 + 40 + 1200 + 1)), EReadError);
  EXPECT_EQ(b.Width(), 3) << "what failed to load changed nothing";
}
