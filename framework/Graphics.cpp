#include "framework/Graphics.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <map>

#include "framework/ClassBuilder.h"
#include "platform/gdi/Gdi.h"
#include "platform/kernel/GlobalMemory.h"
#include "platform/win/Clipboard.h"

namespace fw {

FW_REGISTER(TGraphicsObject, nullptr)
FW_REGISTER(TBrush, [](TClassBuilder<TBrush>& b) {
  b.Color("Color", &TBrush::Color, &TBrush::SetColor).WithDefault(clWhite);
  b.Enum("Style", {"bsSolid", "bsClear"}, &TBrush::Style, &TBrush::SetStyle).WithDefault(0);
})
FW_REGISTER(TPen, [](TClassBuilder<TPen>& b) {
  b.Color("Color", &TPen::Color, &TPen::SetColor).WithDefault(clBlack);
  b.Enum("Style", {"psSolid", "psDash", "psClear"}, &TPen::Style, &TPen::SetStyle).WithDefault(0);
  b.Integer("Width", &TPen::Width, &TPen::SetWidth).WithDefault(1);
})
FW_REGISTER(TCanvas, nullptr)
FW_REGISTER(TGraphic, nullptr)
FW_REGISTER(TPicture, nullptr)
FW_REGISTER(TBitmap, nullptr)

win::RGBQUAD PaletteEntryToQuad(const win::PALETTEENTRY& e) {
  return win::RGBQUAD{e.peBlue, e.peGreen, e.peRed, 0};
}
win::PALETTEENTRY QuadToPaletteEntry(const win::RGBQUAD& q) {
  return win::PALETTEENTRY{q.rgbRed, q.rgbGreen, q.rgbBlue, 0};
}

namespace {

win::COLORREF ToColorRef(TColor c) { return static_cast<win::COLORREF>(ColorToRGB(c)) & 0x00FFFFFF; }

}  // namespace

// ---- Brushes and pens -----------------------------------------------------------------------

void TGraphicsObject::Changed() {
  if (OnChange) OnChange(this);
}

TBrush::~TBrush() { FreeHandle(); }

void TBrush::FreeHandle() {
  if (handle_) gdi::DeleteObject(handle_);
  handle_ = nullptr;
}

void TBrush::SetColor(TColor Value) {
  if (Value == color_ && style_ == bsSolid) return;
  FreeHandle();
  color_ = Value;
  if (style_ == bsClear) style_ = bsSolid;
  Changed();
}

void TBrush::SetStyle(TBrushStyle Value) {
  if (Value == style_) return;
  FreeHandle();
  style_ = Value;
  Changed();
}

win::HBRUSH TBrush::Handle() {
  if (style_ == bsClear) return static_cast<win::HBRUSH>(gdi::GetStockObject(gdi::NULL_BRUSH));
  if (!handle_) handle_ = gdi::CreateSolidBrush(ToColorRef(color_));
  return handle_;
}

void TBrush::Assign(TPersistent* Source) {
  if (auto* b = dynamic_cast<TBrush*>(Source)) {
    FreeHandle();
    color_ = b->color_;
    style_ = b->style_;
    Changed();
    return;
  }
  TPersistent::Assign(Source);
}

TPen::~TPen() { FreeHandle(); }

void TPen::FreeHandle() {
  if (handle_) gdi::DeleteObject(handle_);
  handle_ = nullptr;
}

void TPen::SetColor(TColor Value) {
  if (Value == color_) return;
  FreeHandle();
  color_ = Value;
  Changed();
}

void TPen::SetWidth(int Value) {
  if (Value == width_) return;
  FreeHandle();
  width_ = Value;
  Changed();
}

void TPen::SetStyle(TPenStyle Value) {
  if (Value == style_) return;
  FreeHandle();
  style_ = Value;
  Changed();
}

win::HPEN TPen::Handle() {
  // Memory DCs draw no dashes: a dashed pen draws solid there.
  if (!handle_)
    handle_ = gdi::CreatePen(style_ == psClear ? gdi::PS_NULL : gdi::PS_SOLID, width_, ToColorRef(color_));
  return handle_;
}

void TPen::Assign(TPersistent* Source) {
  if (auto* p = dynamic_cast<TPen*>(Source)) {
    FreeHandle();
    color_ = p->color_;
    width_ = p->width_;
    style_ = p->style_;
    Changed();
    return;
  }
  TPersistent::Assign(Source);
}

// ---- Canvas --------------------------------------------------------------------------------

TCanvas::TCanvas() : brush_(std::make_unique<TBrush>()), pen_(std::make_unique<TPen>()) {}

TCanvas::~TCanvas() { SetHandle(nullptr); }

void TCanvas::SetHandle(win::HDC Value) {
  if (Value == handle_) return;
  if (handle_) {
    // Give the DC back as it was handed over.
    if (old_brush_) gdi::SelectObject(handle_, old_brush_);
    if (old_pen_) gdi::SelectObject(handle_, old_pen_);
  }
  old_brush_ = nullptr;
  old_pen_ = nullptr;
  handle_ = Value;
}

win::HDC TCanvas::Handle() {
  if (!handle_) CreateHandle();
  if (!handle_) throw EInvalidOperation(msg::NoCanvasHandle);
  return handle_;
}

void TCanvas::RequiredState() {
  win::HDC dc = Handle();
  win::HGDIOBJ b = gdi::SelectObject(dc, brush_->Handle());
  win::HGDIOBJ p = gdi::SelectObject(dc, pen_->Handle());
  if (!old_brush_) old_brush_ = b;
  if (!old_pen_) old_pen_ = p;
}

void TCanvas::Changing() {
  if (OnChanging) OnChanging(this);
}

void TCanvas::Changed() {
  if (OnChange) OnChange(this);
}

void TCanvas::Draw(int X, int Y, TGraphic* Graphic) {
  if (!Graphic || Graphic->Empty()) return;
  Changing();
  RequiredState();
  Graphic->Draw(*this, Bounds(X, Y, Graphic->Width(), Graphic->Height()));
  Changed();
}

void TCanvas::StretchDraw(const TRect& Rect, TGraphic* Graphic) {
  if (!Graphic) return;
  Changing();
  RequiredState();
  Graphic->Draw(*this, Rect);
  Changed();
}

void TCanvas::CopyRect(const TRect& Dest, TCanvas& Canvas, const TRect& Source) {
  Changing();
  RequiredState();
  win::HDC src = Canvas.Handle();
  gdi::StretchBlt(handle_, Dest.left, Dest.top, RectWidth(Dest), RectHeight(Dest), src, Source.left,
                  Source.top, RectWidth(Source), RectHeight(Source), static_cast<win::DWORD>(copy_mode_));
  Changed();
}

void TCanvas::FillRect(const TRect& Rect) {
  Changing();
  RequiredState();
  gdi::FillRect(handle_, &Rect, brush_->Handle());
  Changed();
}

void TCanvas::Rectangle(int X1, int Y1, int X2, int Y2) {
  Changing();
  RequiredState();
  gdi::Rectangle(handle_, X1, Y1, X2, Y2);
  Changed();
}

void TCanvas::MoveTo(int X, int Y) {
  RequiredState();
  gdi::MoveToEx(handle_, X, Y, nullptr);
}

void TCanvas::LineTo(int X, int Y) {
  Changing();
  RequiredState();
  gdi::LineTo(handle_, X, Y);
  Changed();
}

TColor TCanvas::Pixel(int X, int Y) {
  RequiredState();
  return static_cast<TColor>(gdi::GetPixel(handle_, X, Y));
}

void TCanvas::SetPixel(int X, int Y, TColor Color) {
  Changing();
  RequiredState();
  gdi::SetPixel(handle_, X, Y, ToColorRef(Color));
  Changed();
}

// ---- Shared images and graphics -----------------------------------------------------------

void TSharedImage::Release() {
  if (--ref_count_ <= 0) {
    FreeHandle();
    delete this;  // shared images are always made with new and live by their count
  }
}

void TGraphic::SetTransparent(bool Value) {
  if (Value == transparent_) return;
  transparent_ = Value;
  Changed(this);
}

void TGraphic::SetModified(bool Value) {
  if (Value) Changed(this);
  else modified_ = false;
}

void TGraphic::Changed(TObject*) {
  modified_ = true;
  if (OnChange) OnChange(this);
}

void TGraphic::DefineProperties(TFiler& Filer) {
  Filer.DefineBinaryProperty(
      "Data", [this](TStream& s) { ReadData(s); }, [this](TStream& s) { WriteData(s); }, !Empty());
}

// ---- Picture holder and its registries ------------------------------------------------------

namespace {

struct FileFormat {
  std::string Extension;
  std::string Description;
  TGraphicClass Class;
};

struct Registry {
  std::vector<TGraphicClass> classes;
  std::vector<FileFormat> files;
  std::vector<std::pair<win::UINT, TGraphicClass>> clipboard;
};

Registry& Reg() {
  static Registry* r = [] {
    auto* reg = new Registry;  // lives as long as the program
    const TGraphicClass bmp = GraphicClass<TBitmap>();
    reg->classes.push_back(bmp);
    reg->files.push_back({"bmp", "Bitmaps", bmp});
    reg->clipboard.emplace_back(win::CF_BITMAP, bmp);
    return reg;
  }();
  return *r;
}

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (!s.empty() && s[0] == '.') s.erase(0, 1);
  return s;
}

}  // namespace

