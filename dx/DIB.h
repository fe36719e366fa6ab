#pragma once
// The device-independent bitmap graphic: 1, 4, 8, 16, 24 or 32 bits per pixel, optionally kept
// RLE-compressed, with a 256-entry colour table and a pixel layout. Its data lives in a
// reference-counted shared image that copies share until one of them changes it; palettes come
// from a process-wide manager that hands out one palette per distinct colour table.
#include <array>
#include <cstdint>
#include <memory>

#include "framework/Classes.h"
#include "framework/Graphics.h"
#include "platform/base/Types.h"

namespace dx {

// Channel widths, masks and shifts of a true-colour pixel; red is always the highest field.
struct PixelLayout {
  std::int32_t RedMask = 0, GreenMask = 0, BlueMask = 0;
  std::int32_t RedBits = 0, GreenBits = 0, BlueBits = 0;
  std::int32_t RedShift = 0, GreenShift = 0, BlueShift = 0;
  std::int32_t RedLoss = 0, GreenLoss = 0, BlueLoss = 0;
};

PixelLayout MakePixelLayout(int RBits, int GBits, int BBits);
// From masks: each width is the run of 1 bits from the mask's lowest set bit (0 for no bits).
PixelLayout MakePixelLayoutFromMasks(std::uint32_t RMask, std::uint32_t GMask, std::uint32_t BMask);

using TRGBQuads = std::array<win::RGBQUAD, 256>;
// Entry i = (i, i, i, 0).
TRGBQuads GreyColorTable();

class TDIBSharedImage : public fw::TSharedImage {
 public:
  TDIBSharedImage();
  ~TDIBSharedImage() override;

  // Builds an empty image of the given size and format on this (fresh) image. With ACompressed
  // there is no pixel storage: the caller supplies Bits.
  void NewImage(int AWidth, int AHeight, int ABitCount, const PixelLayout& ALayout,
                const TRGBQuads& AColorTable, bool AMemoryImage, bool ACompressed);
  // The stored form (no file header); a stream giving 0 bytes leaves the image empty. Bit
  // fields whose channels lie elsewhere than the layout's are moved to the layout's places.
  // BitsPosition, from a file header, is where the pixels are in the stream (-1: right after
  // the colour table); a position inside the headers or the table is an invalid DIB.
  void LoadImage(fw::TStream& Stream, bool AMemoryImage, std::int64_t BitsPosition = -1);
  // An uncompressed copy of Source (decoding RLE data) onto this fresh image.
  void Decompress(TDIBSharedImage* Source, bool AMemoryImage);
  void Duplicate(TDIBSharedImage* Source, bool AMemoryImage);
  void SetColorTable(const TRGBQuads& AColorTable);
  // Null for true-colour images; the handle belongs to the palette manager.
  win::HPALETTE GetPalette();

  win::BITMAPINFO* Info() { return reinterpret_cast<win::BITMAPINFO*>(Header.get()); }
  win::BITMAPINFOHEADER& InfoHeader() { return *reinterpret_cast<win::BITMAPINFOHEADER*>(Header.get()); }
  bool Empty() const { return Size == 0; }

  std::int32_t BitCount = 0;
  std::unique_ptr<std::uint8_t[]> Header;
  std::int32_t HeaderSize = 0;
  bool PaletteDirty = false;
  TRGBQuads ColorTable;
  std::int32_t ColorTableOffset = 0;
  bool Compressed = false;
  win::HDC DC = nullptr;
  win::HBITMAP Section = nullptr;
  std::int32_t Height = 0;
  bool MemoryImage = true;
  std::int32_t NextLine = 0;
  win::HGDIOBJ OldBitmap = nullptr;
  win::HPALETTE Palette = nullptr;
  std::int32_t ColorCount = 0;
  std::uint8_t* Bits = nullptr;
  PixelLayout Layout;
  std::int32_t Size = 0;
  std::uint8_t* TopBits = nullptr;
  std::int32_t Width = 0;
  std::int32_t WidthBytes = 0;

 protected:
  void FreeHandle() override { Free(); }

 private:
  void Reset();
  void Free();
  void DecodeRLE8(const std::uint8_t* Data, std::size_t Count);
  void DecodeRLE4(const std::uint8_t* Data, std::size_t Count);
};

// The process-wide empty image (with one extra reference of its own).
TDIBSharedImage* EmptyImage();

// A read stream over a global memory block: locked for the stream's life, not freed.
class TGlobalMemoryStream : public fw::TMemoryStream {
  FW_CLASS(TGlobalMemoryStream, fw::TMemoryStream)
 public:
  explicit TGlobalMemoryStream(win::HGLOBAL AHandle);
  ~TGlobalMemoryStream() override;
  std::int64_t Write(const void*, std::int64_t) override { return 0; }

