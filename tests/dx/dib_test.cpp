#include "dx/DIB.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <memory>
#include <vector>

#include "dx/DXConsts.h"
#include "framework/Graphics.h"
#include "platform/clipboard/Clipboard.h"
#include "platform/gdi/Gdi.h"
#include "platform/kernel/GlobalMemory.h"

using namespace dx;
using fw::TBytesStream;
using fw::TMemoryStream;

namespace {

using Bytes = std::vector<std::uint8_t>;

void Put16(Bytes& b, std::uint16_t v) {
  b.push_back(static_cast<std::uint8_t>(v));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(Bytes& b, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

struct HeaderSpec {
  std::int32_t width = 1, height = 1;
  std::uint16_t bitCount = 8;
  std::uint32_t compression = 0, sizeImage = 0, xpels = 0, ypels = 0, clrUsed = 0, clrImportant = 0;
};

Bytes InfoHeader(const HeaderSpec& h) {
  Bytes b;
  Put32(b, 40);
  Put32(b, static_cast<std::uint32_t>(h.width));
  Put32(b, static_cast<std::uint32_t>(h.height));
  Put16(b, 1);
  Put16(b, h.bitCount);
  Put32(b, h.compression);
  Put32(b, h.sizeImage);
  Put32(b, h.xpels);
  Put32(b, h.ypels);
  Put32(b, h.clrUsed);
  Put32(b, h.clrImportant);
  return b;
}

void Append(Bytes& a, const Bytes& b) { a.insert(a.end(), b.begin(), b.end()); }

Bytes ColorEntries(int n, int size = 4) {
  Bytes b;
  for (int i = 0; i < n; ++i) {
    b.push_back(static_cast<std::uint8_t>(i * 3));      // blue
    b.push_back(static_cast<std::uint8_t>(255 - i));    // green
    b.push_back(static_cast<std::uint8_t>(i * 7 + 1));  // red
    if (size == 4) b.push_back(0);
  }
  return b;
}

Bytes WriteBody(TDIB& d) {
  TMemoryStream m;
  d.WriteBody(m);
  const auto* p = static_cast<const std::uint8_t*>(m.Memory());
  return Bytes(p, p + m.Size());
}

void ReadBody(TDIB& d, const Bytes& b) {
  TBytesStream s(b.data(), b.size());
  d.ReadBody(s);
}

// Row y counted from the top.
const std::uint8_t* RowOf(TDIB& d, int y) { return d.TopBits() + static_cast<std::ptrdiff_t>(y) * d.NextLine(); }

// A 160 x 160 RLE8 picture: encoded runs, absolute runs of odd length (with pad bytes), ends of
// line and the end of the bitmap.
Bytes Rle8Picture(int w, int h) {
  Bytes rle;
  for (int y = 0; y < h; ++y) {
    int x = 0;
    while (x < w) {
      const int n = std::min(w - x, 5 + (y + x) % 40);
      if ((x / 7 + y) % 3 == 0 && n >= 3) {
        rle.push_back(0);
        rle.push_back(static_cast<std::uint8_t>(n));
        for (int k = 0; k < n; ++k) rle.push_back(static_cast<std::uint8_t>((x + k) ^ y));
        if (n & 1) rle.push_back(0);
      } else {
        rle.push_back(static_cast<std::uint8_t>(n));
        rle.push_back(static_cast<std::uint8_t>(y + x / 10));
      }
      x += n;
    }
    rle.push_back(0);
    rle.push_back(0);
  }
  rle.push_back(0);
  rle.push_back(1);
  return rle;
}

// The same picture's pixels, row 0 at the bottom.
std::uint8_t Rle8Pixel(int w, int x, int y) {
  int px = 0;
  while (px < w) {
    const int n = std::min(w - px, 5 + (y + px) % 40);
    if (x < px + n) {
      if ((px / 7 + y) % 3 == 0 && n >= 3) return static_cast<std::uint8_t>(x ^ y);
      return static_cast<std::uint8_t>(y + px / 10);
    }
    px += n;
  }
  return 0;
}

Bytes Rle8Stream(int w, int h, const Bytes& rle) {
  HeaderSpec hs;
  hs.width = w;
  hs.height = h;
  hs.compression = 1;
  hs.sizeImage = static_cast<std::uint32_t>(rle.size());
  hs.xpels = 2835;
  hs.ypels = 2835;
  hs.clrUsed = 256;
  hs.clrImportant = 17;
  Bytes b = InfoHeader(hs);
  Append(b, ColorEntries(256));
  Append(b, rle);
  return b;
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

// A 32-bit DC over our own memory, top down, for looking at what was drawn.
struct Target {
  int w, h;
  std::vector<std::uint32_t> px;
  win::HDC dc;
  fw::TCanvas canvas;
  Target(int w_, int h_, std::uint32_t fill = 0xDEADBEEF) : w(w_), h(h_), px(static_cast<std::size_t>(w_ * h_), fill) {
    gdi::MemoryFormat f;
    f.Width = w;
    f.Height = h;
    f.BitCount = 32;
    f.Pitch = 4 * w;
    f.TopDown = true;
    f.Bits = px.data();
    dc = gdi::CreateMemoryFormatDC(f);
    canvas.SetHandle(dc);
  }
  ~Target() {
    canvas.SetHandle(nullptr);
    gdi::DeleteDC(dc);
  }
  std::uint32_t At(int x, int y) const { return px[static_cast<std::size_t>(y * w + x)]; }
};

std::uint32_t Rgb(const win::RGBQUAD& q) { return (std::uint32_t(q.rgbRed) << 16) | (q.rgbGreen << 8) | q.rgbBlue; }

}  // namespace

TEST(PixelLayout, IsBuiltFromChannelWidthsOrMasks) {
  const PixelLayout l565 = MakePixelLayout(5, 6, 5);
  EXPECT_EQ(l565.RedMask, 0xF800);
  EXPECT_EQ(l565.GreenMask, 0x7E0);
  EXPECT_EQ(l565.BlueMask, 0x1F);
  EXPECT_EQ(l565.RedShift, 8);
  EXPECT_EQ(l565.GreenShift, 3);
  EXPECT_EQ(l565.BlueShift, 3);
  EXPECT_EQ(l565.GreenLoss, 2);
  const PixelLayout l888 = MakePixelLayout(8, 8, 8);
  EXPECT_EQ(l888.RedMask, 0xFF0000);
  EXPECT_EQ(l888.RedShift, 16);
  // Only the widths of masks count, not their positions.
  const PixelLayout odd = MakePixelLayoutFromMasks(0x1F, 0x7E0, 0xF800);
  EXPECT_EQ(odd.RedMask, 0xF800);
  EXPECT_EQ(MakePixelLayoutFromMasks(0, 0xFF, 0).GreenBits, 8);
  EXPECT_EQ(MakePixelLayoutFromMasks(0, 0xFF, 0).RedBits, 0);
  // A mask of all 32 bits is a width like any other (and no format of ours).
  const PixelLayout wide = MakePixelLayoutFromMasks(0xFFFFFFFF, 0, 0);
  EXPECT_EQ(wide.RedBits, 32);
  EXPECT_EQ(static_cast<std::uint32_t>(wide.RedMask), 0xFFFFFFFFu);
}

TEST(DIBStoredForm, TrueColour256x256) {
  HeaderSpec hs;
  hs.width = 256;
  hs.height = 256;
  hs.bitCount = 24;
  hs.sizeImage = 196608;
  Bytes b = InfoHeader(hs);
  for (int i = 0; i < 196608; ++i) b.push_back(static_cast<std::uint8_t>(i * 31));
  TDIB d;
  ReadBody(d, b);
  EXPECT_EQ(d.Image()->HeaderSize, 40);
  EXPECT_EQ(d.Size(), 196608);
  EXPECT_EQ(d.WidthBytes(), 768);
  EXPECT_EQ(d.Image()->InfoHeader().biSizeImage, 196608u);
  EXPECT_TRUE(d.Image()->MemoryImage);
  Bytes out = WriteBody(d);
  ASSERT_EQ(out.size(), 40u + 196608u);
  EXPECT_EQ(out, b);
}

TEST(DIBStoredForm, Rle8IsKeptCompressedAndWrittenBackWithRebuiltHeader) {
  const Bytes rle = Rle8Picture(160, 160);
  const Bytes in = Rle8Stream(160, 160, rle);
  TDIB d;
  ReadBody(d, in);
  EXPECT_TRUE(d.Image()->Compressed);
  EXPECT_EQ(d.Image()->HeaderSize, 40 + 1024);
  EXPECT_EQ(d.Width(), 160);
  EXPECT_EQ(d.BitCount(), 8);
  const Bytes out = WriteBody(d);
  ASSERT_EQ(out.size(), 1064u + rle.size());
  win::BITMAPINFOHEADER h;
  std::memcpy(&h, out.data(), 40);
  EXPECT_EQ(h.biCompression, 1u);
  EXPECT_EQ(h.biSizeImage, rle.size());
  EXPECT_EQ(h.biXPelsPerMeter, 0);
  EXPECT_EQ(h.biYPelsPerMeter, 0);
  EXPECT_EQ(h.biClrUsed, 0u);
  EXPECT_EQ(h.biClrImportant, 0u);
  EXPECT_TRUE(std::equal(in.begin() + 40, in.end(), out.begin() + 40));
}

TEST(DIBStoredForm, RowWidthsAreFourByteAligned) {
  TDIB d;
  d.SetSize(33, 2, 1);
  EXPECT_EQ(d.WidthBytes(), 8);
  EXPECT_EQ(d.NextLine(), -8);
  EXPECT_EQ(d.Size(), 16);
  d.SetSize(3, 1, 24);
  EXPECT_EQ(d.WidthBytes(), 12);
}

TEST(DIBStoredForm, CoreHeaderWithThreeByteColours) {
  Bytes b;
  Put32(b, 12);
  Put16(b, 5);  // width
  Put16(b, 2);  // height
  Put16(b, 1);
  Put16(b, 4);
  Append(b, ColorEntries(16, 3));
  const Bytes bits = {0x01, 0x23, 0x40, 0, 0x56, 0x78, 0x90, 0};
  Append(b, bits);
  TDIB d;
  ReadBody(d, b);
  EXPECT_EQ(d.Width(), 5);
  EXPECT_EQ(d.BitCount(), 4);
  EXPECT_EQ(d.ColorTable()[3].rgbBlue, 9);
  EXPECT_EQ(d.ColorTable()[3].rgbGreen, 252);
  EXPECT_EQ(d.ColorTable()[3].rgbRed, 22);
  EXPECT_EQ(d.ColorTable()[3].rgbReserved, 0);
  EXPECT_EQ(d.ColorTable()[16].rgbRed, 0);  // entries past the file's are zero
  const Bytes out = WriteBody(d);
  ASSERT_EQ(out.size(), 40u + 64u + 8u);
  std::uint32_t size;
  std::memcpy(&size, out.data(), 4);
  EXPECT_EQ(size, 40u);
  const Bytes four = ColorEntries(16, 4);
  EXPECT_TRUE(std::equal(four.begin(), four.end(), out.begin() + 40));
  EXPECT_TRUE(std::equal(bits.begin(), bits.end(), out.begin() + 104));
}

TEST(DIBStoredForm, RefusesLaterHeadersAndKeepsTheImage) {
  TDIB d;
  d.SetSize(4, 4, 8);
  TDIBSharedImage* before = d.Image();
  for (std::uint32_t size : {108u, 124u, 0u, 41u}) {
    Bytes b;
    Put32(b, size);
    b.resize(200, 0);
    ExpectError<fw::EInvalidGraphic>([&] { ReadBody(d, b); }, "DIB is invalid");
    EXPECT_EQ(d.Image(), before);
  }
  // Fewer than four bytes of header size.
  Bytes shortSize = {40, 0};
  ExpectError<fw::EInvalidGraphic>([&] { ReadBody(d, shortSize); }, "DIB is invalid");
  EXPECT_EQ(d.Width(), 4);
}

TEST(DIBStoredForm, TopDownRowsAreStoredBottomRowFirst) {
  HeaderSpec hs;
  hs.width = 1;
  hs.height = -3;
  hs.bitCount = 24;
  Bytes b = InfoHeader(hs);
  for (std::uint8_t row : {10, 20, 30}) Append(b, {row, row, row, 0});
  TDIB d;
  ReadBody(d, b);
  EXPECT_EQ(d.Height(), 3);
  EXPECT_EQ(RowOf(d, 0)[0], 10);
  EXPECT_EQ(RowOf(d, 2)[0], 30);
  EXPECT_EQ(d.Bits()[0], 30);  // memory is bottom row first
  EXPECT_GT(d.Image()->InfoHeader().biHeight, 0);
}

TEST(DIBStoredForm, SixteenBitLayouts) {
  auto load = [](bool fields, std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    HeaderSpec hs;
    hs.width = 2;
    hs.height = 1;
    hs.bitCount = 16;
    hs.compression = fields ? 3 : 0;
    Bytes s = InfoHeader(hs);
    if (fields) {
      Put32(s, r);
      Put32(s, g);
      Put32(s, b);
    }
    Put32(s, 0x12345678);
    auto d = std::make_unique<TDIB>();
    ReadBody(*d, s);
    return d;
  };
  EXPECT_EQ(load(true, 0xF800, 0x7E0, 0x1F)->Layout().GreenMask, 0x7E0);
  EXPECT_EQ(load(true, 0x7C00, 0x3E0, 0x1F)->Layout().GreenMask, 0x3E0);
  auto plain = load(false, 0, 0, 0);
  EXPECT_EQ(plain->Layout().RedMask, 0x7C00);
  // Bit fields of other widths are not a 16-bit pixel format here.
  ExpectError<fw::EInvalidGraphicOperation>([&] { load(true, 0xF000, 0xF00, 0xFF); }, "PixelFormat in invalid");
  // Written back, a 16-bit image always carries its masks.
  const Bytes out = WriteBody(*plain);
  ASSERT_EQ(out.size(), 52u + 4u);
  std::uint32_t comp, red;
  std::memcpy(&comp, out.data() + 16, 4);
  std::memcpy(&red, out.data() + 40, 4);
  EXPECT_EQ(comp, 3u);
  EXPECT_EQ(red, 0x7C00u);
}

TEST(DIBStoredForm, EmptyStreams) {
  TDIB d;
  d.SetSize(3, 3, 8);
  TMemoryStream empty;
  d.ReadFile(empty);
  EXPECT_EQ(d.Width(), 3);
  d.ReadBody(empty);
  EXPECT_TRUE(d.Empty());
  EXPECT_EQ(d.Width(), 0);
  // An empty bitmap writes nothing in either form.
  TMemoryStream out;
  d.WriteFile(out);
  d.WriteBody(out);
  EXPECT_EQ(out.Size(), 0);
}

TEST(DIBStoredForm, BadBitCountsAndCompressions) {
  TDIB d;
  d.SetSize(2, 2, 24);
  TDIBSharedImage* before = d.Image();
  HeaderSpec hs;
  hs.bitCount = 7;
  Bytes seven = InfoHeader(hs);
  Append(seven, ColorEntries(128));
  ExpectError<fw::EInvalidGraphicOperation>([&] { ReadBody(d, seven); }, "Bitcount in invalid (7)");
  hs.bitCount = 24;
  hs.compression = 4;
  Bytes b = InfoHeader(hs);
  b.resize(100, 0);
  ExpectError<fw::EInvalidGraphic>([&] { ReadBody(d, b); }, "DIB is invalid");
  // RLE8 data claimed for a 4-bit image, and RLE top down.
  hs.bitCount = 4;
  hs.compression = 1;
  b = InfoHeader(hs);
  Append(b, ColorEntries(16));
  b.resize(b.size() + 8, 0);
  ExpectError<fw::EInvalidGraphic>([&] { ReadBody(d, b); }, "DIB is invalid");
  hs.bitCount = 8;
  hs.height = -1;
  b = InfoHeader(hs);
  Append(b, ColorEntries(256));
  ExpectError<fw::EInvalidGraphic>([&] { ReadBody(d, b); }, "DIB is invalid");
  EXPECT_EQ(d.Image(), before);
}

TEST(DIBStoredForm, ShortDataIsAReadErrorWhateverTheHeaderClaims) {
  TDIB d;
  d.SetSize(2, 2, 8);
  TDIBSharedImage* before = d.Image();
  HeaderSpec hs;
  hs.width = 60000;
  hs.height = 60000;
  hs.bitCount = 32;
  ExpectError<fw::EReadError>([&] { ReadBody(d, InfoHeader(hs)); }, "Stream read error");
  hs.width = 4;
  hs.height = 4;
  hs.bitCount = 8;
  hs.compression = 1;
  hs.sizeImage = 0xFFFFFFF0u;
  Bytes b = InfoHeader(hs);
  Append(b, ColorEntries(256));
  ExpectError<fw::EReadError>([&] { ReadBody(d, b); }, "Stream read error");
  // Colour table cut short.
  hs.compression = 0;
  b = InfoHeader(hs);
  b.resize(b.size() + 100);
  ExpectError<fw::EReadError>([&] { ReadBody(d, b); }, "Stream read error");
  EXPECT_EQ(d.Image(), before);
  EXPECT_EQ(d.Width(), 2);
}

TEST(DIBFileForm, RoundTripAndBadFileHeaders) {
  TDIB d;
  d.SetSize(3, 2, 8);
  d.SetPixel(1, 1, 77);
  TMemoryStream m;
  d.WriteFile(m);
  ASSERT_EQ(m.Size(), 14 + 1064 + 8);
  win::BITMAPFILEHEADER fh;
  std::memcpy(&fh, m.Memory(), 14);
  const std::uint16_t type = fh.bfType;
  const std::uint32_t fileSize = fh.bfSize, offset = fh.bfOffBits;
  EXPECT_EQ(type, 0x4D42);
  EXPECT_EQ(fileSize, 14u + 1064u + 8u);
  EXPECT_EQ(offset, 14u + 1064u);
  m.SetPosition(0);
  TDIB e;
  e.ReadFile(m);
  EXPECT_EQ(e.Width(), 3);
  EXPECT_EQ(RowOf(e, 1)[1], 77);

  Bytes bad(20, 0);
  bad[0] = 'B';
  bad[1] = 'X';
  ExpectError<fw::EInvalidGraphic>([&] {
    TBytesStream s(bad.data(), bad.size());
    e.ReadFile(s);
  }, "DIB is invalid");
  Bytes shortHeader = {'B', 'M', 1, 2, 3};
  ExpectError<fw::EInvalidGraphic>([&] {
    TBytesStream s(shortHeader.data(), shortHeader.size());
    e.ReadFile(s);
  }, "DIB is invalid");
  EXPECT_EQ(e.Width(), 3);
}

TEST(DIBClipboard, WritesAMovableBlockAndReadsItBack) {
  TDIB d;
  d.SetSize(4, 3, 24);
  d.SetPixel(2, 1, 0x123456);
  win::UINT format = 0;
  win::HANDLE data = nullptr;
  win::HPALETTE pal = reinterpret_cast<win::HPALETTE>(1);
  d.SaveToClipboardFormat(format, data, pal);
  EXPECT_EQ(format, win::CF_DIB);
  EXPECT_EQ(pal, nullptr);
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(kernel::GlobalSize(data), 40u + 36u);
  ASSERT_TRUE(win::OpenClipboard(nullptr));
  win::EmptyClipboard();
  win::SetClipboardData(win::CF_DIB, data);
  TDIB e;
  e.LoadFromClipboardFormat(win::CF_DIB, win::GetClipboardData(win::CF_DIB), nullptr);
  win::EmptyClipboard();
  win::CloseClipboard();
  EXPECT_EQ(e.Width(), 4);
  EXPECT_EQ(RowOf(e, 1)[6], 0x56);
  EXPECT_EQ(RowOf(e, 1)[8], 0x12);
  EXPECT_TRUE(fw::TPicture::SupportsClipboardFormat(win::CF_DIB));
}

TEST(DIBDecode, DeltaEscapeMovesRightAndUp) {
  // Row 0: two pixels of 5, then a delta of (3, 1), then three pixels of 9; end of bitmap.
  const Bytes rle = {2, 5, 0, 2, 3, 1, 3, 9, 0, 1};
  TDIB d;
  ReadBody(d, Rle8Stream(10, 3, rle));
  d.SetPixel(-1, -1, 0);  // decodes
  EXPECT_FALSE(d.Image()->Compressed);
  const std::uint8_t* bottom = d.Bits();
  const std::uint8_t* next = d.Bits() + d.WidthBytes();
  EXPECT_EQ(bottom[0], 5);
  EXPECT_EQ(bottom[1], 5);
  EXPECT_EQ(next[4], 0);
  EXPECT_EQ(next[5], 9);
  EXPECT_EQ(next[7], 9);
  EXPECT_EQ(next[8], 0);
}

TEST(DIBDecode, Rle8AndRle4DecodeToTheirPixels) {
  TDIB d;
  ReadBody(d, Rle8Stream(160, 160, Rle8Picture(160, 160)));
  std::uint8_t* bits = d.GetBits();
  int wrong = 0;
  for (int y = 0; y < 160; ++y)
    for (int x = 0; x < 160; ++x) wrong += bits[y * d.WidthBytes() + x] != Rle8Pixel(160, x, y);
  EXPECT_EQ(wrong, 0);

  // RLE4: an encoded run alternates nibbles, an absolute run of 3 pixels takes 2 bytes + pad.
  const Bytes rle4 = {5, 0x12, 0, 3, 0xAB, 0xC0, 0, 0, 2, 0x77, 0, 1};
  HeaderSpec hs;
  hs.width = 8;
  hs.height = 2;
  hs.bitCount = 4;
  hs.compression = 2;
  hs.sizeImage = static_cast<std::uint32_t>(rle4.size());
  Bytes s = InfoHeader(hs);
  Append(s, ColorEntries(16));
  Append(s, rle4);
  TDIB f;
  ReadBody(f, s);
  EXPECT_TRUE(f.Image()->Compressed);
  const std::uint8_t* b4 = f.GetBits();
  EXPECT_EQ(b4[0], 0x12);
  EXPECT_EQ(b4[1], 0x12);
  EXPECT_EQ(b4[2], 0x1A);
  EXPECT_EQ(b4[3], 0xBC);
  EXPECT_EQ(b4[4], 0x77);
}

TEST(DIBDecode, RunsPastTheBitmapAreCutAtItsEdge) {
  // RLE8 runs continue in memory across the row end; what would pass the last row is dropped.
  const Bytes rle = {6, 1, 0, 0, 0, 2, 0, 1, 255, 2, 0, 3, 4, 4, 4, 0, 0, 2, 255, 255, 9, 9};
  TDIB d;
  ReadBody(d, Rle8Stream(4, 3, rle));
  const std::uint8_t* bits = d.GetBits();
  EXPECT_EQ(bits[0], 1);
  EXPECT_EQ(bits[5], 1);  // continued into the second row
  EXPECT_EQ(bits[6], 0);
  EXPECT_EQ(bits[8], 2);  // row 2 filled by the long run, nothing beyond
  EXPECT_EQ(bits[11], 2);

  // RLE4 drops pixels past the right edge and rows past the top.
  const Bytes rle4 = {9, 0x35, 0, 2, 0, 7, 4, 0x11};
  HeaderSpec hs;
  hs.width = 3;
  hs.height = 2;
  hs.bitCount = 4;
  hs.compression = 2;
  hs.sizeImage = static_cast<std::uint32_t>(rle4.size());
  Bytes s = InfoHeader(hs);
  Append(s, ColorEntries(16));
  Append(s, rle4);
  TDIB f;
  ReadBody(f, s);
  const std::uint8_t* b4 = f.GetBits();
  EXPECT_EQ(b4[0], 0x35);
  EXPECT_EQ(b4[1], 0x30);
  EXPECT_EQ(b4[2], 0);  // the pad stays untouched
}

TEST(DIBSharing, CopyOnWriteBetweenTwoBitmaps) {
  TDIB a;
  a.SetSize(4, 4, 8);
  std::memset(a.GetBits(), 3, static_cast<std::size_t>(a.Size()));
  TDIB b;
  b.Assign(&a);
  EXPECT_EQ(a.Image(), b.Image());
  EXPECT_EQ(a.Image()->RefCount(), 2);
  b.SetPixel(1, 1, 9);
  EXPECT_NE(a.Image(), b.Image());
  EXPECT_EQ(RowOf(a, 1)[1], 3);
  EXPECT_EQ(RowOf(b, 1)[1], 9);
  EXPECT_EQ(RowOf(b, 1)[2], 3);

  // A write outside the bitmap changes nothing but still makes the image private.
  TDIB c;
  c.Assign(&a);
  c.SetPixel(10, 10, 1);
  EXPECT_NE(c.Image(), a.Image());
  EXPECT_EQ(std::memcmp(c.Bits(), a.Bits(), static_cast<std::size_t>(a.Size())), 0);
}

TEST(DIBSharing, OnePaletteForIdenticalColourTablesFreedWithTheLast) {
  auto a = std::make_unique<TDIB>();
  auto b = std::make_unique<TDIB>();
  for (TDIB* d : {a.get(), b.get()}) {
    d->SetSize(2, 2, 8);
    d->ColorTable()[5] = win::RGBQUAD{1, 2, 3, 0};
    d->UpdatePalette();
  }
  EXPECT_NE(a->Image(), b->Image());
  win::HPALETTE pa = a->GetPalette();
  ASSERT_NE(pa, nullptr);
  EXPECT_EQ(b->GetPalette(), pa);
  win::PALETTEENTRY pe;
  ASSERT_EQ(gdi::GetPaletteEntries(pa, 5, 1, &pe), 1u);
  EXPECT_EQ(pe.peRed, 3);
  EXPECT_EQ(pe.peBlue, 1);
  a.reset();
  EXPECT_EQ(gdi::GetObjectType(pa), gdi::OBJ_PAL);
  b.reset();
  EXPECT_EQ(gdi::GetObjectType(pa), 0u);

  // True-colour images have no palette.
  TDIB t;
  t.SetSize(2, 2, 24);
  EXPECT_EQ(t.GetPalette(), nullptr);
}

TEST(DIBSharing, ChangingTheColourTableOfASharedImageCopiesIt) {
  TDIB a;
  a.SetSize(2, 2, 8);
  TDIB b;
  b.Assign(&a);
  b.ColorTable()[0] = win::RGBQUAD{9, 9, 9, 0};
  b.UpdatePalette();
  EXPECT_NE(a.Image(), b.Image());
  EXPECT_EQ(a.ColorTable()[0].rgbBlue, 0);
  EXPECT_EQ(b.Image()->ColorTable[0].rgbBlue, 9);
  win::RGBQUAD header;
  std::memcpy(&header, b.Image()->Header.get() + 40, 4);
  EXPECT_EQ(header.rgbBlue, 9);
  // Setting a GDI palette takes its colours and deletes it.
  std::vector<std::uint8_t> buf(sizeof(win::LOGPALETTE) + 4 * sizeof(win::PALETTEENTRY));
  auto* lp = reinterpret_cast<win::LOGPALETTE*>(buf.data());
  lp->palVersion = 0x300;
  lp->palNumEntries = 2;
  lp->palPalEntry[1] = win::PALETTEENTRY{200, 100, 50, 0};
  win::HPALETTE pal = gdi::CreatePalette(lp);
  a.SetPalette(pal);
  EXPECT_EQ(gdi::GetObjectType(pal), 0u);
  EXPECT_EQ(a.ColorTable()[1].rgbRed, 200);
  EXPECT_EQ(a.ColorTable()[1].rgbBlue, 50);
  EXPECT_EQ(a.Image()->ColorTable[1].rgbGreen, 100);
}

TEST(DIBPixels, SetPixelAtEveryBitCount) {
  TDIB d;
  d.SetSize(8, 2, 4);
  std::memset(d.GetBits(), 0, static_cast<std::size_t>(d.Size()));
  d.SetPixel(5, 0, 0xA);
  EXPECT_EQ(RowOf(d, 0)[2], 0x0A);
  d.SetPixel(4, 0, 0x3F);
  EXPECT_EQ(RowOf(d, 0)[2], 0xFA);
  EXPECT_EQ(RowOf(d, 1)[2], 0);

  d.SetSize(9, 1, 1);
  std::memset(d.GetBits(), 0, static_cast<std::size_t>(d.Size()));
  d.SetPixel(0, 0, 1);
  EXPECT_EQ(RowOf(d, 0)[0], 0x80);
  d.SetPixel(8, 0, 3);
  EXPECT_EQ(RowOf(d, 0)[1], 0x80);
  d.SetPixel(0, 0, 2);
  EXPECT_EQ(RowOf(d, 0)[0], 0);

  d.SetNextLayout(MakePixelLayout(5, 6, 5));
  d.SetSize(2, 1, 16);
  d.SetPixel(1, 0, 0xABCD1234);
  EXPECT_EQ(RowOf(d, 0)[2], 0x34);
  EXPECT_EQ(RowOf(d, 0)[3], 0x12);
  d.Clear();
  d.SetSize(2, 1, 24);
  d.SetPixel(1, 0, 0xFF112233);
  EXPECT_EQ(RowOf(d, 0)[3], 0x33);
  EXPECT_EQ(RowOf(d, 0)[5], 0x11);
  d.SetSize(2, 1, 32);
  d.SetPixel(0, 0, 0xFF112233);
  std::uint32_t v;
  std::memcpy(&v, RowOf(d, 0), 4);
  EXPECT_EQ(v, 0xFF112233u);
}

TEST(DIBSize, WidthAndHeightAloneAndPixelFormats) {
  TDIB d;
  d.SetWidth(10);
  EXPECT_EQ(d.Width(), 10);
  EXPECT_EQ(d.Height(), 1);
  EXPECT_EQ(d.BitCount(), 8);
  d.SetHeight(5);
  EXPECT_EQ(d.Height(), 5);
  EXPECT_EQ(d.Width(), 10);
  d.SetWidth(0);
  EXPECT_TRUE(d.Empty());
  EXPECT_EQ(d.Image(), EmptyImage());
  ExpectError<fw::EInvalidGraphicOperation>([&] { d.SetSize(3, 3, 12); }, "Bitcount in invalid (12)");
}

TEST(DIBSize, NextLayoutStaysSixteenBitAfterASixteenBitImage) {
  HeaderSpec hs;
  hs.width = 2;
  hs.height = 2;
  hs.bitCount = 16;
  Bytes b = InfoHeader(hs);
  b.resize(b.size() + 8, 0);
  TDIB d;
  ReadBody(d, b);
  TDIBSharedImage* before = d.Image();
  ExpectError<fw::EInvalidGraphicOperation>([&] { d.SetSize(4, 4, 24); }, "PixelFormat in invalid");
  EXPECT_EQ(d.Image(), before);
  d.SetSize(4, 4, 16);
  EXPECT_EQ(d.Layout().RedMask, 0x7C00);
  d.Clear();
  d.SetSize(4, 4, 24);  // a new image resets the layout
  EXPECT_EQ(d.BitCount(), 24);
}

TEST(DIBDraw, EightBitMemoryImageDrawnPixelByPixel) {
  TDIB d;
  d.SetSize(3, 2, 8);
  d.ColorTable()[1] = win::RGBQUAD{0x10, 0x20, 0x30, 0};
  d.ColorTable()[2] = win::RGBQUAD{0xFF, 0, 0, 0};
  d.UpdatePalette();
  std::memset(d.GetBits(), 0, static_cast<std::size_t>(d.Size()));
  d.SetPixel(0, 0, 1);
  d.SetPixel(2, 1, 2);
  EXPECT_TRUE(d.Image()->MemoryImage);
  Target t(5, 4);
  t.canvas.Draw(1, 1, &d);
  EXPECT_EQ(t.At(0, 0), 0xDEADBEEFu);
  EXPECT_EQ(t.At(1, 1), 0x302010u);
  EXPECT_EQ(t.At(2, 1), 0u);
  EXPECT_EQ(t.At(3, 2), 0x0000FFu);
  EXPECT_EQ(t.At(4, 2), 0xDEADBEEFu);
  EXPECT_EQ(gdi::GetStretchBltMode(t.dc), gdi::BLACKONWHITE);  // restored
  // Stretched twice as large, through a DIB section this time.
  d.Canvas();
  EXPECT_FALSE(d.Image()->MemoryImage);
  Target big(6, 4);
  big.canvas.StretchDraw(fw::Rect(0, 0, 6, 4), &d);
  EXPECT_EQ(big.At(0, 0), 0x302010u);
  EXPECT_EQ(big.At(1, 1), 0x302010u);
  EXPECT_EQ(big.At(2, 0), 0u);
  EXPECT_EQ(big.At(5, 3), 0x0000FFu);
  EXPECT_EQ(big.At(4, 2), 0x0000FFu);
}

TEST(DIBDraw, RleBitmapIsDrawnWithoutDecodingAndDecodedOnTheFirstWrite) {
  TDIB d;
  const Bytes in = Rle8Stream(160, 160, Rle8Picture(160, 160));
  ReadBody(d, in);
  Target t(160, 160);
  t.canvas.Draw(0, 0, &d);
  EXPECT_TRUE(d.Image()->Compressed);
  int wrong = 0;
  for (int y = 0; y < 160; ++y)
    for (int x = 0; x < 160; ++x)
      wrong += t.At(x, 159 - y) != Rgb(d.ColorTable()[Rle8Pixel(160, x, y)]);
  EXPECT_EQ(wrong, 0);
  d.SetPixel(0, 0, 1);
  EXPECT_FALSE(d.Image()->Compressed);
  EXPECT_TRUE(d.Image()->MemoryImage);
  EXPECT_EQ(RowOf(d, 0)[0], 1);
  EXPECT_EQ(RowOf(d, 0)[1], Rle8Pixel(160, 1, 159));
}

TEST(DIBDraw, CopyModeIsTheRasterOperation) {
  TDIB d;
  d.SetSize(1, 1, 24);
  d.SetPixel(0, 0, 0x0F0F0F);
  Target t(1, 1, 0x00F000F0);
  t.canvas.SetCopyMode(fw::cmSrcPaint);
  t.canvas.Draw(0, 0, &d);
  EXPECT_EQ(t.At(0, 0) & 0xFFFFFF, 0xFF0FFFu);
  t.canvas.SetCopyMode(fw::cmSrcAnd);
  t.canvas.Draw(0, 0, &d);
  EXPECT_EQ(t.At(0, 0) & 0xFFFFFF, 0x0F0F0Fu);
}

TEST(DIBCanvas, DrawingThroughTheCanvasMakesASectionAndUnsharesIt) {
  TDIB a;
  a.SetSize(4, 4, 24);
  std::memset(a.GetBits(), 0, static_cast<std::size_t>(a.Size()));
  TDIB b;
  b.Assign(&a);
  fw::TCanvas* c = b.Canvas();
  EXPECT_FALSE(b.Image()->MemoryImage);
  EXPECT_NE(b.Image(), a.Image());
  TDIBSharedImage* section = b.Image();
  c->Brush()->SetColor(fw::clRed);
  c->FillRect(fw::Rect(1, 1, 3, 3));
  EXPECT_EQ(b.Image(), section);  // private already: no further copy
  EXPECT_EQ(RowOf(b, 1)[3 + 2], 0xFF);
  EXPECT_EQ(RowOf(b, 1)[3 + 0], 0);
  EXPECT_EQ(RowOf(a, 1)[3 + 2], 0);
  EXPECT_EQ(c->Pixel(2, 2), fw::clRed);
  // Shared again, the next change through the canvas copies first.
  TDIB e;
  e.Assign(&b);
  c->SetPixel(0, 0, fw::clBlue);
  EXPECT_NE(b.Image(), e.Image());
  EXPECT_EQ(RowOf(b, 0)[0], 0xFF);
  EXPECT_EQ(RowOf(e, 0)[0], 0);
}

TEST(DIBSurfaceUse, MatchColorThroughAOneByOneBitmap) {
  // The surface layer converts a colour to a pixel value by drawing a 1 x 1 bitmap.
  TDIB d;
  d.SetSize(1, 1, 8);
  d.ColorTable()[0] = win::RGBQUAD{0xFF, 0xFF, 0xFF, 0};  // white
  d.UpdatePalette();
  d.SetPixel(0, 0, 0);
  std::uint16_t px = 0;
  gdi::MemoryFormat f;
  f.Width = 1;
  f.Height = 1;
  f.BitCount = 16;
  f.RedMask = 0xF800;
  f.GreenMask = 0x7E0;
  f.BlueMask = 0x1F;
  f.Pitch = 2;
  f.Bits = &px;
  win::HDC dc = gdi::CreateMemoryFormatDC(f);
  {
    fw::TCanvas c;
    c.SetHandle(dc);
    c.Draw(0, 0, &d);
    EXPECT_EQ(px, 0xFFFF);
    d.ColorTable()[0] = win::RGBQUAD{0, 0x80, 0xFF, 0};  // orange
    d.UpdatePalette();
    c.Draw(0, 0, &d);
    EXPECT_EQ(px, (31 << 11) | (32 << 5));
  }
  gdi::DeleteDC(dc);
  // In 8-bit modes the result is the nearest palette index.
  std::uint8_t idx = 0;
  win::RGBQUAD pal[4] = {{0, 0, 0, 0}, {0, 0, 250, 0}, {0, 200, 0, 0}, {255, 0, 0, 0}};
  f.BitCount = 8;
  f.Pitch = 1;
  f.Bits = &idx;
  f.ColorTable = pal;
  f.ColorCount = 4;
  dc = gdi::CreateMemoryFormatDC(f);
  {
    fw::TCanvas c;
    c.SetHandle(dc);
    d.ColorTable()[0] = win::RGBQUAD{0, 0, 0xFF, 0};
    d.UpdatePalette();
    c.Draw(0, 0, &d);
    EXPECT_EQ(idx, 1);
  }
  gdi::DeleteDC(dc);
}

TEST(DIBAssign, FromFrameworkBitmapsAndOtherGraphics) {
  fw::TBitmap bmp;
  bmp.SetPixelFormat(fw::pf16bit);
  bmp.SetSize(3, 2);
  bmp.Canvas()->Brush()->SetColor(fw::clLime);
  bmp.Canvas()->FillRect(fw::Rect(0, 0, 3, 2));
  TDIB d;
  d.Assign(&bmp);
  EXPECT_EQ(d.Width(), 3);
  EXPECT_EQ(d.BitCount(), 16);
  EXPECT_EQ(d.Layout().GreenMask, 0x7E0);
  std::uint16_t v;
  std::memcpy(&v, RowOf(d, 1) + 2, 2);
  EXPECT_EQ(v, 0x7E0);
  // A 16-bit image makes 24 bits the wrong format until another bitmap resets the layout.
  fw::TBitmap device;
  device.SetSize(2, 2);
  device.Canvas()->Brush()->SetColor(fw::clBlue);
  device.Canvas()->FillRect(fw::Rect(0, 0, 2, 2));
  d.Assign(&device);
  EXPECT_EQ(d.BitCount(), 32);
  EXPECT_EQ(RowOf(d, 0)[0], 0xFF);
  EXPECT_EQ(RowOf(d, 0)[2], 0);

  // Any other graphic is drawn into a 24-bit copy; a picture gives its graphic.
  TDIB src;
  src.SetSize(2, 1, 8);
  src.ColorTable()[4] = win::RGBQUAD{1, 2, 3, 0};
  src.UpdatePalette();
  src.SetPixel(1, 0, 4);
  fw::TPicture pic;
  pic.SetGraphic(&src);
  TDIB e;
  e.Assign(&pic);
  EXPECT_EQ(e.Image(), static_cast<TDIB*>(pic.Graphic())->Image());
  fw::TBitmap b8;
  b8.Assign(&src);
  TDIB g;
  g.Clear();
  g.Assign(static_cast<fw::TGraphic*>(&b8));
  EXPECT_GE(g.BitCount(), 8);
  e.Assign(nullptr);
  EXPECT_TRUE(e.Empty());
  fw::TPicture none;
  g.Assign(&none);
  EXPECT_TRUE(g.Empty());
  fw::TBrush brush;
  EXPECT_THROW(g.Assign(&brush), fw::EConvertError);
}

TEST(DIBRegistration, FoundByNameExtensionAndClipboardFormat) {
  const fw::TGraphicClass* byName = fw::TPicture::FindGraphicClass("TDIB");
  ASSERT_NE(byName, nullptr);
  EXPECT_EQ(byName->Info, &TDIB::StaticClass());
  ASSERT_NE(fw::TPicture::FindFileFormat("dib"), nullptr);
  EXPECT_EQ(fw::TPicture::FindFileFormat("DIB")->Info, &TDIB::StaticClass());
  EXPECT_EQ(fw::TPicture::FileFormatDescription("dib"), "Device Independent Bitmap");
  EXPECT_EQ(fw::TPicture::FindClipboardFormat(win::CF_DIB)->Info, &TDIB::StaticClass());
}

TEST(DIBPicture, StoredPictureDataNamesTheClass) {
  TDIB d;
  d.SetSize(2, 2, 24);
  d.SetPixel(0, 0, 0xABCDEF);
  fw::TPicture p;
  p.SetGraphic(&d);
  TMemoryStream m;
  p.WriteData(m);
  const auto* bytes = static_cast<const std::uint8_t*>(m.Memory());
  ASSERT_GT(m.Size(), 5);
  EXPECT_EQ(bytes[0], 4);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes + 1), 4), "TDIB");
  EXPECT_EQ(m.Size(), 5 + 40 + 16);
  m.SetPosition(0);
  fw::TPicture q;
  q.ReadData(m);
  auto* back = dynamic_cast<TDIB*>(q.Graphic());
  ASSERT_NE(back, nullptr);
  EXPECT_TRUE(back->Image()->MemoryImage);
  EXPECT_EQ(RowOf(*back, 0)[2], 0xAB);

