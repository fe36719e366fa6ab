// Arbitrary bytes as a JPEG file and as the stored form of a JPEG picture (32-bit byte count,
// file): either a picture or the graphic's or stream's error, nothing else.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "framework/Jpeg.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // An exact-size copy, so that a read past the end is caught even for the empty input.
  std::vector<std::uint8_t> bytes(data, data + size);
  try {
    const fw::TJpegPixels p = fw::DecodeJpeg(bytes.data(), bytes.size());
    if (p.Rgb.size() != static_cast<std::size_t>(p.Width) * p.Height * 3) __builtin_trap();
  } catch (const fw::EInvalidGraphic&) {
  }
  try {
    fw::TBytesStream stream(bytes.data(), bytes.size());
    fw::TJPEGImage image;
    image.ReadData(stream);
    if (image.Empty() || !image.Bitmap() || image.Bitmap()->Width() != image.Width()) __builtin_trap();
  } catch (const fw::EInvalidGraphic&) {
  } catch (const fw::EReadError&) {
  }
  return 0;
}
