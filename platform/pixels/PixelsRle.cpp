#include "platform/pixels/PixelsRle.h"

#include <algorithm>

namespace pixels {

bool RleReader::Next(RleCommand& c) {
  if (at_ + 1 >= size_) return false;
  const std::uint8_t first = data_[at_], second = data_[at_ + 1];
  at_ += 2;
  c = RleCommand{};
  if (first > 0) {
    c.Op = RleOp::Run;
    c.Count = first;
    c.Value = second;
  } else if (second == 0) {
    c.Op = RleOp::EndOfLine;
  } else if (second == 1) {
    at_ = size_;
    return false;
  } else if (second == 2) {
    if (at_ + 2 > size_) {
      at_ = size_;
      return false;
    }
    c.Op = RleOp::Delta;
    c.Right = data_[at_];
    c.Up = data_[at_ + 1];
    at_ += 2;
  } else {
    const std::size_t bytes = bits_ == 8 ? second : (second + 1u) / 2;
    const std::size_t avail = std::min(bytes, size_ - at_);
    c.Op = RleOp::Literal;
    c.Count = second;
    c.Available = static_cast<int>(bits_ == 8 ? avail : std::min<std::size_t>(second, 2 * avail));
    c.Data = data_ + at_;
    at_ += avail;
  }
  // Every command starts on an even offset: literals of odd length are padded.
  if (at_ & 1) ++at_;
  return true;
}

void DecodeRle(const PixelView& dest, const std::uint8_t* data, std::size_t size, RleRowEnd rowEnd) {
  const int bits = static_cast<int>(dest.BitCount);
  if (!dest.Bits || (bits != 8 && bits != 4) || dest.Width <= 0 || dest.Height <= 0) return;
  const bool linear = rowEnd == RleRowEnd::Continue && bits == 8 && dest.Pitch > 0;
  const std::int64_t total = linear ? static_cast<std::int64_t>(dest.Pitch) * dest.Height : 0;
  RleReader reader(data, size, bits);
  RleCommand c;
  // Positions are 64 bits wide: moves and runs only ever add small amounts, so they cannot wrap.
  std::int64_t x = 0, y = 0;
  // Pixels [x, x + n) of the current row take pixel(k) of the command.
  auto place = [&](int n) {
    if (linear) {
      const std::int64_t at = y * dest.Pitch + x;
      const std::int64_t end = std::min<std::int64_t>(at + n, total);
      for (std::int64_t p = at; p < end; ++p) dest.Bits[p] = c.PixelAt(static_cast<int>(p - at), 8);
      return;
    }
    const std::int64_t end = std::min<std::int64_t>(x + n, dest.Width);
    std::uint8_t* row = dest.Row(static_cast<LONG>(y));
    for (std::int64_t col = x; col < end; ++col)
      StorePixel(row, static_cast<LONG>(col), dest.BitCount, c.PixelAt(static_cast<int>(col - x), bits));
  };
  while (y < dest.Height && reader.Next(c)) {
    switch (c.Op) {
      case RleOp::Run:
        place(c.Count);
        x += c.Count;
        break;
      case RleOp::Literal:
        place(c.Available);
        x += c.Count;
        break;
      case RleOp::EndOfLine:
        x = 0;
        ++y;
        break;
      case RleOp::Delta:
        x += c.Right;
        y += c.Up;
        break;
    }
  }
}

}  // namespace pixels