const std::string& TGraphicClass::Name() const { return Info->Name; }

void TPicture::RegisterGraphicClass(const TGraphicClass& AGraphicClass) {
  Registry& r = Reg();
  for (auto& c : r.classes)
    if (c.Info == AGraphicClass.Info) {
      c = AGraphicClass;
      return;
    }
  r.classes.push_back(AGraphicClass);
}

void TPicture::RegisterFileFormat(const std::string& AExtension, const std::string& ADescription,
                                  const TGraphicClass& AGraphicClass) {
  RegisterGraphicClass(AGraphicClass);
  Reg().files.push_back({Lower(AExtension), ADescription, AGraphicClass});
}

void TPicture::RegisterClipboardFormat(win::UINT AFormat, const TGraphicClass& AGraphicClass) {
  RegisterGraphicClass(AGraphicClass);
  Reg().clipboard.emplace_back(AFormat, AGraphicClass);
}

void TPicture::UnregisterGraphicClass(const TClassInfo& AClass) {
  Registry& r = Reg();
  std::erase_if(r.classes, [&](const TGraphicClass& c) { return c.Info == &AClass; });
  std::erase_if(r.files, [&](const FileFormat& f) { return f.Class.Info == &AClass; });
  std::erase_if(r.clipboard, [&](const auto& c) { return c.second.Info == &AClass; });
}