  // A broken body leaves the picture as it was.
  Bytes bad = {4, 'T', 'D', 'I', 'B', 108, 0, 0, 0};
  TBytesStream s(bad.data(), bad.size());
  EXPECT_THROW(q.ReadData(s), fw::EInvalidGraphic);
  EXPECT_EQ(q.Graphic(), back);
}

namespace {

class TRecordingFiler : public fw::TFiler {
 public:
  struct Binary {
    std::string name;
    StreamProc read, write;
    bool hasData;
  };
  std::vector<Binary> binaries;
  void DefineProperty(const std::string&, ReaderProc, WriterProc, bool) override {}
  void DefineBinaryProperty(const std::string& Name, StreamProc ReadData, StreamProc WriteData, bool HasData) override {
    binaries.push_back({Name, std::move(ReadData), std::move(WriteData), HasData});
  }
};

}  // namespace

TEST(DIBStoredForm, OlderDibPropertyIsReadInTheFileFormAndNeverWritten) {
  TDIB src;
  src.SetSize(2, 1, 8);
  src.SetPixel(1, 0, 42);
  TMemoryStream file;
  src.WriteFile(file);
  file.SetPosition(0);

  TDIB d;
  TRecordingFiler f;
  d.DefineProperties(f);
  ASSERT_EQ(f.binaries.size(), 2u);
  EXPECT_EQ(f.binaries[0].name, "Data");
  EXPECT_FALSE(f.binaries[0].hasData);  // empty
  EXPECT_EQ(f.binaries[1].name, "DIB");
  EXPECT_FALSE(f.binaries[1].hasData);
  EXPECT_FALSE(f.binaries[1].write);
  f.binaries[1].read(file);
  EXPECT_EQ(d.Width(), 2);
  EXPECT_EQ(RowOf(d, 0)[1], 42);
  // "Data" is the stored form, without the file header.
  TRecordingFiler g;
  d.DefineProperties(g);
  EXPECT_TRUE(g.binaries[0].hasData);
  TMemoryStream body;
  g.binaries[0].write(body);
  EXPECT_EQ(body.Size(), file.Size() - 14);
}

