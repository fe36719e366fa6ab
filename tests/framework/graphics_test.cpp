#include "framework/Graphics.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "framework/ClassBuilder.h"
#include "platform/clipboard/Clipboard.h"
#include "platform/gdi/Gdi.h"

using namespace fw;

namespace {

// Records the properties an object defines for its stored form.
class TRecordingFiler : public TFiler {
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

std::vector<std::uint8_t> Contents(TMemoryStream& m) {
  const auto* p = static_cast<const std::uint8_t*>(m.Memory());
  return std::vector<std::uint8_t>(p, p + m.Size());
}

TColor PixelOf(TBitmap& b, int x, int y) { return b.Canvas()->Pixel(x, y); }

}  // namespace

TEST(Canvas, AnnouncesChangesAroundEachDrawing) {
  TBitmap b;
  b.SetPixelFormat(pf24bit);
  b.SetSize(4, 4);
  std::vector<std::string> log;
  TCanvas* c = b.Canvas();
  c->OnChanging = [&](TObject*) { log.push_back("changing"); };
  c->OnChange = [&](TObject*) { log.push_back("change"); };
  c->Brush()->SetColor(clRed);
  c->FillRect(Rect(0, 0, 2, 2));
  EXPECT_EQ(log, (std::vector<std::string>{"changing", "change"}));
  EXPECT_EQ(c->Pixel(1, 1), clRed);
  EXPECT_EQ(c->Pixel(2, 2), clBlack);
  EXPECT_EQ(c->Pixel(9, 9), -1);
  c->SetPixel(3, 3, clWindow);  // system colours are resolved
  EXPECT_EQ(c->Pixel(3, 3), ColorToRGB(clWindow));
  c->Pen()->SetColor(clBlue);
  c->MoveTo(0, 3);
  c->LineTo(3, 3);
  EXPECT_EQ(c->Pixel(2, 3), clBlue);
  EXPECT_EQ(c->Pixel(3, 3), ColorToRGB(clWindow));  // the end point is not drawn
  // CopyRect stretches a rectangle of another canvas with the copy mode.
  TBitmap d;
  d.SetPixelFormat(pf32bit);
  d.SetSize(8, 8);
  d.Canvas()->CopyRect(Rect(0, 0, 8, 8), *c, Rect(0, 0, 2, 2));
  EXPECT_EQ(PixelOf(d, 7, 7), clRed);
  d.Canvas()->SetCopyMode(cmNotSrcCopy);
  d.Canvas()->CopyRect(Rect(0, 0, 1, 1), *c, Rect(0, 0, 1, 1));
  EXPECT_EQ(PixelOf(d, 0, 0), 0xFFFF00);
  // A canvas without a DC cannot draw.
  TCanvas bare;
  EXPECT_THROW(bare.FillRect(Rect(0, 0, 1, 1)), EInvalidOperation);
}

TEST(Bitmap, SizesFormatsAndHandles) {
  TBitmap b;
  EXPECT_TRUE(b.Empty());
  EXPECT_EQ(b.Handle(), nullptr);
  b.SetSize(5, 3);
  EXPECT_EQ(b.PixelFormat(), pfDevice);
  win::DIBSECTION ds{};
  EXPECT_EQ(gdi::GetObject(b.Handle(), sizeof ds, &ds), static_cast<int>(sizeof(win::BITMAP)));
  EXPECT_EQ(ds.dsBm.bmBitsPixel, 32);
  b.Canvas()->Brush()->SetColor(clLime);
  b.Canvas()->FillRect(Rect(0, 0, 5, 3));
  b.SetPixelFormat(pf16bit);  // content kept
  EXPECT_EQ(gdi::GetObject(b.Handle(), sizeof ds, &ds), static_cast<int>(sizeof ds));
  EXPECT_EQ(ds.dsBitfields[1], 0x7E0u);
  EXPECT_EQ(PixelOf(b, 4, 2), clLime);
  b.SetWidth(7);
  EXPECT_EQ(PixelOf(b, 4, 2), clLime);
  EXPECT_EQ(b.Width(), 7);
  auto* row = static_cast<std::uint16_t*>(b.ScanLine(0));
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(row[0], 0x7E0);
  EXPECT_EQ(b.ScanLine(3), nullptr);
  win::HBITMAP h = b.ReleaseHandle();
  EXPECT_TRUE(b.Empty());
  TBitmap c;
  c.SetHandle(h);  // taken over
  EXPECT_EQ(c.Width(), 7);
  EXPECT_EQ(c.PixelFormat(), pf16bit);
}

TEST(Bitmap, FileFormRoundTripsWithPalette) {
  TBitmap b;
  b.SetPixelFormat(pf8bit);
  std::vector<std::uint8_t> buf(sizeof(win::LOGPALETTE) + 256 * sizeof(win::PALETTEENTRY));
  auto* lp = reinterpret_cast<win::LOGPALETTE*>(buf.data());
  lp->palVersion = 0x300;
  lp->palNumEntries = 256;
  for (int i = 0; i < 256; ++i) lp->palPalEntry[i] = win::PALETTEENTRY{static_cast<std::uint8_t>(i), 7, static_cast<std::uint8_t>(255 - i), 0};
  b.SetPalette(gdi::CreatePalette(lp));
  b.SetSize(3, 2);
  auto* row = static_cast<std::uint8_t*>(b.ScanLine(1));
  row[0] = 10;
  row[2] = 200;
  TMemoryStream m;
  b.SaveToStream(m);
  EXPECT_EQ(m.Size(), 14 + 40 + 1024 + 8);
  m.SetPosition(0);
  TBitmap c;
  c.LoadFromStream(m);
  EXPECT_EQ(c.PixelFormat(), pf8bit);
  EXPECT_EQ(static_cast<std::uint8_t*>(c.ScanLine(1))[2], 200);
  ASSERT_NE(c.GetPalette(), nullptr);
  win::PALETTEENTRY pe;
  gdi::GetPaletteEntries(c.GetPalette(), 10, 1, &pe);
  EXPECT_EQ(pe.peRed, 10);
  EXPECT_EQ(pe.peBlue, 245);
  EXPECT_EQ(PixelOf(c, 0, 1), static_cast<TColor>(win::RGB(10, 7, 245)));
  // The stored form is the file after its length.
  TMemoryStream data;
  c.WriteData(data);
  std::int32_t len;
  std::memcpy(&len, data.Memory(), 4);
  EXPECT_EQ(len, m.Size());
  data.SetPosition(0);
  TBitmap d;
  d.ReadData(data);
  EXPECT_EQ(d.Width(), 3);
}

TEST(Bitmap, RefusesMalformedFiles) {
  TBitmap b;
  b.SetSize(2, 2);
  auto load = [&](std::vector<std::uint8_t> bytes) {
    TBytesStream s(bytes.data(), bytes.size());
    b.LoadFromStream(s);
  };
  std::vector<std::uint8_t> head = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0};
  auto info = [](std::int32_t w, std::int32_t h, std::uint16_t bits, std::uint32_t comp) {
    std::vector<std::uint8_t> v(40, 0);
    v[0] = 40;
    std::memcpy(&v[4], &w, 4);
    std::memcpy(&v[8], &h, 4);
    v[12] = 1;
    std::memcpy(&v[14], &bits, 2);
    std::memcpy(&v[16], &comp, 4);
    return v;
  };
  auto file = [&](std::vector<std::uint8_t> i, std::size_t extra) {
    std::vector<std::uint8_t> f = head;
    f.insert(f.end(), i.begin(), i.end());
    f.resize(f.size() + extra, 0);
    return f;
  };
  EXPECT_THROW(load({'X', 'M', 0, 0}), EReadError);
  EXPECT_THROW(load(file(info(2, 2, 24, 0), 0)), EReadError);
  std::vector<std::uint8_t> notBm = file(info(2, 2, 24, 0), 16);
  notBm[0] = 'Q';
  EXPECT_THROW(load(notBm), EInvalidGraphic);
  EXPECT_THROW(load(file(info(2, 2, 7, 0), 64)), EInvalidGraphic);
  EXPECT_THROW(load(file(info(-2, 2, 24, 0), 64)), EInvalidGraphic);
  EXPECT_THROW(load(file(info(2, 2, 24, 1), 64)), EInvalidGraphic);
  EXPECT_THROW(load(file(info(1 << 20, 1 << 20, 32, 0), 64)), EInvalidGraphic);
  EXPECT_EQ(b.Width(), 2);  // what failed to load changed nothing
  // A top-down 24-bit file loads.
  load(file(info(2, -1, 24, 0), 8));
  EXPECT_EQ(b.Height(), 1);
}