const TGraphicClass* TPicture::FindGraphicClass(const std::string& AClassName) {
  for (const auto& c : Reg().classes)
    if (AnsiSameText(c.Info->Name, AClassName)) return &c;
  return nullptr;
}

const TGraphicClass* TPicture::FindFileFormat(const std::string& AExtension) {
  const std::string ext = Lower(AExtension);
  // The latest registration of an extension wins.
  const auto& files = Reg().files;
  for (auto it = files.rbegin(); it != files.rend(); ++it)
    if (it->Extension == ext) return &it->Class;
  return nullptr;
}

std::string TPicture::FileFormatDescription(const std::string& AExtension) {
  const std::string ext = Lower(AExtension);
  const auto& files = Reg().files;
  for (auto it = files.rbegin(); it != files.rend(); ++it)
    if (it->Extension == ext) return it->Description;
  return {};
}

const TGraphicClass* TPicture::FindClipboardFormat(win::UINT AFormat) {
  const auto& formats = Reg().clipboard;
  for (auto it = formats.rbegin(); it != formats.rend(); ++it)
    if (it->first == AFormat) return &it->second;
  return nullptr;
}

bool TPicture::SupportsClipboardFormat(win::UINT AFormat) { return FindClipboardFormat(AFormat) != nullptr; }

TPicture::TPicture() = default;
TPicture::~TPicture() = default;

void TPicture::Changed(TObject*) {
  if (OnChange) OnChange(this);
}

void TPicture::Take(std::unique_ptr<TGraphic> g) {
  graphic_ = std::move(g);
  if (graphic_) graphic_->OnChange = [this](TObject* Sender) { Changed(Sender); };
  Changed(this);
}

void TPicture::SetGraphic(TGraphic* Value) {
  if (!Value) {
    Take(nullptr);
    return;
  }
  if (Value == graphic_.get()) return;
  const TGraphicClass* cls = FindGraphicClass(Value->ClassName());
  if (!cls || cls->Info != &Value->ClassType())
    throw EInvalidGraphic(Format(msg::ClassNotFound, Value->ClassName()));
  std::unique_ptr<TGraphic> g = cls->Create();
  g->Assign(Value);
  Take(std::move(g));
}

TBitmap* TPicture::Bitmap() {
  if (auto* b = dynamic_cast<TBitmap*>(graphic_.get())) return b;
  Take(std::make_unique<TBitmap>());
  return static_cast<TBitmap*>(graphic_.get());
}

void TPicture::Assign(TPersistent* Source) {
  if (!Source) {
    SetGraphic(nullptr);
  } else if (auto* p = dynamic_cast<TPicture*>(Source)) {
    if (p != this) SetGraphic(p->Graphic());
  } else if (auto* g = dynamic_cast<TGraphic*>(Source)) {
    SetGraphic(g);
  } else {
    TPersistent::Assign(Source);
  }
}

void TPicture::LoadFromClipboardFormat(win::UINT AFormat, win::HANDLE AData, win::HPALETTE APalette) {
  const TGraphicClass* cls = FindClipboardFormat(AFormat);
  if (!cls) throw EInvalidGraphic(msg::UnknownClipboardFormat);
  std::unique_ptr<TGraphic> g = cls->Create();
  g->LoadFromClipboardFormat(AFormat, AData, APalette);
  Take(std::move(g));
}

void TPicture::SaveToClipboardFormat(win::UINT& AFormat, win::HANDLE& AData, win::HPALETTE& APalette) {
  AFormat = 0;
  AData = nullptr;
  APalette = nullptr;
  if (graphic_) graphic_->SaveToClipboardFormat(AFormat, AData, APalette);
}

void TPicture::DefineProperties(TFiler& Filer) {
  Filer.DefineBinaryProperty(
      "Data", [this](TStream& s) { ReadData(s); }, [this](TStream& s) { WriteData(s); }, graphic_ != nullptr);
}

