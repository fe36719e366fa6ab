#include "framework/GraphicsBmp.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#include "framework/Graphics.h"
#include "platform/gdi/Gdi.h"

namespace fw {

namespace {

// Skips Count bytes that the stream must hold.
void Skip(TStream& Stream, std::int64_t Count) {
  if (Count <= 0) return;
  if (Count > Stream.Size() - Stream.Position()) throw EReadError(msg::ReadError);
  Stream.Seek(Count, soCurrent);
}

}  // namespace

// ---- What every BMP reader shares -----------------------------------------------------------

std::uint32_t TBmpHeader::ColorCount() const {
  if (Info.biClrUsed == 0 && Info.biBitCount <= 8) return 1u << Info.biBitCount;
  return Info.biClrUsed;
}

TBmpHeader ReadBmpHeader(TStream& Stream, std::uint32_t HeaderSize, const TBmpRules& Rules) {
  TBmpHeader h;
  h.HeaderSize = HeaderSize;
  constexpr std::uint32_t kInfo = sizeof(win::BITMAPINFOHEADER);
  if (HeaderSize == sizeof(win::BITMAPCOREHEADER)) {
    win::BITMAPCOREHEADER ch{};
    Stream.ReadBuffer(reinterpret_cast<std::uint8_t*>(&ch) + 4, sizeof ch - 4);
    h.Info.biWidth = ch.bcWidth;
    h.Info.biHeight = ch.bcHeight;
    h.Info.biPlanes = ch.bcPlanes;
    h.Info.biBitCount = ch.bcBitCount;
  } else if (HeaderSize >= kInfo && HeaderSize <= Rules.MaxHeaderSize) {
    Stream.ReadBuffer(reinterpret_cast<std::uint8_t*>(&h.Info) + 4, kInfo - 4);
    // The extended headers hold the masks themselves, right after the classic part; after a
    // classic header they follow it.
    constexpr std::uint32_t kWithMasks = kInfo + sizeof h.Masks;
    if (h.BitFields() && HeaderSize >= kWithMasks) {
      Stream.ReadBuffer(h.Masks, sizeof h.Masks);
      Skip(Stream, HeaderSize - kWithMasks);
    } else {
      Skip(Stream, HeaderSize - kInfo);
      if (h.BitFields()) Stream.ReadBuffer(h.Masks, sizeof h.Masks);
    }
  } else {
    throw EInvalidGraphic(Rules.Invalid);
  }
  h.Info.biSize = kInfo;
  return h;
}

void ReadBmpColors(TStream& Stream, const TBmpHeader& Header, TBmpColors& Colors) {
  Colors = {};
  const std::uint32_t count = Header.ColorCount();
  const int size = Header.EntrySize();
  // The whole table must be there, the part that is skipped too.
  if (std::int64_t{count} * size > Stream.Size() - Stream.Position()) throw EReadError(msg::ReadError);
  const std::uint32_t kept = std::min<std::uint32_t>(count, 256);
  if (size == 4) {
    Stream.ReadBuffer(Colors.data(), std::int64_t{kept} * 4);
  } else {
    for (std::uint32_t i = 0; i < kept; ++i) Stream.ReadBuffer(&Colors[i], size);
  }
  Skip(Stream, std::int64_t{count - kept} * size);
}

void SeekBmpBits(TStream& Stream, std::int64_t Position, const TBmpRules& Rules) {
  const std::int64_t here = Stream.Position();
  if (Position < here) throw EInvalidGraphic(Rules.Invalid);
  if (Position > Stream.Size()) throw EReadError(msg::ReadError);
  if (Position > here) Stream.SetPosition(Position);
}

// ---- The framework bitmap's file form ---------------------------------------------------------

// The framework bitmap reads the header as the device-independent bitmap does, and takes more
// and less than it: the extended headers up to 1024 bytes, no width of 0, any bit-field masks
// (a section keeps them, so no pixel needs moving), and every fault is "Bitmap image is not
// valid". RLE files become plain sections.
namespace {
const TBmpRules kBitmapRules{1024, msg::InvalidBitmap};
}  // namespace

void TBitmap::LoadFromStream(TStream& Stream) {
  win::BITMAPFILEHEADER fh{};
  const std::int64_t start = Stream.Position();
  Stream.ReadBuffer(&fh, sizeof fh);
  if (fh.bfType != 0x4D42) throw EInvalidGraphic(msg::InvalidBitmap);
  win::DWORD hsize = 0;
  Stream.ReadBuffer(&hsize, 4);
  const TBmpHeader header = ReadBmpHeader(Stream, hsize, kBitmapRules);
  TBitmapInfoBuffer ib;
  ib.h = header.Info;
  if (header.BitFields()) std::memcpy(ib.extra, header.Masks, sizeof header.Masks);
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
  TBmpColors colors;
  ReadBmpColors(Stream, header, colors);
  if (bc <= 8) {
    for (int i = 0; i < (1 << bc); ++i) {
      ib.Colors()[i] = colors[i];
      ib.Colors()[i].rgbReserved = 0;
    }
    ib.h.biClrUsed = 1u << bc;
  }
  SeekBmpBits(Stream, start + fh.bfOffBits, kBitmapRules);
  const bool rle = comp == win::BI_RLE8 || comp == win::BI_RLE4;
  const std::int64_t dataSize = rle ? ib.h.biSizeImage : rowBytes * height;
  if (dataSize > Stream.Size() - Stream.Position()) throw EReadError(msg::ReadError);
  std::vector<std::uint8_t> data(static_cast<std::size_t>(dataSize));
  Stream.ReadBuffer(data.data(), dataSize);

  // A DIB section of the file's format; RLE files become plain 8- or 4-bit sections.
  TBitmapInfoBuffer sec = ib;
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
    win::PALETTEENTRY pe[256];
    for (int i = 0; i < (1 << bc); ++i) pe[i] = QuadToPaletteEntry(ib.Colors()[i]);
    pal = MakePalette(pe, 1 << bc);
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
  TBitmapInfoBuffer ib;
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

}  // namespace fw
