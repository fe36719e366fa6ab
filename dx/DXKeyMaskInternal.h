#pragma once
// Which pixels of a surface are not its colour key, one bit each. A pixel-exact hit test ANDs
// two such masks 64 pixels at a time instead of locking both surfaces and reading every pixel.
// A surface keeps its mask and makes it again only when its contents or its key have changed.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/base/Types.h"

namespace dx {

struct TSurfaceKeyMask {
  std::int32_t Width = 0;
  std::int32_t Height = 0;
  std::uint32_t BitCount = 0;
  // False at depths whose pixels are not compared (below 8 bits): such a surface hits nothing.
  bool Comparable = false;
  // 64-bit words per row: the row's own, then one more that is always zero, so that 64 bits
  // can be read from any column of the row.
  std::size_t Stride = 0;
  // Bit x % 64 of word x / 64 of a row: pixel x is not the key.
  std::vector<std::uint64_t> Words;

  // What the mask was made from: the surface's uniqueness value (when it has one) and its
  // source key as the surface reports it.
  bool HasUniqueness = false;
  win::DWORD Uniqueness = 0;
  win::HRESULT KeyResult = 0;
  std::uint32_t KeyLow = 0;

  const std::uint64_t* Row(std::int32_t Y) const { return Words.data() + static_cast<std::size_t>(Y) * Stride; }
};

// True where some pixel of A's w x h part at (AX, AY) and the same pixel of B's part at (BX, BY)
// are both not their key. The parts lie within their masks.
bool KeyMasksMeet(const TSurfaceKeyMask& A, std::int32_t AX, std::int32_t AY, const TSurfaceKeyMask& B,
                  std::int32_t BX, std::int32_t BY, std::int32_t W, std::int32_t H);

}  // namespace dx