void TPicture::ReadData(TStream& Stream) {
  std::uint8_t len = 0;
  if (Stream.Read(&len, 1) != 1 || len == 0) {
    Take(nullptr);
    return;
  }
  std::string name(len, '\0');
  Stream.ReadBuffer(name.data(), len);
  const TGraphicClass* cls = FindGraphicClass(name);
  if (!cls) throw EClassNotFound(Format(msg::ClassNotFound, name));
  std::unique_ptr<TGraphic> g = cls->Create();
  g->ReadData(Stream);  // a failure frees the new graphic; the picture keeps its old one
  Take(std::move(g));
}

void TPicture::WriteData(TStream& Stream) {
  if (!graphic_) {
    Stream.WriteValue<std::uint8_t>(0);
    return;
  }
  const std::string& name = graphic_->ClassName();
  const std::uint8_t len = static_cast<std::uint8_t>(std::min<std::size_t>(name.size(), 255));
  Stream.WriteValue(len);
  Stream.WriteBuffer(name.data(), len);
  graphic_->WriteData(Stream);
}

// ---- The framework bitmap -------------------------------------------------------------------

class TBitmap::TBitmapCanvas : public TCanvas {
 public:
  explicit TBitmapCanvas(TBitmap& b) : bitmap_(b) {}
  void Changing() override {
    TCanvas::Changing();
  }
  void Changed() override {
    TCanvas::Changed();
    bitmap_.Changed(&bitmap_);
  }

 protected:
  void CreateHandle() override { bitmap_.SelectInto(); }

 private:
  TBitmap& bitmap_;
};

TBitmap::TBitmap() = default;

TBitmap::~TBitmap() {
  if (canvas_) canvas_->SetHandle(nullptr);
  FreeImage();
  if (dc_) gdi::DeleteDC(dc_);
  if (palette_) gdi::DeleteObject(palette_);
}

void TBitmap::Deselect() {
  if (dc_) {
    if (canvas_) canvas_->SetHandle(nullptr);
    if (old_bitmap_) gdi::SelectObject(dc_, old_bitmap_);
    old_bitmap_ = nullptr;
    gdi::DeleteDC(dc_);
    dc_ = nullptr;
  }
}

void TBitmap::SelectInto() {
  if (dc_) {
    if (canvas_ && !canvas_->HandleAllocated()) canvas_->SetHandle(dc_);
    return;
  }
  win::HBITMAP h = Handle();
  if (!h) return;  // an empty bitmap has nothing to draw on
  dc_ = gdi::CreateCompatibleDC(nullptr);
  old_bitmap_ = gdi::SelectObject(dc_, h);
  if (palette_) {
    gdi::SelectPalette(dc_, palette_, win::TRUE);
    gdi::RealizePalette(dc_);
  }
  if (canvas_) canvas_->SetHandle(dc_);
}

void TBitmap::FreeImage() {
  Deselect();
  if (handle_) gdi::DeleteObject(handle_);
  handle_ = nullptr;
}

namespace {

int BitsOf(TPixelFormat f) {
  switch (f) {
    case pf1bit: return 1;
    case pf4bit: return 4;
    case pf8bit: return 8;
    case pf15bit:
    case pf16bit: return 16;
    case pf24bit: return 24;
    case pf32bit: return 32;
    default: return 0;
  }
}

struct InfoBuffer {
  win::BITMAPINFOHEADER h{};
  win::DWORD extra[256 + 3]{};
  win::BITMAPINFO* Info() { return reinterpret_cast<win::BITMAPINFO*>(this); }
};

}  // namespace

void TBitmap::ApplyPaletteToSection() {
  if (!handle_ || BitsOf(pixel_format_) > 8 || BitsOf(pixel_format_) == 0) return;
  win::PALETTEENTRY pe[256];
  const win::UINT n = palette_ ? gdi::GetPaletteEntries(palette_, 0, 256, pe) : 0;
  if (!n) return;
  win::RGBQUAD q[256];
  for (win::UINT i = 0; i < n; ++i) q[i] = PaletteEntryToQuad(pe[i]);
  win::HDC dc = gdi::CreateCompatibleDC(nullptr);
  win::HGDIOBJ old = dc_ ? nullptr : gdi::SelectObject(dc, handle_);
  gdi::SetDIBColorTable(dc_ ? dc_ : dc, 0, n, q);
  if (old) gdi::SelectObject(dc, old);
  gdi::DeleteDC(dc);
}