// ---- BMP files as other programs write them ---------------------------------------------------

namespace {

// A file form: file header with the given pixel offset (0: right after the body's headers and
// table, as WriteFile puts it), then the body, `gap` filler bytes, the pixels.
Bytes FileOf(const Bytes& headers, const Bytes& pixels, std::size_t gap = 0, std::int64_t offset = -1) {
  Bytes f = {'B', 'M'};
  Put32(f, static_cast<std::uint32_t>(14 + headers.size() + gap + pixels.size()));
  Put32(f, 0);
  Put32(f, static_cast<std::uint32_t>(offset >= 0 ? offset : std::int64_t(14 + headers.size() + gap)));
  Append(f, headers);
  f.insert(f.end(), gap, 0xEE);
  Append(f, pixels);
  return f;
}

void ReadFileForm(TDIB& d, const Bytes& b) {
  TBytesStream s(b.data(), b.size());
  d.ReadFile(s);
}

Bytes BitFieldHeaders(int w, int h, int bits, std::uint32_t r, std::uint32_t g, std::uint32_t b) {
  HeaderSpec hs;
  hs.width = w;
  hs.height = h;
  hs.bitCount = static_cast<std::uint16_t>(bits);
  hs.compression = 3;
  Bytes out = InfoHeader(hs);
  Put32(out, r);
  Put32(out, g);
  Put32(out, b);
  return out;
}

}  // namespace

