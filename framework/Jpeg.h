#pragma once
// JPEG pictures: decoding JFIF data with the libjpeg API.
#include <cstddef>
#include <cstdint>
#include <vector>

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

}  // namespace fw