void TBitmap::NewImage(int AWidth, int AHeight, TPixelFormat AFormat, bool KeepContent) {
  AWidth = std::max(AWidth, 0);
  AHeight = std::max(AHeight, 0);
  win::HBITMAP h = nullptr;
  if (AWidth > 0 && AHeight > 0) {
    const int bits = BitsOf(AFormat);
    if (bits == 0) {
      h = gdi::CreateCompatibleBitmap(gdi::GetScreenDC(), AWidth, AHeight);
    } else {
      InfoBuffer ib;
      ib.h.biSize = sizeof(win::BITMAPINFOHEADER);
      ib.h.biWidth = AWidth;
      ib.h.biHeight = AHeight;
      ib.h.biPlanes = 1;
      ib.h.biBitCount = static_cast<win::WORD>(bits);
      if (AFormat == pf16bit) {
        ib.h.biCompression = win::BI_BITFIELDS;
        ib.extra[0] = 0xF800;
        ib.extra[1] = 0x7E0;
        ib.extra[2] = 0x1F;
      } else if (bits <= 8) {
        // Without a palette the colours are those of the system palette.
        win::PALETTEENTRY pe[256];
        win::UINT n = palette_ ? gdi::GetPaletteEntries(palette_, 0, 256, pe) : 0;
        if (!n) n = gdi::GetSystemPaletteEntries(gdi::GetScreenDC(), 0, 256, pe);
        auto* q = reinterpret_cast<win::RGBQUAD*>(ib.extra);
        for (win::UINT i = 0; i < n && i < (1u << bits); ++i) q[i] = PaletteEntryToQuad(pe[i]);
        if (bits == 1) q[1] = win::RGBQUAD{255, 255, 255, 0};
      }
      void* p = nullptr;
      h = gdi::CreateDIBSection(nullptr, ib.Info(), gdi::DIB_RGB_COLORS, &p, nullptr, 0);
    }
    if (!h) throw EOutOfResources(msg::OutOfResources);
  }
  if (KeepContent && handle_ && h) {
    win::HDC src = gdi::CreateCompatibleDC(nullptr);
    win::HDC dst = gdi::CreateCompatibleDC(nullptr);
    Deselect();
    win::HGDIOBJ o1 = gdi::SelectObject(src, handle_);
    win::HGDIOBJ o2 = gdi::SelectObject(dst, h);
    gdi::BitBlt(dst, 0, 0, std::min(AWidth, width_), std::min(AHeight, height_), src, 0, 0, gdi::SRCCOPY);
    gdi::SelectObject(src, o1);
    gdi::SelectObject(dst, o2);
    gdi::DeleteDC(src);
    gdi::DeleteDC(dst);
  }
  FreeImage();
  handle_ = h;
  width_ = AWidth;
  height_ = AHeight;
  pixel_format_ = AFormat;
}

void TBitmap::SetSize(int AWidth, int AHeight) {
  if (AWidth == width_ && AHeight == height_) return;
  NewImage(AWidth, AHeight, pixel_format_, true);
  Changed(this);
}

void TBitmap::SetPixelFormat(TPixelFormat Value) {
  if (Value == pixel_format_) return;
  NewImage(width_, height_, Value, true);
  Changed(this);
}

win::HBITMAP TBitmap::Handle() {
  if (!handle_ && width_ > 0 && height_ > 0) NewImage(width_, height_, pixel_format_, false);
  return handle_;
}

void TBitmap::SetHandle(win::HBITMAP Value) {
  if (Value == handle_) return;
  win::BITMAP bm{};
  win::DIBSECTION ds{};
  TPixelFormat fmt = pfDevice;
  if (Value) {
    const int got = gdi::GetObject(Value, sizeof ds, &ds);
    if (got == 0) throw EInvalidGraphic(msg::InvalidBitmap);
    bm = ds.dsBm;
    if (got == sizeof(win::DIBSECTION)) {
      switch (bm.bmBitsPixel) {
        case 1: fmt = pf1bit; break;
        case 4: fmt = pf4bit; break;
        case 8: fmt = pf8bit; break;
        case 16: fmt = ds.dsBitfields[1] == 0x7E0 ? pf16bit : pf15bit; break;
        case 24: fmt = pf24bit; break;
        case 32: fmt = pf32bit; break;
        default: fmt = pfCustom;
      }
    }
  }
  FreeImage();
  handle_ = Value;
  width_ = bm.bmWidth;
  height_ = bm.bmHeight;
  pixel_format_ = fmt;
  Changed(this);
}

win::HBITMAP TBitmap::ReleaseHandle() {
  Deselect();
  win::HBITMAP h = handle_;
  handle_ = nullptr;
  width_ = height_ = 0;
  return h;
}

void TBitmap::SetPalette(win::HPALETTE Value) {
  if (Value == palette_) return;
  Deselect();
  if (palette_) gdi::DeleteObject(palette_);
  palette_ = Value;
  ApplyPaletteToSection();
  PaletteModified = true;
  Changed(this);
}

TCanvas* TBitmap::Canvas() {
  if (!canvas_) canvas_ = std::make_unique<TBitmapCanvas>(*this);
  return canvas_.get();
}

void* TBitmap::ScanLine(int Row) {
  win::HBITMAP h = Handle();
  win::DIBSECTION ds{};
  if (!h || gdi::GetObject(h, sizeof ds, &ds) != sizeof ds || Row < 0 || Row >= height_) return nullptr;
  auto* bits = static_cast<std::uint8_t*>(ds.dsBm.bmBits);
  const int line = ds.dsBmih.biHeight > 0 ? height_ - 1 - Row : Row;
  return bits + static_cast<std::ptrdiff_t>(line) * ds.dsBm.bmWidthBytes;
}