TEST(DIBFileForm, PixelsAreReadWhereTheFileHeaderPutsThem) {
  HeaderSpec hs;
  hs.width = 3;
  hs.height = 2;
  const Bytes headers = [&] {
    Bytes b = InfoHeader(hs);
    Append(b, ColorEntries(256));
    return b;
  }();
  const Bytes pixels = {1, 2, 3, 0, 4, 5, 6, 0};  // bottom row first
  for (std::size_t gap : {0u, 1u, 10u, 333u}) {
    TDIB d;
    ReadFileForm(d, FileOf(headers, pixels, gap));
    ASSERT_EQ(d.Width(), 3) << gap;
    EXPECT_EQ(RowOf(d, 0)[0], 4) << gap;
    EXPECT_EQ(RowOf(d, 0)[2], 6) << gap;
    EXPECT_EQ(RowOf(d, 1)[1], 2) << gap;
    EXPECT_EQ(d.ColorTable()[5].rgbRed, 36);
  }
  // A true-colour file and an RLE8 file with gaps: the compressed bytes are those after the gap.
  hs.bitCount = 24;
  const Bytes rgb = {1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0, 11, 12, 13, 14, 15, 16, 17, 18, 19, 0, 0, 0};
  TDIB t;
  ReadFileForm(t, FileOf(InfoHeader(hs), rgb, 7));
  EXPECT_EQ(RowOf(t, 1)[0], 1);
  EXPECT_EQ(RowOf(t, 0)[8], 19);
  const Bytes rle = Rle8Picture(16, 4);
  Bytes rleHeaders = Rle8Stream(16, 4, rle);
  rleHeaders.resize(rleHeaders.size() - rle.size());
  TDIB r;
  ReadFileForm(r, FileOf(rleHeaders, rle, 6));
  ASSERT_TRUE(r.Image()->Compressed);
  EXPECT_EQ(Bytes(r.Image()->Bits, r.Image()->Bits + rle.size()), rle);
  r.SetPixel(15, 3, 0);  // decodes
  EXPECT_EQ(RowOf(r, 1)[5], Rle8Pixel(16, 5, 2));
}