 private:
  win::HGLOBAL handle_;
};

class TPaletteItem : public fw::TCollectionItem {
  FW_CLASS(TPaletteItem, fw::TCollectionItem)
 public:
  explicit TPaletteItem(fw::TCollection* Collection);
  ~TPaletteItem() override;

  std::uint32_t CheckSum = 0;
  win::HPALETTE Palette = nullptr;
  int RefCount = 0;
  TRGBQuads ColorTable{};
  int Count = 0;
};

class TPaletteManager {
 public:
  TPaletteManager();
  ~TPaletteManager();
  // A palette of the first `Count` entries (1 to 256), shared with every other holder of the
  // same entries.
  win::HPALETTE AcquirePalette(const win::RGBQUAD* Entries, int Count);
  // Lets go of a palette got from AcquirePalette and nulls the variable; the last holder's
  // release deletes it.
  void ReleasePalette(win::HPALETTE& Palette);
  int Count() const { return list_->Count(); }

 private:
  std::unique_ptr<fw::TCollection> list_;
};

TPaletteManager& PaletteManager();

class TDIB : public fw::TGraphic {
  FW_CLASS(TDIB, fw::TGraphic)
 public:
  TDIB();
  ~TDIB() override;

  // From another TDIB (sharing its image), a framework bitmap, any other graphic, a picture or
  // nothing.
  void Assign(fw::TPersistent* Source) override;
  void Draw(fw::TCanvas& ACanvas, const fw::TRect& Rect) override;
  bool GetEmpty() const override { return size_ == 0; }
  int GetHeight() const override { return height_; }
  int GetWidth() const override { return width_; }
  void SetHeight(int Value) override;
  void SetWidth(int Value) override;
  win::HPALETTE GetPalette() override;
  // Takes the palette's colours and deletes it.
  void SetPalette(win::HPALETTE Value) override;
  void ReadData(fw::TStream& Stream) override { ReadBody(Stream); }
  void WriteData(fw::TStream& Stream) override { WriteBody(Stream); }
  void LoadFromStream(fw::TStream& Stream) override { ReadFile(Stream); }
  void SaveToStream(fw::TStream& Stream) override { WriteFile(Stream); }
  void LoadFromClipboardFormat(win::UINT AFormat, win::HANDLE AData, win::HPALETTE APalette) override {
    ReadClipboard(AFormat, AData, APalette);
  }
  void SaveToClipboardFormat(win::UINT& AFormat, win::HANDLE& AData, win::HPALETTE& APalette) override {
    WriteClipboard(AFormat, AData, APalette);
  }
  // "Data" as every graphic, and the older "DIB" (read only, in the file form).
  void DefineProperties(fw::TFiler& Filer) override;

  void ReadBody(fw::TStream& Stream);
  void WriteBody(fw::TStream& Stream);
  void ReadFile(fw::TStream& Stream);
  void WriteFile(fw::TStream& Stream);
  void ReadClipboard(win::UINT AFormat, win::HANDLE AData, win::HPALETTE APalette);
  void WriteClipboard(win::UINT& AFormat, win::HANDLE& AData, win::HPALETTE& APalette);

  void SetImage(TDIBSharedImage* Value);
  void Unique(bool AllocateImage);
  void EnsureSection();
  void SetSize(int AWidth, int AHeight, int ABitCount);
  void Clear();
  void SetPixel(int X, int Y, std::uint32_t Value);
  // The pixels (bottom row first), private to this bitmap and flushed.
  std::uint8_t* GetBits();
  fw::TCanvas* Canvas();
  void UpdatePalette();

  TDIBSharedImage* Image() const { return image_; }
  int BitCount() const { return bit_count_; }
  int NextLine() const { return next_line_; }
  const PixelLayout& Layout() const { return layout_; }
  // The layout the next SetSize uses.
  const PixelLayout& NextLayout() const { return next_layout_; }
  void SetNextLayout(const PixelLayout& Value) { next_layout_ = Value; }
  std::uint8_t* Bits() const { return bits_; }
  int Size() const { return size_; }
  std::uint8_t* TopBits() const { return top_bits_; }
  int WidthBytes() const { return width_bytes_; }
  // The colours; change them and call UpdatePalette.
  TRGBQuads& ColorTable() { return color_table_; }

 private:
  void Refresh();
  void ReadImage(fw::TStream& Stream, std::int64_t BitsPosition);

  std::unique_ptr<fw::TCanvas> canvas_;
  TDIBSharedImage* image_ = nullptr;
  int bit_count_ = 0;
  int height_ = 0;
  int next_line_ = 0;
  PixelLayout layout_;
  std::uint8_t* bits_ = nullptr;
  int size_ = 0;
  std::uint8_t* top_bits_ = nullptr;
  int width_ = 0;
  int width_bytes_ = 0;
  TRGBQuads color_table_;
  PixelLayout next_layout_;
};

}  // namespace dx
