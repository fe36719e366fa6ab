#pragma once
// JPEG pictures: decoding JFIF data with the libjpeg API.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "framework/Graphics.h"
#include "framework/SysUtils.h"

namespace fw {

// Pictures larger than this many pixels are refused before anything is allocated for them.
inline constexpr std::int64_t kMaxJpegPixels = std::int64_t{1} << 24;

// A decoded picture: Width x Height pixels, 3 bytes each (red, green, blue), rows top down
// without padding.
struct TJpegPixels {
  int Width = 0;
  int Height = 0;
  std::vector<std::uint8_t> Rgb;
};

// Decodes a whole JFIF file. Corrupt, truncated or oversized data raise EInvalidGraphic with
// a message naming what is wrong; nothing is read outside [Data, Data + Size).
TJpegPixels DecodeJpeg(const std::uint8_t* Data, std::size_t Size);
// Reads only the header: the picture's size.
void ReadJpegSize(const std::uint8_t* Data, std::size_t Size, int& Width, int& Height);

namespace msg {
inline constexpr const char* JpegError = "JPEG data is invalid (%s)";
inline constexpr const char* JpegTooLarge = "JPEG picture is too large (%dx%d)";
}  // namespace msg

// A JPEG picture. It keeps the JFIF file it was loaded from (that is what it stores and
// saves) and a 24-bit bitmap decoded from it, which is what it draws. Loading decodes at
// once, so that damaged data are refused when they are read, not when they are first shown.
// The stored form ("Data", or inside a picture) is a 32-bit little-endian byte count and the
// file; the stream form is the file alone.
class TJPEGImage : public TGraphic {
  FW_CLASS(TJPEGImage, TGraphic)
 public:
  TJPEGImage();
  ~TJPEGImage() override;

  void Assign(TPersistent* Source) override;
  void Draw(TCanvas& ACanvas, const TRect& Rect) override;
  bool GetEmpty() const override { return data_.empty(); }
  int GetHeight() const override { return height_; }
  int GetWidth() const override { return width_; }
  // A JPEG picture has the size its data give it.
  void SetHeight(int) override {}
  void SetWidth(int) override {}

  void ReadData(TStream& Stream) override;
  void WriteData(TStream& Stream) override;
  void LoadFromStream(TStream& Stream) override;
  void SaveToStream(TStream& Stream) override;
  // Reading from the clipboard would need a JPEG encoder; it raises EInvalidGraphicOperation.
  void LoadFromClipboardFormat(win::UINT AFormat, win::HANDLE AData, win::HPALETTE APalette) override;
  // Offers the decoded bitmap.
  void SaveToClipboardFormat(win::UINT& AFormat, win::HANDLE& AData, win::HPALETTE& APalette) override;

  // Replaces the picture by a whole JFIF file. Damaged data raise EInvalidGraphic and leave the
  // picture as it was.
  void LoadFromBytes(const std::uint8_t* Data, std::size_t Size);
  const std::vector<std::uint8_t>& Bytes() const { return data_; }
  // The decoded picture (null while empty); still owned by the image.
  TBitmap* Bitmap() const { return bitmap_.get(); }

 protected:
  void AssignTo(TPersistent* Dest) override;

 private:
  std::vector<std::uint8_t> data_;
  std::unique_ptr<TBitmap> bitmap_;
  int width_ = 0;
  int height_ = 0;
};

// Makes TJPEGImage known to pictures by class name ("TJPEGImage") and file extension ("jpg",
// "jpeg"). Runs at start-up; callers that must not depend on that may call it again.
void RegisterJpegImage();

}  // namespace fw