TEST(Bitmap, ClipboardCopiesTheBitmap) {
  TBitmap b;
  b.SetPixelFormat(pf24bit);
  b.SetSize(2, 2);
  b.Canvas()->SetPixel(1, 1, clYellow);
  win::UINT fmt = 0;
  win::HANDLE data = nullptr;
  win::HPALETTE pal = nullptr;
  b.SaveToClipboardFormat(fmt, data, pal);
  EXPECT_EQ(fmt, win::CF_BITMAP);
  ASSERT_NE(data, nullptr);
  EXPECT_NE(data, b.Handle());
  TPicture p;
  p.LoadFromClipboardFormat(fmt, data, pal);
  auto* copy = dynamic_cast<TBitmap*>(p.Graphic());
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(PixelOf(*copy, 1, 1), clYellow);
  EXPECT_EQ(gdi::GetObjectType(data), gdi::OBJ_BITMAP);  // the given handle is left alone
  gdi::DeleteObject(data);
  EXPECT_THROW(p.LoadFromClipboardFormat(12345, nullptr, nullptr), EInvalidGraphic);
}

namespace {

// A graphic class of its own, to see the registries at work.
class TTestGraphic : public TGraphic {
  FW_CLASS(TTestGraphic, TGraphic)
 public:
  void Draw(TCanvas&, const TRect&) override {}
  bool GetEmpty() const override { return payload.empty(); }
  int GetHeight() const override { return 1; }
  int GetWidth() const override { return static_cast<int>(payload.size()); }
  void SetHeight(int) override {}
  void SetWidth(int) override {}
  void LoadFromStream(TStream& s) override {
    const auto n = s.Size() - s.Position();
    payload.resize(static_cast<std::size_t>(n));
    s.ReadBuffer(payload.data(), n);
  }
  void SaveToStream(TStream& s) override { s.WriteBuffer(payload.data(), static_cast<std::int64_t>(payload.size())); }
  void LoadFromClipboardFormat(win::UINT, win::HANDLE, win::HPALETTE) override {}
  void SaveToClipboardFormat(win::UINT&, win::HANDLE&, win::HPALETTE&) override {}
  void Assign(TPersistent* Source) override {
    if (auto* t = dynamic_cast<TTestGraphic*>(Source)) {
      payload = t->payload;
      Changed(this);
      return;
    }
    TGraphic::Assign(Source);
  }
  std::string payload;
};
FW_REGISTER(TTestGraphic, nullptr)

}  // namespace