TEST(DIBFileForm, AnOffsetIntoTheHeadersOrTheTableIsRefusedAndOnePastTheEndIsAShortRead) {
  HeaderSpec hs;
  hs.width = 2;
  hs.height = 1;
  Bytes headers = InfoHeader(hs);
  Append(headers, ColorEntries(256));
  const Bytes pixels = {9, 8, 0, 0};
  TDIB d;
  d.SetSize(5, 5, 8);
  TDIBSharedImage* before = d.Image();
  for (std::int64_t offset : {0, 13, 14, 40, 54, 54 + 1023}) {
    ExpectError<fw::EInvalidGraphic>([&] { ReadFileForm(d, FileOf(headers, pixels, 0, offset)); }, "DIB is invalid");
    EXPECT_EQ(d.Image(), before) << offset;
  }
  // Past the end of the stream: the pixels are not there.
  ExpectError<fw::EReadError>([&] { ReadFileForm(d, FileOf(headers, pixels, 0, 14 + 1064 + 5)); },
                              "Stream read error");
  EXPECT_EQ(d.Image(), before);
  ReadFileForm(d, FileOf(headers, pixels, 0, 14 + 1064));
  EXPECT_EQ(RowOf(d, 0)[0], 9);
}

// Bit fields with the usual widths in other places come out in the layout's places, so the
// colours are the file's.
TEST(DIBStoredForm, BitFieldsElsewhereAreMovedToTheLayoutsPlaces) {
  struct Case {
    int bits;
    std::uint32_t r, g, b;
    std::uint32_t stored;  // one pixel as the file has it
    std::uint32_t loaded;  // the same in the layout's places
    std::uint32_t greenMask;
    std::uint32_t rgb;  // drawn
  } cases[] = {
      // 5-6-5 with red and blue swapped: full red.
      {16, 0x001F, 0x07E0, 0xF800, 0x001F, 0xF800, 0x7E0, 0xFF0000},
      // 5-5-5 one bit up: full red, half green.
      {16, 0xF800, 0x07C0, 0x003E, 0xF800 | (16 << 6), 0x7C00 | (16 << 5), 0x3E0, 0xFF8400},
      // 8-8-8 as blue, green, red from the bottom up.
      {32, 0x0000FF, 0x00FF00, 0xFF0000, 0x00332211, 0x00112233, 0xFF00, 0x112233},
      // 8-8-8 in the top three bytes.
      {32, 0xFF000000, 0x00FF0000, 0x0000FF00, 0x112233AA, 0x00112233, 0xFF00, 0x112233},
  };
  for (const Case& c : cases) {
    for (int height : {2, -2}) {
      Bytes s = BitFieldHeaders(2, height, c.bits, c.r, c.g, c.b);
      const int bytes = c.bits / 8;
      for (int i = 0; i < 4; ++i)
        for (int k = 0; k < bytes; ++k) s.push_back(static_cast<std::uint8_t>(c.stored >> (8 * k)));
      TDIB d;
      ReadBody(d, s);
      ASSERT_EQ(d.Width(), 2);
      EXPECT_EQ(static_cast<std::uint32_t>(d.Layout().GreenMask), c.greenMask) << c.bits;
      std::uint32_t v = 0;
      std::memcpy(&v, RowOf(d, 1) + bytes, bytes);
      EXPECT_EQ(v, c.loaded) << std::hex << c.r << " " << c.g << " " << c.b << " " << height;
      Target t(2, 2);
      t.canvas.Draw(0, 0, &d);
      EXPECT_EQ(t.At(1, 0), c.rgb) << std::hex << c.r << " " << c.g << " " << c.b;
      // Written back, the masks are the layout's and the pixels stay where they now are.
      const Bytes out = WriteBody(d);
      std::uint32_t red;
      std::memcpy(&red, out.data() + 40, 4);
      EXPECT_EQ(red, static_cast<std::uint32_t>(d.Layout().RedMask));
    }
  }
  // Channels that share bits, lie outside the pixel or are not one run of bits have no right
  // picture: refused.
  for (const auto& m : std::vector<std::array<std::uint32_t, 4>>{{32, 0xFF, 0xFF, 0xFF0000},
                                                                 {32, 0xFF | 0x1000000u, 0xFF00, 0xFF0000},
                                                                 {16, 0x1F0000, 0x7E0, 0x1F},
                                                                 {16, 0xF800, 0x7E0, 0x3E}}) {
    Bytes s = BitFieldHeaders(1, 1, static_cast<int>(m[0]), m[1], m[2], m[3]);
    s.resize(s.size() + 4, 0);
    TDIB d;
    ExpectError<fw::EInvalidGraphic>([&] { ReadBody(d, s); }, "DIB is invalid");
  }
}