void TBitmap::Draw(TCanvas& ACanvas, const TRect& Rect) {
  if (Empty()) return;
  SelectInto();
  if (!dc_) return;
  win::HDC dest = ACanvas.Handle();
  win::HPALETTE oldPal = nullptr;
  if (palette_) {
    oldPal = gdi::SelectPalette(dest, palette_, win::TRUE);
    gdi::RealizePalette(dest);
  }
  const int oldMode = gdi::SetStretchBltMode(dest, gdi::COLORONCOLOR);
  gdi::StretchBlt(dest, Rect.left, Rect.top, RectWidth(Rect), RectHeight(Rect), dc_, 0, 0, width_, height_,
                  static_cast<win::DWORD>(ACanvas.CopyMode()));
  if (oldMode) gdi::SetStretchBltMode(dest, oldMode);
  if (oldPal) gdi::SelectPalette(dest, oldPal, win::TRUE);
}

void TBitmap::Assign(TPersistent* Source) {
  if (Source == this) return;
  if (!Source) {
    FreeImage();
    width_ = height_ = 0;
    Changed(this);
    return;
  }
  if (auto* b = dynamic_cast<TBitmap*>(Source)) {
    // A copy of the other bitmap's pixels, format and palette.
    win::HPALETTE pal = nullptr;
    if (b->palette_) {
      win::PALETTEENTRY pe[256];
      const win::UINT n = gdi::GetPaletteEntries(b->palette_, 0, 256, pe);
      std::vector<std::uint8_t> buf(sizeof(win::LOGPALETTE) + 256 * sizeof(win::PALETTEENTRY));
      auto* lp = reinterpret_cast<win::LOGPALETTE*>(buf.data());
      lp->palVersion = 0x300;
      lp->palNumEntries = static_cast<win::WORD>(n);
      std::memcpy(lp->palPalEntry, pe, n * sizeof(win::PALETTEENTRY));
      pal = gdi::CreatePalette(lp);
    }
    FreeImage();
    if (palette_) gdi::DeleteObject(palette_);
    palette_ = pal;
    width_ = 0;
    height_ = 0;
    pixel_format_ = b->pixel_format_;
    SetTransparent(b->Transparent());
    if (!b->Empty()) {
      NewImage(b->width_, b->height_, b->pixel_format_, false);
      win::RGBQUAD q[256];
      b->SelectInto();
      const win::UINT n = gdi::GetDIBColorTable(b->dc_, 0, 256, q);
      SelectInto();
      if (n) gdi::SetDIBColorTable(dc_, 0, n, q);
      gdi::BitBlt(dc_, 0, 0, width_, height_, b->dc_, 0, 0, gdi::SRCCOPY);
    }
    Changed(this);
    return;
  }
  if (auto* g = dynamic_cast<TGraphic*>(Source)) {
    NewImage(g->Width(), g->Height(), pixel_format_ == pfDevice ? pf24bit : pixel_format_, false);
    if (!Empty()) {
      Canvas()->Brush()->SetColor(clWhite);
      Canvas()->FillRect(Rect(0, 0, width_, height_));
      Canvas()->Draw(0, 0, g);
    }
    Changed(this);
    return;
  }
  TGraphic::Assign(Source);
}