TEST(Picture, RegistriesByNameExtensionAndClipboardFormat) {
  EXPECT_EQ(TPicture::FindGraphicClass("TBitmap")->Info, &TBitmap::StaticClass());
  EXPECT_EQ(TPicture::FindFileFormat(".BMP")->Info, &TBitmap::StaticClass());
  EXPECT_EQ(TPicture::FindClipboardFormat(win::CF_BITMAP)->Info, &TBitmap::StaticClass());
  TPicture::RegisterFileFormat("tst", "Test pictures", GraphicClass<TTestGraphic>());
  TPicture::RegisterClipboardFormat(0xC001, GraphicClass<TTestGraphic>());
  EXPECT_EQ(TPicture::FindGraphicClass("ttestgraphic")->Info, &TTestGraphic::StaticClass());
  EXPECT_EQ(TPicture::FileFormatDescription("tst"), "Test pictures");
  EXPECT_TRUE(TPicture::SupportsClipboardFormat(0xC001));
  TPicture::UnregisterGraphicClass(TTestGraphic::StaticClass());
  EXPECT_EQ(TPicture::FindGraphicClass("TTestGraphic"), nullptr);
  EXPECT_EQ(TPicture::FindFileFormat("tst"), nullptr);
  EXPECT_FALSE(TPicture::SupportsClipboardFormat(0xC001));
}