TEST(DIBStoredForm, ColourTablesOfMoreThan256EntriesAreSkippedPastThe256th) {
  for (int bits : {8, 24}) {
    HeaderSpec hs;
    hs.width = 2;
    hs.height = 1;
    hs.bitCount = static_cast<std::uint16_t>(bits);
    hs.clrUsed = 300;
    Bytes headers = InfoHeader(hs);
    Append(headers, ColorEntries(300));
    const Bytes pixels = bits == 8 ? Bytes{7, 250, 0, 0} : Bytes{1, 2, 3, 4, 5, 6, 0, 0};
    Bytes body = headers;
    Append(body, pixels);
    TDIB stored, file;
    ReadBody(stored, body);
    ReadFileForm(file, FileOf(headers, pixels));
    for (TDIB* d : {&stored, &file}) {
      ASSERT_EQ(d->Width(), 2) << bits;
      EXPECT_EQ(Bytes(RowOf(*d, 0), RowOf(*d, 0) + pixels.size()), pixels) << bits;
      EXPECT_EQ(d->ColorTable()[255].rgbRed, static_cast<std::uint8_t>(255 * 7 + 1));
    }
  }
  // A count the stream cannot hold is a short read, not pixels taken from the table.
  HeaderSpec hs;
  hs.bitCount = 8;
  hs.clrUsed = 0x10000000;
  Bytes b = InfoHeader(hs);
  Append(b, ColorEntries(300));
  TDIB d;
  ExpectError<fw::EReadError>([&] { ReadBody(d, b); }, "Stream read error");
}

