#include "platform/pixels/Pixels.h"

namespace pixels {

namespace {

template <int BitCount>
void MoveRows(const PixelView& v, const ColorMasks& from, const ColorMasks& to) {
  const Channel f[3] = {from.Red, from.Green, from.Blue};
  const Channel t[3] = {to.Red, to.Green, to.Blue};
  std::uint32_t keep[3];
  for (int c = 0; c < 3; ++c) keep[c] = ValueMask(static_cast<std::uint32_t>(f[c].Bits));
  for (LONG y = 0; y < v.Height; ++y) {
    std::uint8_t* row = v.Row(y);
    for (LONG x = 0; x < v.Width; ++x) {
      const std::uint32_t p = Pixel<BitCount>::Load(row, x);
      std::uint32_t q = 0;
      for (int c = 0; c < 3; ++c) q |= ((p >> f[c].Shift) & keep[c]) << t[c].Shift;
      Pixel<BitCount>::Store(row, x, q);
    }
  }
}

}  // namespace

void MoveChannels(const PixelView& v, const ColorMasks& from, const ColorMasks& to) {
  switch (v.BitCount) {
    case 16: return MoveRows<16>(v, from, to);
    case 24: return MoveRows<24>(v, from, to);
    case 32: return MoveRows<32>(v, from, to);
    default: return;
  }
}

}  // namespace pixels