// The BMP file: file header, info header (core or 40 bytes and up), colour table or masks, bits.
void TBitmap::LoadFromStream(TStream& Stream) {
  win::BITMAPFILEHEADER fh{};
  const std::int64_t start = Stream.Position();
  Stream.ReadBuffer(&fh, sizeof fh);
  if (fh.bfType != 0x4D42) throw EInvalidGraphic(msg::InvalidBitmap);
  win::DWORD hsize = 0;
  Stream.ReadBuffer(&hsize, 4);
  InfoBuffer ib;
  bool core = false;
  if (hsize == sizeof(win::BITMAPCOREHEADER)) {
    win::BITMAPCOREHEADER ch{};
    Stream.ReadBuffer(reinterpret_cast<char*>(&ch) + 4, sizeof ch - 4);
    ib.h.biWidth = ch.bcWidth;
    ib.h.biHeight = ch.bcHeight;
    ib.h.biPlanes = ch.bcPlanes;
    ib.h.biBitCount = ch.bcBitCount;
    core = true;
  } else if (hsize >= sizeof(win::BITMAPINFOHEADER) && hsize <= 1024) {
    Stream.ReadBuffer(reinterpret_cast<char*>(&ib.h) + 4, sizeof(win::BITMAPINFOHEADER) - 4);
    if (ib.h.biCompression == win::BI_BITFIELDS && hsize >= 52) {
      Stream.ReadBuffer(ib.extra, 12);
      Stream.Seek(hsize - 52, soCurrent);
    } else {
      Stream.Seek(hsize - sizeof(win::BITMAPINFOHEADER), soCurrent);
      if (ib.h.biCompression == win::BI_BITFIELDS) Stream.ReadBuffer(ib.extra, 12);
    }
  } else {
    throw EInvalidGraphic(msg::InvalidBitmap);
  }
  ib.h.biSize = sizeof(win::BITMAPINFOHEADER);
  const int bc = ib.h.biBitCount;
  const win::DWORD comp = ib.h.biCompression;
  const bool okBits = bc == 1 || bc == 4 || bc == 8 || bc == 16 || bc == 24 || bc == 32;
  const bool okComp = comp == win::BI_RGB || (comp == win::BI_BITFIELDS && (bc == 16 || bc == 32)) ||
                      (comp == win::BI_RLE8 && bc == 8) || (comp == win::BI_RLE4 && bc == 4);
  if (!okBits || !okComp || ib.h.biWidth <= 0 || ib.h.biHeight == 0 ||
      ib.h.biHeight == std::numeric_limits<win::LONG>::min())
    throw EInvalidGraphic(msg::InvalidBitmap);
  const std::int64_t height = ib.h.biHeight < 0 ? -std::int64_t(ib.h.biHeight) : ib.h.biHeight;
  const std::int64_t rowBytes = ((std::int64_t(ib.h.biWidth) * bc + 31) / 32) * 4;
  if (rowBytes * height > (std::int64_t(1) << 30)) throw EInvalidGraphic(msg::InvalidBitmap);
  if (bc <= 8) {
    const win::DWORD max = 1u << bc;
    const win::DWORD n = ib.h.biClrUsed == 0 || ib.h.biClrUsed > max ? max : ib.h.biClrUsed;
    auto* q = reinterpret_cast<win::RGBQUAD*>(ib.extra);
    for (win::DWORD i = 0; i < n; ++i) {
      if (core) Stream.ReadBuffer(&q[i], 3);
      else Stream.ReadBuffer(&q[i], 4);
      q[i].rgbReserved = 0;
    }
    ib.h.biClrUsed = max;
  }
  if (fh.bfOffBits >= 14 && start + fh.bfOffBits <= Stream.Size() && start + fh.bfOffBits >= Stream.Position())
    Stream.SetPosition(start + fh.bfOffBits);
  const bool rle = comp == win::BI_RLE8 || comp == win::BI_RLE4;
  const std::int64_t dataSize = rle ? ib.h.biSizeImage : rowBytes * height;
  if (dataSize > Stream.Size() - Stream.Position()) throw EReadError(msg::ReadError);
  std::vector<std::uint8_t> data(static_cast<std::size_t>(dataSize));
  Stream.ReadBuffer(data.data(), dataSize);

  // A DIB section of the file's format; RLE files become plain 8- or 4-bit sections.
  InfoBuffer sec = ib;
  sec.h.biCompression = comp == win::BI_BITFIELDS ? win::BI_BITFIELDS : win::BI_RGB;
  sec.h.biSizeImage = 0;
  void* bits = nullptr;
  win::HBITMAP h = gdi::CreateDIBSection(nullptr, sec.Info(), gdi::DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!h) throw EOutOfResources(msg::OutOfResources);
  if (rle) {
    win::HDC dc = gdi::CreateCompatibleDC(nullptr);
    win::HGDIOBJ old = gdi::SelectObject(dc, h);
    gdi::StretchDIBits(dc, 0, 0, ib.h.biWidth, static_cast<int>(height), 0, 0, ib.h.biWidth,
                       static_cast<int>(height), data.data(), ib.Info(), gdi::DIB_RGB_COLORS, gdi::SRCCOPY);
    gdi::SelectObject(dc, old);
    gdi::DeleteDC(dc);
  } else {
    std::memcpy(bits, data.data(), data.size());
  }
  win::HPALETTE pal = nullptr;
  if (bc <= 8) {
    std::vector<std::uint8_t> buf(sizeof(win::LOGPALETTE) + 256 * sizeof(win::PALETTEENTRY));
    auto* lp = reinterpret_cast<win::LOGPALETTE*>(buf.data());
    lp->palVersion = 0x300;
    lp->palNumEntries = static_cast<win::WORD>(1u << bc);
    const auto* q = reinterpret_cast<const win::RGBQUAD*>(ib.extra);
    for (int i = 0; i < (1 << bc); ++i) lp->palPalEntry[i] = QuadToPaletteEntry(q[i]);
    pal = gdi::CreatePalette(lp);
  }
  Deselect();
  if (palette_) gdi::DeleteObject(palette_);
  palette_ = pal;
  SetHandle(h);
  if (comp == win::BI_BITFIELDS && bc == 16 && ib.extra[1] == 0x3E0) pixel_format_ = pf15bit;
}