TEST(Picture, StoredDataCarriesTheClassName) {
  TPicture::RegisterGraphicClass(GraphicClass<TTestGraphic>());
  TTestGraphic g;
  g.payload = "hello";
  TPicture p;
  int changes = 0;
  p.OnChange = [&](TObject*) { ++changes; };
  p.SetGraphic(&g);
  EXPECT_NE(p.Graphic(), &g);  // a copy
  EXPECT_EQ(p.Width(), 5);
  EXPECT_EQ(changes, 1);
  static_cast<TTestGraphic*>(p.Graphic())->payload = "hello!";
  static_cast<TTestGraphic*>(p.Graphic())->SetModified(true);  // the graphic's changes reach the picture
  EXPECT_EQ(changes, 2);

  TRecordingFiler filer;
  p.DefineProperties(filer);
  ASSERT_EQ(filer.binaries.size(), 1u);
  EXPECT_EQ(filer.binaries[0].name, "Data");
  EXPECT_TRUE(filer.binaries[0].hasData);
  TMemoryStream m;
  filer.binaries[0].write(m);
  const std::string expect = std::string("\x0CTTestGraphic") + "hello!";
  const auto bytes = Contents(m);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), expect);

  m.SetPosition(0);
  TPicture q;
  q.ReadData(m);
  ASSERT_NE(dynamic_cast<TTestGraphic*>(q.Graphic()), nullptr);
  EXPECT_EQ(static_cast<TTestGraphic*>(q.Graphic())->payload, "hello!");

  // An unknown class is refused and the picture keeps what it had.
  const std::string unknown = "\x05TNope123";
  TBytesStream s(unknown.data(), unknown.size());
  try {
    q.ReadData(s);
    ADD_FAILURE();
  } catch (const EClassNotFound& e) {
    EXPECT_EQ(e.Message(), "Class TNope not found");
  }
  EXPECT_NE(q.Graphic(), nullptr);

  // No graphic: a zero length, and nothing to store.
  q.Assign(nullptr);
  EXPECT_EQ(q.Graphic(), nullptr);
  TRecordingFiler empty;
  q.DefineProperties(empty);
  EXPECT_FALSE(empty.binaries[0].hasData);
  TMemoryStream z;
  q.WriteData(z);
  EXPECT_EQ(Contents(z), std::vector<std::uint8_t>{0});
  z.SetPosition(0);
  q.ReadData(z);
  EXPECT_EQ(q.Graphic(), nullptr);

  // Assigning pictures and graphics; anything else is refused.
  q.Assign(&p);
  EXPECT_EQ(static_cast<TTestGraphic*>(q.Graphic())->payload, "hello!");
  TBitmap* bmp = q.Bitmap();
  EXPECT_EQ(q.Graphic(), bmp);
  TBrush brush;
  EXPECT_THROW(q.Assign(&brush), EConvertError);
  TPicture::UnregisterGraphicClass(TTestGraphic::StaticClass());
}

TEST(Graphic, DataPropertyUsesTheStoredForm) {
  TBitmap b;
  TRecordingFiler f;
  b.DefineProperties(f);
  ASSERT_EQ(f.binaries.size(), 1u);
  EXPECT_EQ(f.binaries[0].name, "Data");
  EXPECT_FALSE(f.binaries[0].hasData);
  b.SetSize(1, 1);
  TRecordingFiler g;
  b.DefineProperties(g);
  EXPECT_TRUE(g.binaries[0].hasData);
}