// What WriteFile writes reads back byte for byte, in every format and compressed.
TEST(DIBFileForm, WrittenFilesReadBackByteForByte) {
  std::vector<std::unique_ptr<TDIB>> dibs;
  for (int bits : {1, 4, 8, 16, 24, 32}) {
    for (bool wide : {false, true}) {
      auto d = std::make_unique<TDIB>();
      if (bits == 16) d->SetNextLayout(MakePixelLayout(5, wide ? 6 : 5, 5));
      d->SetSize(wide ? 37 : 5, 3, bits);
      std::uint8_t* p = d->GetBits();
      for (int i = 0; i < d->Size(); ++i) p[i] = static_cast<std::uint8_t>(i * 37 + bits);
      for (int i = 0; i < 256; ++i) d->ColorTable()[i] = win::RGBQUAD{std::uint8_t(i), std::uint8_t(i * 3), 9, 0};
      d->UpdatePalette();
      dibs.push_back(std::move(d));
    }
  }
  auto rle = std::make_unique<TDIB>();
  ReadBody(*rle, Rle8Stream(160, 160, Rle8Picture(160, 160)));
  dibs.push_back(std::move(rle));
  for (const auto& d : dibs) {
    TMemoryStream m;
    d->WriteFile(m);
    m.SetPosition(0);
    TDIB e;
    e.ReadFile(m);
    TDIBSharedImage& a = *d->Image();
    TDIBSharedImage& b = *e.Image();
    ASSERT_EQ(a.HeaderSize, b.HeaderSize) << d->BitCount();
    EXPECT_EQ(std::memcmp(a.Header.get(), b.Header.get(), static_cast<std::size_t>(a.HeaderSize)), 0) << d->BitCount();
    EXPECT_EQ(a.Compressed, b.Compressed);
    const std::size_t n = a.InfoHeader().biSizeImage;
    ASSERT_EQ(n, b.InfoHeader().biSizeImage);
    EXPECT_EQ(std::memcmp(a.Bits, b.Bits, n), 0) << d->BitCount();
    EXPECT_EQ(std::memcmp(d->ColorTable().data(), e.ColorTable().data(), 4 * static_cast<std::size_t>(a.ColorCount)), 0);
  }
}