void TBitmap::SaveToStream(TStream& Stream) {
  if (Empty()) return;
  win::HBITMAP h = Handle();
  win::DIBSECTION ds{};
  const bool section = gdi::GetObject(h, sizeof ds, &ds) == sizeof ds;
  InfoBuffer ib;
  ib.h.biSize = sizeof(win::BITMAPINFOHEADER);
  ib.h.biWidth = width_;
  ib.h.biHeight = height_;
  ib.h.biPlanes = 1;
  ib.h.biBitCount = static_cast<win::WORD>(section ? ds.dsBm.bmBitsPixel : 32);
  const int bc = ib.h.biBitCount;
  int extra = 0;
  if (section && bc == 16) {
    ib.h.biCompression = win::BI_BITFIELDS;
    std::memcpy(ib.extra, ds.dsBitfields, 12);
    extra = 12;
  } else if (bc <= 8) {
    SelectInto();
    gdi::GetDIBColorTable(dc_, 0, 256, reinterpret_cast<win::RGBQUAD*>(ib.extra));
    extra = 4 << bc;
  }
  const std::int64_t rowBytes = ((std::int64_t(width_) * bc + 31) / 32) * 4;
  ib.h.biSizeImage = static_cast<win::DWORD>(rowBytes * height_);
  // The bits, bottom row first, drawn through a section of the same format.
  void* bits = nullptr;
  win::HBITMAP copy = gdi::CreateDIBSection(nullptr, ib.Info(), gdi::DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!copy) throw EOutOfResources(msg::OutOfResources);
  SelectInto();
  win::HDC dc = gdi::CreateCompatibleDC(nullptr);
  win::HGDIOBJ old = gdi::SelectObject(dc, copy);
  gdi::BitBlt(dc, 0, 0, width_, height_, dc_, 0, 0, gdi::SRCCOPY);
  win::BITMAPFILEHEADER fh{};
  fh.bfType = 0x4D42;
  fh.bfOffBits = static_cast<win::DWORD>(sizeof fh + sizeof(win::BITMAPINFOHEADER) + extra);
  fh.bfSize = fh.bfOffBits + ib.h.biSizeImage;
  try {
    Stream.WriteBuffer(&fh, sizeof fh);
    Stream.WriteBuffer(&ib.h, sizeof ib.h);
    if (extra) Stream.WriteBuffer(ib.extra, extra);
    Stream.WriteBuffer(bits, ib.h.biSizeImage);
  } catch (...) {
    gdi::SelectObject(dc, old);
    gdi::DeleteDC(dc);
    gdi::DeleteObject(copy);
    throw;
  }
  gdi::SelectObject(dc, old);
  gdi::DeleteDC(dc);
  gdi::DeleteObject(copy);
}

void TBitmap::ReadData(TStream& Stream) {
  std::int32_t size = 0;
  Stream.ReadBuffer(&size, 4);
  if (size <= 0) {
    Assign(nullptr);
    return;
  }
  if (size > Stream.Size() - Stream.Position()) throw EReadError(msg::ReadError);
  std::vector<std::uint8_t> data(static_cast<std::size_t>(size));
  Stream.ReadBuffer(data.data(), size);
  TBytesStream s(data.data(), data.size());
  LoadFromStream(s);
}

void TBitmap::WriteData(TStream& Stream) {
  TMemoryStream m;
  SaveToStream(m);
  const std::int32_t size = static_cast<std::int32_t>(m.Size());
  Stream.WriteBuffer(&size, 4);
  if (size) Stream.WriteBuffer(m.Memory(), size);
}

void TBitmap::LoadFromClipboardFormat(win::UINT AFormat, win::HANDLE AData, win::HPALETTE APalette) {
  if (AFormat != win::CF_BITMAP || !AData) throw EInvalidGraphic(msg::UnknownClipboardFormat);
  TBitmap src;
  src.SetHandle(static_cast<win::HBITMAP>(AData));
  if (APalette) {
    win::PALETTEENTRY pe[256];
    const win::UINT n = gdi::GetPaletteEntries(APalette, 0, 256, pe);
    std::vector<std::uint8_t> buf(sizeof(win::LOGPALETTE) + 256 * sizeof(win::PALETTEENTRY));
    auto* lp = reinterpret_cast<win::LOGPALETTE*>(buf.data());
    lp->palVersion = 0x300;
    lp->palNumEntries = static_cast<win::WORD>(n);
    std::memcpy(lp->palPalEntry, pe, n * sizeof(win::PALETTEENTRY));
    src.palette_ = gdi::CreatePalette(lp);
  }
  try {
    Assign(&src);
  } catch (...) {
    src.ReleaseHandle();  // the clipboard's handle is not ours
    throw;
  }
  src.ReleaseHandle();
}

void TBitmap::SaveToClipboardFormat(win::UINT& AFormat, win::HANDLE& AData, win::HPALETTE& APalette) {
  TBitmap copy;
  copy.Assign(this);
  AFormat = win::CF_BITMAP;
  AData = copy.ReleaseHandle();
  APalette = copy.palette_;
  copy.palette_ = nullptr;
}

}  // namespace fw
