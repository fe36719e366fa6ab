#pragma once
// RLE8 and RLE4 pixel data as DIBs store it: pairs of bytes that encode runs of one value,
// literal pixels, ends of line, moves and the end of the bitmap. The reader only parses; what a
// command does to pixels is the caller's (DecodeRle for a whole bitmap, the GDI for drawing
// straight from the compressed data). Rows count from the bottom row of the bitmap up.
#include <cstddef>
#include <cstdint>

#include "platform/pixels/Pixels.h"

namespace pixels {

enum class RleOp {
  Run,        // Count pixels from the one byte Value (RLE4: its high and low nibble in turn)
  Literal,    // Count pixels given one by one in Data
  EndOfLine,  // column 0 of the next row up
  Delta,      // Right columns to the right and Up rows up
};

struct RleCommand {
  RleOp Op = RleOp::Run;
  int Count = 0;      // Run, Literal: pixels the command describes
  int Available = 0;  // Literal: those of them whose bytes are in the data (all but at a cut end)
  std::uint8_t Value = 0;               // Run
  const std::uint8_t* Data = nullptr;   // Literal: Available pixels' bytes
  int Right = 0, Up = 0;                // Delta

  // Pixel k (below Count for a run, below Available for a literal) as an index.
  std::uint8_t PixelAt(int k, int bitsPerPixel) const {
    if (Op == RleOp::Run)
      return bitsPerPixel == 8 ? Value : static_cast<std::uint8_t>((k & 1) ? (Value & 0xF) : (Value >> 4));
    if (bitsPerPixel == 8) return Data[k];
    return static_cast<std::uint8_t>((k & 1) ? (Data[k >> 1] & 0xF) : (Data[k >> 1] >> 4));
  }
};

// Reads commands from `size` bytes of RLE data at `bitsPerPixel` 8 or 4. Never reads outside
// the data: a literal cut short by the end of the data has only the pixels whose bytes are
// there, and a move cut short ends the data.
class RleReader {
 public:
  RleReader(const std::uint8_t* data, std::size_t size, int bitsPerPixel)
      : data_(data), size_(size), bits_(bitsPerPixel) {}

  // The next command; false at the end of the bitmap or of the data.
  bool Next(RleCommand& c);
  int BitsPerPixel() const { return bits_; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
  int bits_;
};

// How a run that passes the right edge goes on.
enum class RleRowEnd {
  Clip,      // its pixels past the last column are dropped, as RLE4 always does
  Continue,  // RLE8 only: it goes on through the row's padding into the next row up
};

// Decodes RLE data into `dest`, whose row 0 is the bottom row of the bitmap and whose BitCount
// (8 or 4) is the data's. Pixels the data does not set keep their values; nothing is written
// outside the view, nor for Continue past its rows' bytes. Continue needs rows that lie one
// after the other in memory (Pitch the row length in bytes, positive).
void DecodeRle(const PixelView& dest, const std::uint8_t* data, std::size_t size, RleRowEnd rowEnd);

}  // namespace pixels
