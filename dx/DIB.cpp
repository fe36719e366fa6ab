#include "dx/DIB.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#include "dx/DXConsts.h"
#include "framework/ClassBuilder.h"
#include "framework/GraphicsBmp.h"
#include "platform/clipboard/Clipboard.h"
#include "platform/gdi/Gdi.h"
#include "platform/kernel/GlobalMemory.h"
#include "platform/pixels/Pixels.h"
#include "platform/pixels/PixelsRle.h"

namespace dx {

using fw::EInvalidGraphic;
using fw::EInvalidGraphicOperation;
using fw::Format;

FW_REGISTER(TGlobalMemoryStream, nullptr)
FW_REGISTER(TPaletteItem, nullptr)
FW_REGISTER(TDIB, nullptr)

// ---- Layouts and tables ---------------------------------------------------------------------

PixelLayout MakePixelLayout(int R, int G, int B) {
  PixelLayout l;
  // Widths come from masks of up to 32 bits; the arithmetic is done wide enough for any of them.
  R = std::clamp(R, 0, 32);
  G = std::clamp(G, 0, 32);
  B = std::clamp(B, 0, 32);
  auto ones = [](int n) { return (std::uint64_t{1} << n) - 1; };
  l.RedMask = static_cast<std::int32_t>(static_cast<std::uint32_t>(ones(R) << (G + B)));
  l.GreenMask = static_cast<std::int32_t>(static_cast<std::uint32_t>(ones(G) << B));
  l.BlueMask = static_cast<std::int32_t>(static_cast<std::uint32_t>(ones(B)));
  l.RedBits = R;
  l.GreenBits = G;
  l.BlueBits = B;
  l.RedShift = R + G + B - 8;
  l.GreenShift = G + B - 8;
  l.BlueShift = 8 - B;
  l.RedLoss = 8 - R;
  l.GreenLoss = 8 - G;
  l.BlueLoss = 8 - B;
  return l;
}

namespace {

bool SameMasks(const PixelLayout& a, const PixelLayout& b) {
  return a.RedMask == b.RedMask && a.GreenMask == b.GreenMask && a.BlueMask == b.BlueMask;
}

const PixelLayout& Layout888() {
  static const PixelLayout l = MakePixelLayout(8, 8, 8);
  return l;
}
const PixelLayout& Layout555() {
  static const PixelLayout l = MakePixelLayout(5, 5, 5);
  return l;
}
const PixelLayout& Layout565() {
  static const PixelLayout l = MakePixelLayout(5, 6, 5);
  return l;
}

[[noreturn]] void InvalidDIB() { throw EInvalidGraphic(SInvalidDIB); }

const fw::TBmpRules& DIBRules() {
  static const fw::TBmpRules rules{sizeof(win::BITMAPINFOHEADER), SInvalidDIB};
  return rules;
}

bool HasMasks(const PixelLayout& l, const std::uint32_t (&m)[3]) {
  return static_cast<std::uint32_t>(l.RedMask) == m[0] && static_cast<std::uint32_t>(l.GreenMask) == m[1] &&
         static_cast<std::uint32_t>(l.BlueMask) == m[2];
}

// Masks whose channels can be moved to other places: each one run of bits within the pixel,
// none sharing a bit with another.
bool SeparateChannels(const std::uint32_t (&m)[3], int BitCount) {
  const std::uint32_t pixel = pixels::ValueMask(static_cast<std::uint32_t>(BitCount));
  std::uint32_t seen = 0;
  for (const std::uint32_t mask : m) {
    const pixels::Channel c = pixels::ChannelOf(mask);
    if (c.Bits == 0 || (mask >> c.Shift) != pixels::ValueMask(static_cast<std::uint32_t>(c.Bits))) return false;
    if ((mask & ~pixel) || (mask & seen)) return false;
    seen |= mask;
  }
  return true;
}

// 1, 4, 8, 24 and 32 bits take the 8-8-8 layout, 16 bits 5-5-5 or 5-6-5.
void CheckFormat(int BitCount, const PixelLayout& Layout) {
  switch (BitCount) {
    case 1:
    case 4:
    case 8:
    case 24:
    case 32:
      if (!SameMasks(Layout, Layout888())) throw EInvalidGraphicOperation(SInvalidDIBPixelFormat);
      break;
    case 16:
      if (!SameMasks(Layout, Layout555()) && !SameMasks(Layout, Layout565()))
        throw EInvalidGraphicOperation(SInvalidDIBPixelFormat);
      break;
    default: throw EInvalidGraphicOperation(Format(SInvalidDIBBitCount, BitCount));
  }
}

}  // namespace

PixelLayout MakePixelLayoutFromMasks(std::uint32_t RMask, std::uint32_t GMask, std::uint32_t BMask) {
  const int r = pixels::ChannelOf(RMask).Bits, g = pixels::ChannelOf(GMask).Bits, b = pixels::ChannelOf(BMask).Bits;
  // Widths past 32 bits in all cannot be a pixel; they make a layout no bit count accepts.
  if (r + g + b > 32) return MakePixelLayout(0, 0, 0);
  return MakePixelLayout(r, g, b);
}

TRGBQuads GreyColorTable() {
  TRGBQuads t;
  for (int i = 0; i < 256; ++i) {
    const auto v = static_cast<std::uint8_t>(i);
    t[i] = win::RGBQUAD{v, v, v, 0};
  }
  return t;
}

// ---- Palette manager ----------------------------------------------------------------------

TPaletteItem::TPaletteItem(fw::TCollection* Collection) : fw::TCollectionItem(Collection) {}

TPaletteItem::~TPaletteItem() {
  if (Palette) gdi::DeleteObject(Palette);
}

TPaletteManager::TPaletteManager() : list_(std::make_unique<fw::TCollection>(TPaletteItem::StaticClass())) {}
TPaletteManager::~TPaletteManager() = default;

win::HPALETTE TPaletteManager::AcquirePalette(const win::RGBQUAD* Entries, int Count) {
  Count = std::clamp(Count, 0, 256);
  std::uint32_t sum = static_cast<std::uint32_t>(Count);
  for (int i = 0; i < Count; ++i) sum += Entries[i].rgbBlue + Entries[i].rgbGreen + Entries[i].rgbRed;
  for (int i = 0; i < list_->Count(); ++i) {
    auto* item = static_cast<TPaletteItem*>(list_->Items(i));
    if (item->CheckSum == sum && item->Count == Count &&
        std::memcmp(item->ColorTable.data(), Entries, sizeof(win::RGBQUAD) * Count) == 0) {
      ++item->RefCount;
      return item->Palette;
    }
  }
  win::PALETTEENTRY pe[256];
  for (int i = 0; i < Count; ++i) pe[i] = fw::QuadToPaletteEntry(Entries[i]);
  auto* item = static_cast<TPaletteItem*>(list_->Add());
  item->CheckSum = sum;
  std::memcpy(item->ColorTable.data(), Entries, sizeof(win::RGBQUAD) * Count);
  item->Count = Count;
  item->Palette = fw::MakePalette(pe, Count);
  item->RefCount = 1;
  return item->Palette;
}

void TPaletteManager::ReleasePalette(win::HPALETTE& Palette) {
  if (!Palette) return;
  for (int i = 0; i < list_->Count(); ++i) {
    auto* item = static_cast<TPaletteItem*>(list_->Items(i));
    if (item->Palette != Palette) continue;
    Palette = nullptr;
    if (--item->RefCount <= 0) list_->Delete(i);
    return;
  }
}

namespace {

std::unique_ptr<TPaletteManager>& ManagerSlot() {
  static auto* slot = new std::unique_ptr<TPaletteManager>;  // emptied when the unit ends
  return *slot;
}

TDIBSharedImage*& EmptySlot() {
  static TDIBSharedImage* empty = nullptr;
  return empty;
}

bool g_unitEnded = false;

}  // namespace

TPaletteManager& PaletteManager() {
  auto& slot = ManagerSlot();
  if (!slot) slot = std::make_unique<TPaletteManager>();
  return *slot;
}

// ---- Shared image ---------------------------------------------------------------------------

TDIBSharedImage::TDIBSharedImage() { Reset(); }

TDIBSharedImage::~TDIBSharedImage() { Free(); }

void TDIBSharedImage::Reset() {
  BitCount = 0;
  Header.reset();
  HeaderSize = 0;
  PaletteDirty = false;
  ColorTable = GreyColorTable();
  ColorTableOffset = 0;
  Compressed = false;
  DC = nullptr;
  Section = nullptr;
  Height = 0;
  MemoryImage = true;
  NextLine = 0;
  OldBitmap = nullptr;
  Palette = nullptr;
  ColorCount = 0;
  Bits = nullptr;
  Layout = Layout888();
  Size = 0;
  TopBits = nullptr;
  Width = 0;
  WidthBytes = 0;
}

void TDIBSharedImage::Free() {
  if (Section) {
    if (DC) gdi::SelectObject(DC, OldBitmap);
    gdi::DeleteObject(Section);
    Section = nullptr;
  } else if (Bits) {
    kernel::GlobalFree(Bits);
  }
  Bits = nullptr;
  TopBits = nullptr;
  if (Palette && !g_unitEnded) PaletteManager().ReleasePalette(Palette);
  Palette = nullptr;
  if (DC) gdi::DeleteDC(DC);
  DC = nullptr;
  Header.reset();
}

void TDIBSharedImage::NewImage(int AWidth, int AHeight, int ABitCount, const PixelLayout& ALayout,
                               const TRGBQuads& AColorTable, bool AMemoryImage, bool ACompressed) {
  Free();
  Reset();
  CheckFormat(ABitCount, ALayout);
  // Sizes that do not fit the header's 32-bit fields cannot be held.
  if (AWidth < 0 || AHeight < 0) InvalidDIB();
  const auto widthBytes = static_cast<std::int64_t>(pixels::DibRowBytes(AWidth, ABitCount));
  constexpr std::int64_t kMaxSize = std::numeric_limits<std::int32_t>::max();
  if (widthBytes > kMaxSize || (widthBytes > 0 && AHeight > kMaxSize / widthBytes))
    throw fw::EOutOfMemory(fw::msg::OutOfMemory);
  const std::int64_t size = widthBytes * AHeight;

  BitCount = ABitCount;
  Height = AHeight;
  Width = AWidth;
  WidthBytes = static_cast<std::int32_t>(widthBytes);
  NextLine = -WidthBytes;
  Size = static_cast<std::int32_t>(size);
  Layout = ALayout;
  ColorCount = BitCount <= 8 ? (1 << BitCount) : 0;

  const bool masks = BitCount == 16 || BitCount == 32;
  HeaderSize = 40 + (masks ? 12 : 0) + 4 * ColorCount;
  Header = std::make_unique<std::uint8_t[]>(static_cast<std::size_t>(HeaderSize));  // zero-filled
  win::BITMAPINFOHEADER& h = InfoHeader();
  h.biSize = 40;
  h.biWidth = Width;
  h.biHeight = Height;
  h.biPlanes = 1;
  h.biBitCount = static_cast<win::WORD>(BitCount);
  if (masks) h.biCompression = win::BI_BITFIELDS;
  else if (BitCount == 4 && ACompressed) h.biCompression = win::BI_RLE4;
  else if (BitCount == 8 && ACompressed) h.biCompression = win::BI_RLE8;
  else h.biCompression = win::BI_RGB;
  h.biSizeImage = static_cast<win::DWORD>(Size);
  if (masks) {
    const std::uint32_t m[3] = {static_cast<std::uint32_t>(Layout.RedMask), static_cast<std::uint32_t>(Layout.GreenMask),
                                static_cast<std::uint32_t>(Layout.BlueMask)};
    std::memcpy(Header.get() + 40, m, 12);
  }
  ColorTableOffset = masks ? 52 : 40;

  ColorTable = AColorTable;
  if (ColorCount) std::memcpy(Header.get() + ColorTableOffset, ColorTable.data(), 4 * ColorCount);
  // No palette has been made for these colours yet.
  PaletteDirty = ColorCount > 0;

  Compressed = h.biCompression == win::BI_RLE8 || h.biCompression == win::BI_RLE4;
  MemoryImage = AMemoryImage || Compressed;

  if (!Compressed && Size > 0) {
    if (MemoryImage) {
      Bits = static_cast<std::uint8_t*>(kernel::GlobalAlloc(kernel::GPTR, static_cast<std::size_t>(Size)));
      if (!Bits) throw fw::EOutOfMemory(fw::msg::OutOfMemory);
    } else {
      DC = gdi::CreateCompatibleDC(nullptr);
      void* bits = nullptr;
      Section = gdi::CreateDIBSection(DC, Info(), gdi::DIB_RGB_COLORS, &bits, nullptr, 0);
      if (!Section) throw fw::EOutOfResources(Format(SCannotMade, "DIB"));
      Bits = static_cast<std::uint8_t*>(bits);
      OldBitmap = gdi::SelectObject(DC, Section);
    }
  }
  TopBits = Bits && Height > 0 ? Bits + static_cast<std::ptrdiff_t>(Height - 1) * WidthBytes : nullptr;
}

void TDIBSharedImage::LoadImage(fw::TStream& Stream, bool AMemoryImage, std::int64_t BitsPosition) {
  std::uint32_t headerSize = 0;
  const std::int64_t got = Stream.Read(&headerSize, 4);
  if (got == 0) return;
  if (got != 4) InvalidDIB();

  // The header, its masks and the colour table are read as every BMP reader reads them (the
  // framework's bitmap too); this form takes the core and the classic header only.
  const fw::TBmpHeader header = fw::ReadBmpHeader(Stream, headerSize, DIBRules());
  const win::BITMAPINFOHEADER& bi = header.Info;

  PixelLayout layout;
  if (header.BitFields()) layout = MakePixelLayoutFromMasks(header.Masks[0], header.Masks[1], header.Masks[2]);
  else layout = bi.biBitCount == 16 ? Layout555() : Layout888();

  TRGBQuads table;
  fw::ReadBmpColors(Stream, header, table);

  // Headers that cannot describe a bitmap: negative widths, a height without a magnitude, and
  // RLE data that does not match the bit count or runs top down.
  const std::uint32_t comp = bi.biCompression;
  if (bi.biWidth < 0 || bi.biHeight == std::numeric_limits<win::LONG>::min()) InvalidDIB();
  const bool rle = comp == win::BI_RLE8 || comp == win::BI_RLE4;
  const int height = bi.biHeight < 0 ? -bi.biHeight : bi.biHeight;
  if (rle && ((comp == win::BI_RLE8) != (bi.biBitCount == 8) || (comp == win::BI_RLE4) != (bi.biBitCount == 4) ||
              bi.biHeight < 0))
    InvalidDIB();
  // The format and the compression are checked, and pixel data the stream cannot hold is found
  // to be a short read, before anything is allocated for them.
  const int bc = bi.biBitCount;
  CheckFormat(bc, layout);
  if (comp > win::BI_BITFIELDS) InvalidDIB();
  // Bit fields with the layout's widths at other places: the pixels are moved to the layout's
  // places once they are read, so that they mean what the layout says.
  const pixels::ColorMasks stored(header.Masks[0], header.Masks[1], header.Masks[2]);
  const bool moveChannels = header.BitFields() && (bc == 16 || bc == 32) &&
                            !HasMasks(layout, header.Masks);
  if (moveChannels && !SeparateChannels(header.Masks, bc)) InvalidDIB();
  // The file form says where the pixels are; anything between the table and them is skipped.
  if (BitsPosition >= 0) fw::SeekBmpBits(Stream, BitsPosition, DIBRules());
  const std::int64_t left = Stream.Size() - Stream.Position();
  if (rle) {
    if (std::int64_t(bi.biSizeImage) > left) throw fw::EReadError(fw::msg::ReadError);
  } else {
    const auto widthBytes = static_cast<std::int64_t>(pixels::DibRowBytes(bi.biWidth, bc));
    if (widthBytes > 0 && height > 0 && (widthBytes > left || height > left / widthBytes))
      throw fw::EReadError(fw::msg::ReadError);
  }

  NewImage(bi.biWidth, height, bc, layout, table, AMemoryImage, rle);

  switch (comp) {
    case win::BI_RGB:
    case win::BI_BITFIELDS:
      if (bi.biHeight > 0) {
        if (Size) Stream.ReadBuffer(Bits, Size);
      } else if (Size) {
        std::uint8_t* row = TopBits;
        for (int y = 0; y < height; ++y, row += NextLine) Stream.ReadBuffer(row, WidthBytes);
      }
      if (moveChannels && Size) {
        const pixels::ColorMasks own(static_cast<std::uint32_t>(Layout.RedMask), static_cast<std::uint32_t>(Layout.GreenMask),
                                     static_cast<std::uint32_t>(Layout.BlueMask));
        pixels::MoveChannels(pixels::BottomUpView(Bits, WidthBytes, Width, Height, static_cast<std::uint32_t>(BitCount)),
                             stored, own);
      }
      break;
    case win::BI_RLE8:
    case win::BI_RLE4: {
      const std::size_t n = bi.biSizeImage;
      Bits = static_cast<std::uint8_t*>(kernel::GlobalAlloc(kernel::GPTR, n));
      if (!Bits) throw fw::EOutOfMemory(fw::msg::OutOfMemory);
      InfoHeader().biSizeImage = static_cast<win::DWORD>(n);
      Stream.ReadBuffer(Bits, static_cast<std::int64_t>(n));
      TopBits = nullptr;  // RLE data has no rows to address
      break;
    }
    default: InvalidDIB();
  }
}

void TDIBSharedImage::Duplicate(TDIBSharedImage* Source, bool AMemoryImage) {
  if (Source->Empty()) {
    Free();
    Reset();
    MemoryImage = AMemoryImage;
    return;
  }
  NewImage(Source->Width, Source->Height, Source->BitCount, Source->Layout, Source->ColorTable, AMemoryImage, false);
  const std::size_t n = std::min<std::size_t>(Source->InfoHeader().biSizeImage, static_cast<std::size_t>(Size));
  if (n) {
    gdi::GdiFlush();
    std::memcpy(Bits, Source->Bits, n);
  }
}

void TDIBSharedImage::Decompress(TDIBSharedImage* Source, bool AMemoryImage) {
  if (!Source->Compressed) {
    Duplicate(Source, AMemoryImage);
    return;
  }
  NewImage(Source->Width, Source->Height, Source->BitCount, Source->Layout, Source->ColorTable, AMemoryImage, false);
  if (!Bits || !Source->Bits) return;
  const std::size_t count = Source->InfoHeader().biSizeImage;
  if (Source->BitCount == 8) DecodeRLE8(Source->Bits, count);
  else DecodeRLE4(Source->Bits, count);
}

// RLE8 runs continue in memory past the end of a row, as the data says; RLE4 pixels go to their
// row and column and whatever lies past the right edge is dropped. Nothing is written outside
// the pixels; rows past the top end the decoding.
void TDIBSharedImage::DecodeRLE8(const std::uint8_t* Data, std::size_t Count) {
  pixels::DecodeRle(pixels::PixelView{Bits, WidthBytes, Width, Height, 8}, Data, Count, pixels::RleRowEnd::Continue);
}

void TDIBSharedImage::DecodeRLE4(const std::uint8_t* Data, std::size_t Count) {
  pixels::DecodeRle(pixels::PixelView{Bits, WidthBytes, Width, Height, 4}, Data, Count, pixels::RleRowEnd::Clip);
}

void TDIBSharedImage::SetColorTable(const TRGBQuads& AColorTable) {
  ColorTable = AColorTable;
  PaletteDirty = true;
  if (!Empty() && ColorCount > 0) {
    if (DC) gdi::SetDIBColorTable(DC, 0, 256, ColorTable.data());
    std::memcpy(Header.get() + ColorTableOffset, ColorTable.data(), 4 * ColorCount);
  }
}

win::HPALETTE TDIBSharedImage::GetPalette() {
  if (ColorCount == 0) return nullptr;
  if (PaletteDirty) {
    PaletteDirty = false;
    PaletteManager().ReleasePalette(Palette);
    Palette = PaletteManager().AcquirePalette(ColorTable.data(), ColorCount);
  }
  return Palette;
}

TDIBSharedImage* EmptyImage() {
  TDIBSharedImage*& empty = EmptySlot();
  if (!empty) {
    empty = new TDIBSharedImage;  // lives by its count, like every shared image
    empty->Reference();
  }
  return empty;
}

// ---- Global memory stream -------------------------------------------------------------------

TGlobalMemoryStream::TGlobalMemoryStream(win::HGLOBAL AHandle) : handle_(AHandle) {
  void* p = kernel::GlobalLock(AHandle);
  SetPointer(p, p ? static_cast<std::int64_t>(kernel::GlobalSize(AHandle)) : 0);
}

TGlobalMemoryStream::~TGlobalMemoryStream() {
  kernel::GlobalUnlock(handle_);
  SetPointer(nullptr, 0);
}

// ---- TDIB -----------------------------------------------------------------------------------

TDIB::TDIB() {
  color_table_ = GreyColorTable();
  next_layout_ = Layout888();
  SetImage(EmptyImage());
}

TDIB::~TDIB() {
  SetImage(EmptyImage());
  image_->Release();
  image_ = nullptr;
  canvas_.reset();
}

void TDIB::Refresh() {
  TDIBSharedImage* i = image_;
  bit_count_ = i->BitCount;
  height_ = i->Height;
  next_line_ = i->NextLine;
  layout_ = i->Layout;
  next_layout_ = i->Layout;
  bits_ = i->Bits;
  size_ = i->Size;
  top_bits_ = i->TopBits;
  width_ = i->Width;
  width_bytes_ = i->WidthBytes;
  color_table_ = i->ColorTable;
}

void TDIB::SetImage(TDIBSharedImage* Value) {
  if (Value == image_) return;
  if (canvas_) canvas_->SetHandle(nullptr);
  Value->Reference();
  if (image_) image_->Release();
  image_ = Value;
  if (canvas_) canvas_->SetHandle(image_->DC);
  Refresh();
}

namespace {

// Puts a freshly made image in place; a failure while making it frees it.
template <class Make>
void Replace(TDIB& dib, Make make) {
  auto img = std::make_unique<TDIBSharedImage>();
  make(*img);
  dib.SetImage(img.release());
}

}  // namespace

void TDIB::Unique(bool AllocateImage) {
  TDIBSharedImage* cur = image_;
  if (cur->RefCount() > 1 || cur->Compressed || (!AllocateImage && cur->MemoryImage)) {
    const bool memory = cur->MemoryImage && AllocateImage;
    Replace(*this, [&](TDIBSharedImage& img) { img.Decompress(cur, memory); });
  }
}

void TDIB::EnsureSection() {
  TDIBSharedImage* cur = image_;
  if (cur->MemoryImage) Replace(*this, [&](TDIBSharedImage& img) { img.Decompress(cur, false); });
}

void TDIB::Clear() {
  SetImage(EmptyImage());
  Changed(this);
}

void TDIB::SetSize(int AWidth, int AHeight, int ABitCount) {
  if (AWidth == width_ && AHeight == height_ && ABitCount == bit_count_ && SameMasks(layout_, next_layout_)) return;
  if (AWidth <= 0 || AHeight <= 0) {
    Clear();
    return;
  }
  const PixelLayout layout = next_layout_;
  const TRGBQuads table = color_table_;
  const bool memory = image_->MemoryImage;
  Replace(*this, [&](TDIBSharedImage& img) { img.NewImage(AWidth, AHeight, ABitCount, layout, table, memory, false); });
  PaletteModified = true;
  Changed(this);
}

void TDIB::SetWidth(int Value) {
  if (Value <= 0) Clear();
  else if (Empty()) SetSize(Value, std::max(height_, 1), 8);
  else SetSize(Value, height_, bit_count_);
}

void TDIB::SetHeight(int Value) {
  if (Value <= 0) Clear();
  else if (Empty()) SetSize(std::max(width_, 1), Value, 8);
  else SetSize(width_, Value, bit_count_);
}

void TDIB::SetPixel(int X, int Y, std::uint32_t Value) {
  Unique(true);
  if (X < 0 || X >= width_ || Y < 0 || Y >= height_ || !top_bits_) return;
  pixels::StorePixel(top_bits_ + static_cast<std::ptrdiff_t>(Y) * next_line_, X, static_cast<std::uint32_t>(bit_count_),
                     Value);
}

std::uint8_t* TDIB::GetBits() {
  Unique(true);
  if (!image_->MemoryImage) gdi::GdiFlush();
  return bits_;
}

void TDIB::UpdatePalette() {
  if (std::memcmp(color_table_.data(), image_->ColorTable.data(), sizeof(TRGBQuads)) == 0) return;
  const TRGBQuads keep = color_table_;
  Unique(true);
  color_table_ = keep;
  image_->SetColorTable(color_table_);
  PaletteModified = true;
  Changed(this);
}

win::HPALETTE TDIB::GetPalette() { return image_->GetPalette(); }

void TDIB::SetPalette(win::HPALETTE Value) {
  win::PALETTEENTRY pe[256];
  const win::UINT n = gdi::GetPaletteEntries(Value, 0, 256, pe);
  gdi::DeleteObject(Value);
  for (win::UINT i = 0; i < n; ++i) color_table_[i] = fw::PaletteEntryToQuad(pe[i]);
  UpdatePalette();
}

fw::TCanvas* TDIB::Canvas() {
  if (canvas_ && canvas_->HandleAllocated()) return canvas_.get();
  EnsureSection();
  if (canvas_) canvas_->SetHandle(nullptr);
  canvas_ = std::make_unique<fw::TCanvas>();
  canvas_->SetHandle(image_->DC);
  canvas_->OnChanging = [this](fw::TObject*) { Unique(false); };
  return canvas_.get();
}

void TDIB::Draw(fw::TCanvas& ACanvas, const fw::TRect& Rect) {
  if (Empty()) return;
  win::HDC dc = ACanvas.Handle();
  win::HPALETTE oldPalette = nullptr;
  if (image_->ColorCount >= 1) {
    if (win::HPALETTE pal = GetPalette()) {
      oldPalette = gdi::SelectPalette(dc, pal, win::FALSE);
      gdi::RealizePalette(dc);
    }
  }
  const int oldMode = gdi::SetStretchBltMode(dc, gdi::COLORONCOLOR);
  struct Restore {
    win::HDC dc;
    win::HPALETTE palette;
    int mode;
    ~Restore() {
      if (mode) gdi::SetStretchBltMode(dc, mode);
      if (palette) gdi::SelectPalette(dc, palette, win::TRUE);
    }
  } restore{dc, oldPalette, oldMode};
  gdi::GdiFlush();
  const auto rop = static_cast<win::DWORD>(ACanvas.CopyMode());
  if (image_->MemoryImage) {
    gdi::StretchDIBits(dc, Rect.left, Rect.top, fw::RectWidth(Rect), fw::RectHeight(Rect), 0, 0, width_, height_,
                       image_->Bits, image_->Info(), gdi::DIB_RGB_COLORS, rop);
  } else {
    gdi::StretchBlt(dc, Rect.left, Rect.top, fw::RectWidth(Rect), fw::RectHeight(Rect), image_->DC, 0, 0, width_,
                    height_, rop);
  }
}

// ---- Stored, file and clipboard forms --------------------------------------------------------

void TDIB::ReadBody(fw::TStream& Stream) { ReadImage(Stream, -1); }

void TDIB::ReadImage(fw::TStream& Stream, std::int64_t BitsPosition) {
  const bool memory = image_->MemoryImage;
  Replace(*this, [&](TDIBSharedImage& img) { img.LoadImage(Stream, memory, BitsPosition); });
  PaletteModified = true;
  Changed(this);
}

void TDIB::WriteBody(fw::TStream& Stream) {
  if (Empty()) return;
  if (!image_->MemoryImage) gdi::GdiFlush();
  Stream.WriteBuffer(image_->Header.get(), image_->HeaderSize);
  const std::int64_t n = image_->InfoHeader().biSizeImage;
  if (n) Stream.WriteBuffer(image_->Bits, n);
}

// The file header is read here and not with the framework bitmap's: an empty stream leaves the
// bitmap as it is, and a short header is an invalid DIB rather than a read error.
void TDIB::ReadFile(fw::TStream& Stream) {
  win::BITMAPFILEHEADER fh{};
  const std::int64_t start = Stream.Position();
  const std::int64_t got = Stream.Read(&fh, sizeof fh);
  if (got == 0) return;
  if (got < static_cast<std::int64_t>(sizeof fh) || fh.bfType != 0x4D42) InvalidDIB();
  ReadImage(Stream, start + fh.bfOffBits);
}

void TDIB::WriteFile(fw::TStream& Stream) {
  if (Empty()) return;
  win::BITMAPFILEHEADER fh{};
  fh.bfType = 0x4D42;
  fh.bfSize = static_cast<win::DWORD>(image_->HeaderSize + 14 + image_->InfoHeader().biSizeImage);
  fh.bfOffBits = static_cast<win::DWORD>(image_->HeaderSize + 14);
  Stream.WriteBuffer(&fh, sizeof fh);
  WriteBody(Stream);
}

void TDIB::ReadClipboard(win::UINT, win::HANDLE AData, win::HPALETTE) {
  TGlobalMemoryStream s(AData);
  ReadBody(s);
}

void TDIB::WriteClipboard(win::UINT& AFormat, win::HANDLE& AData, win::HPALETTE& APalette) {
  fw::TMemoryStream m;
  WriteBody(m);
  win::HGLOBAL h = kernel::GlobalAlloc(kernel::GHND, static_cast<std::size_t>(m.Size()));
  if (!h) throw fw::EOutOfMemory(fw::msg::OutOfMemory);
  if (m.Size()) {
    void* p = kernel::GlobalLock(h);
    std::memcpy(p, m.Memory(), static_cast<std::size_t>(m.Size()));
    kernel::GlobalUnlock(h);
  }
  AFormat = win::CF_DIB;
  AData = h;
  APalette = nullptr;
}

void TDIB::DefineProperties(fw::TFiler& Filer) {
  fw::TGraphic::DefineProperties(Filer);
  Filer.DefineBinaryProperty("DIB", [this](fw::TStream& s) { ReadFile(s); }, nullptr, false);
}

// ---- Assignment ------------------------------------------------------------------------------

void TDIB::Assign(fw::TPersistent* Source) {
  if (Source == this) return;
  if (!Source) {
    Clear();
    return;
  }
  if (auto* d = dynamic_cast<TDIB*>(Source)) {
    SetImage(d->image_);
    Changed(this);
    return;
  }
  if (auto* p = dynamic_cast<fw::TPicture*>(Source)) {
    if (p->Graphic()) Assign(p->Graphic());
    else Clear();
    return;
  }
  if (auto* b = dynamic_cast<fw::TBitmap*>(Source)) {
    win::PALETTEENTRY pe[256];
    const win::UINT n = b->GetPalette() ? gdi::GetPaletteEntries(b->GetPalette(), 0, 256, pe) : 0;
    for (win::UINT i = 0; i < n; ++i) color_table_[i] = fw::PaletteEntryToQuad(pe[i]);
    UpdatePalette();
    win::DIBSECTION ds{};
    const int got = b->Handle() ? gdi::GetObject(b->Handle(), sizeof ds, &ds) : 0;
    const int bits = ds.dsBm.bmBitsPixel;
    if (got == static_cast<int>(sizeof(win::DIBSECTION))) {
      next_layout_ = (bits >= 24 || bits <= 8) ? Layout888()
                                               : MakePixelLayoutFromMasks(ds.dsBitfields[0], ds.dsBitfields[1],
                                                                          ds.dsBitfields[2]);
    } else if (got == static_cast<int>(sizeof(win::BITMAP))) {
      next_layout_ = bits == 16 ? Layout555() : Layout888();
    } else {
      return;
    }
    SetSize(b->Width(), b->Height(), bits);
    if (Empty()) return;
    std::memset(GetBits(), 0, static_cast<std::size_t>(size_));
    Canvas()->Draw(0, 0, b);
    return;
  }
  if (auto* g = dynamic_cast<fw::TGraphic*>(Source)) {
    SetSize(g->Width(), g->Height(), 24);
    if (Empty()) return;
    std::memset(GetBits(), 0, static_cast<std::size_t>(size_));
    Canvas()->Draw(0, 0, g);
    return;
  }
  fw::TGraphic::Assign(Source);
}

// ---- Registration ----------------------------------------------------------------------------

namespace {

struct DIBUnit {
  DIBUnit() {
    fw::TPicture::RegisterFileFormat("dib", "Device Independent Bitmap", fw::GraphicClass<TDIB>());
    fw::TPicture::RegisterClipboardFormat(win::CF_DIB, fw::GraphicClass<TDIB>());
  }
  ~DIBUnit() {
    fw::TPicture::UnregisterGraphicClass(TDIB::StaticClass());
    if (TDIBSharedImage*& empty = EmptySlot()) {
      empty->Release();
      empty = nullptr;
    }
    ManagerSlot().reset();
    g_unitEnded = true;
  }
} g_dibUnit;

}  // namespace

}  // namespace dx
