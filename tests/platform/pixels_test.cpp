// The shared pixel vocabulary: pixel values at every depth against hand-written bit patterns,
// fills, colour masks, clipping, and RLE data decoded into guarded memory.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "platform/pixels/Pixels.h"
#include "platform/pixels/PixelsRle.h"

namespace {

using pixels::PixelView;
using win::LONG;
using win::RECT;

// Pixel memory with guard bytes on both sides that must never change.
struct Guarded {
  static constexpr std::size_t kGuard = 16;
  static constexpr std::uint8_t kFill = 0xA5;
  std::vector<std::uint8_t> Memory;
  PixelView View;
  std::size_t Offset;
  // `offset` bytes before the pixels leave them unaligned for their size.
  Guarded(LONG w, LONG h, std::uint32_t bits, std::uint8_t initial = 0, std::size_t offset = 0) : Offset(offset) {
    const auto pitch = static_cast<std::ptrdiff_t>(pixels::DibRowBytes(w, static_cast<int>(bits)));
    Memory.assign(2 * kGuard + offset + static_cast<std::size_t>(pitch * h), kFill);
    std::fill(Memory.begin() + kGuard, Memory.end() - kGuard, initial);
    View = PixelView{Bytes(), pitch, w, h, bits};
  }
  std::uint8_t* Bytes() { return Memory.data() + kGuard + Offset; }
  bool GuardsIntact() const {
    for (std::size_t i = 0; i < kGuard; ++i)
      if (Memory[i] != kFill || Memory[Memory.size() - 1 - i] != kFill) return false;
    return true;
  }
};

TEST(Pixels, ValuesLieInMemoryAsTheFormatsSay) {
  {  // 1 bit: the leftmost pixel is the highest bit
    Guarded g(12, 1, 1);
    pixels::PutPixel(g.View, 0, 0, 1);
    pixels::PutPixel(g.View, 9, 0, 3);  // only the lowest bit counts
    EXPECT_EQ(g.Bytes()[0], 0x80);
    EXPECT_EQ(g.Bytes()[1], 0x40);
    pixels::PutPixel(g.View, 0, 0, 0);
    EXPECT_EQ(g.Bytes()[0], 0x00);
    EXPECT_EQ(pixels::GetPixel(g.View, 9, 0), 1u);
    EXPECT_EQ(pixels::GetPixel(g.View, 8, 0), 0u);
  }
  {  // 2 bits
    Guarded g(4, 1, 2);
    pixels::PutPixel(g.View, 0, 0, 3);
    pixels::PutPixel(g.View, 3, 0, 1);
    EXPECT_EQ(g.Bytes()[0], 0xC1);
  }
  {  // 4 bits: even columns in the high nibble, the neighbour kept
    Guarded g(5, 1, 4, 0xFF);
    pixels::PutPixel(g.View, 4, 0, 0x3A);
    EXPECT_EQ(g.Bytes()[2], 0xAF);
    pixels::PutPixel(g.View, 1, 0, 0x0);
    EXPECT_EQ(g.Bytes()[0], 0xF0);
    EXPECT_EQ(pixels::GetPixel(g.View, 4, 0), 0xAu);
  }
  {  // 16, 24, 32 bits: little-endian
    Guarded g16(3, 1, 16), g24(3, 1, 24), g32(3, 1, 32);
    pixels::PutPixel(g16.View, 1, 0, 0xFFFF1234u);
    pixels::PutPixel(g24.View, 1, 0, 0xFF123456u);
    pixels::PutPixel(g32.View, 1, 0, 0x89ABCDEFu);
    const std::uint8_t w16[] = {0, 0, 0x34, 0x12, 0, 0};
    const std::uint8_t w24[] = {0, 0, 0, 0x56, 0x34, 0x12, 0, 0, 0};
    const std::uint8_t w32[] = {0, 0, 0, 0, 0xEF, 0xCD, 0xAB, 0x89, 0, 0, 0, 0};
    EXPECT_EQ(std::vector<std::uint8_t>(g16.Bytes(), g16.Bytes() + 6), std::vector<std::uint8_t>(w16, w16 + 6));
    EXPECT_EQ(std::vector<std::uint8_t>(g24.Bytes(), g24.Bytes() + 9), std::vector<std::uint8_t>(w24, w24 + 9));
    EXPECT_EQ(std::vector<std::uint8_t>(g32.Bytes(), g32.Bytes() + 12), std::vector<std::uint8_t>(w32, w32 + 12));
    EXPECT_EQ(pixels::GetPixel(g24.View, 1, 0), 0x123456u);
    EXPECT_EQ(pixels::GetPixel(g32.View, 1, 0), 0x89ABCDEFu);
  }
}

TEST(Pixels, BottomUpViewsPutRowZeroAtTheTop) {
  Guarded g(2, 3, 8);
  const PixelView up = pixels::BottomUpView(g.Bytes(), g.View.Pitch, 2, 3, 8);
  pixels::PutPixel(up, 1, 0, 7);
  EXPECT_EQ(g.Bytes()[2 * g.View.Pitch + 1], 7);  // the last row in memory
  EXPECT_EQ(up.Lowest(), g.Bytes());
  EXPECT_TRUE(g.GuardsIntact());
}

class PixelsAtDepth : public ::testing::TestWithParam<std::uint32_t> {};

TEST_P(PixelsAtDepth, FillsTheClippedRectangleAndNothingElse) {
  const std::uint32_t bits = GetParam();
  const std::uint32_t mask = pixels::ValueMask(bits);
  std::mt19937 rng(bits);
  std::uniform_int_distribution<LONG> edge(-40, 60);
  for (int round = 0; round < 80; ++round) {
    // Every other round the pixels are not aligned for 16 and 32 bits.
    Guarded g(23, 9, bits, 0, round % 2);
    const RECT r{edge(rng), edge(rng), edge(rng), edge(rng)};
    const std::uint32_t value = std::uniform_int_distribution<std::uint32_t>()(rng);
    std::vector<std::uint32_t> before;
    for (LONG y = 0; y < 9; ++y)
      for (LONG x = 0; x < 23; ++x) before.push_back(pixels::GetPixel(g.View, x, y));
    pixels::Fill(g.View, r, value);
    for (LONG y = 0; y < 9; ++y)
      for (LONG x = 0; x < 23; ++x) {
        const bool inside = x >= r.left && x < r.right && y >= r.top && y < r.bottom;
        const std::uint32_t want = inside ? value & mask : before[static_cast<std::size_t>(y * 23 + x)];
        ASSERT_EQ(pixels::GetPixel(g.View, x, y), want) << bits << " bits, round " << round;
      }
    ASSERT_TRUE(g.GuardsIntact()) << bits << " bits, round " << round;
  }
}

// Rows that lie back to back are filled as one run; rows with padding, partial rows and
// bottom-up memory must still get exactly their pixels, for values whose bytes are alike (a
// memset) and values whose bytes differ.
class PixelsAtByteDepth : public ::testing::TestWithParam<std::uint32_t> {};

TEST_P(PixelsAtByteDepth, FillsWholeRowsTopDownAndBottomUpWithoutTouchingPadding) {
  const std::uint32_t bits = GetParam();
  const std::uint32_t mask = pixels::ValueMask(bits);
  const LONG w = 24, h = 6;  // 24 pixels fill their rows exactly at every depth
  for (const std::uint32_t value : {0u, 0xFFFFFFFFu, 0x12345678u, 0x00010001u})
    for (const int padding : {0, 4})
      for (const bool bottomUp : {false, true})
        for (const RECT r : {RECT{0, 0, w, h}, RECT{0, 2, w, 5}, RECT{1, 0, w, h}, RECT{0, 1, w - 1, h}}) {
          const std::size_t rowBytes = pixels::DibRowBytes(w, static_cast<int>(bits));
          const std::ptrdiff_t pitch = static_cast<std::ptrdiff_t>(rowBytes) + padding;
          std::vector<std::uint8_t> mem(static_cast<std::size_t>(pitch * h) + 32, 0xA5);
          std::uint8_t* first = mem.data() + 16;
          const PixelView v = bottomUp ? pixels::BottomUpView(first, pitch, w, h, bits)
                                       : PixelView{first, pitch, w, h, bits};
          pixels::Fill(v, r, value);
          for (std::size_t i = 0; i < mem.size(); ++i) {
            const std::ptrdiff_t at = static_cast<std::ptrdiff_t>(i) - 16;
            const LONG memRow = at >= 0 ? static_cast<LONG>(at / pitch) : -1;
            const std::ptrdiff_t col = at >= 0 ? at % pitch : -1;
            const LONG y = bottomUp ? h - 1 - memRow : memRow;
            const bool pixelByte = at >= 0 && memRow < h && col < static_cast<std::ptrdiff_t>(rowBytes);
            const LONG x = pixelByte ? static_cast<LONG>(col / (bits / 8)) : -1;
            const bool inside = pixelByte && x >= r.left && x < r.right && y >= r.top && y < r.bottom;
            if (!inside) {
              ASSERT_EQ(mem[i], 0xA5) << bits << " bits, byte " << at << ", bottom-up " << bottomUp;
            } else if (col % (bits / 8) == 0) {
              ASSERT_EQ(pixels::GetPixel(v, x, y), value & mask) << bits << " bits at " << x << "," << y;
            }
          }
        }
}

INSTANTIATE_TEST_SUITE_P(AllDepths, PixelsAtDepth, ::testing::Values(1u, 2u, 4u, 8u, 16u, 24u, 32u));
INSTANTIATE_TEST_SUITE_P(WholeBytes, PixelsAtByteDepth, ::testing::Values(8u, 16u, 24u, 32u));

TEST(Pixels, ColorMasksWidenAndNarrowChannels) {
  const pixels::ColorMasks m565(0xF800, 0x7E0, 0x1F);
  EXPECT_EQ(m565.ToRgb(0xFFFF), 0xFFFFFFu);
  EXPECT_EQ(m565.ToRgb(0x8410), pixels::Rgb565ToRgb(0x8410));
  EXPECT_EQ(m565.FromRgb(0xFF8040), pixels::RgbToRgb565(0xFF8040));
  const pixels::ColorMasks m555(0x7C00, 0x3E0, 0x1F);
  EXPECT_EQ(m555.ToRgb(0x7C00), 0xFF0000u);
  EXPECT_EQ(m555.FromRgb(0x00FF00), 0x3E0u);
  EXPECT_EQ(pixels::Rgb555ToRgb(0x0010), 0x000084u);
  // Masks in an unusual order and a 10-bit channel.
  const pixels::ColorMasks odd(0x3FF, 0xFFC00, 0);
  EXPECT_EQ(odd.ToRgb(0x3FF), 0xFF0000u);
  EXPECT_EQ(odd.FromRgb(0x00FF00), 0xFF000u);
  EXPECT_EQ(pixels::ChannelOf(0).Bits, 0);
  const pixels::Channel c = pixels::ChannelOf(0x0F0F0);  // the lowest run only
  EXPECT_EQ(c.Shift, 4);
  EXPECT_EQ(c.Bits, 4);
  EXPECT_EQ(pixels::ChannelOf(0xFFFFFFFFu).Bits, 32);
}

TEST(Pixels, RectanglesIntersectUniteAndClipCopiesInStep) {
  EXPECT_TRUE(pixels::IsEmpty(pixels::Intersect(RECT{0, 0, 5, 5}, RECT{5, 0, 9, 5})));
  EXPECT_EQ(pixels::Intersect(RECT{-3, -3, 5, 5}, RECT{0, 0, 4, 10}), (RECT{0, 0, 4, 5}));
  EXPECT_EQ(pixels::Union(RECT{}, RECT{1, 2, 3, 4}), (RECT{1, 2, 3, 4}));
  EXPECT_TRUE(pixels::Inside(RECT{0, 0, 4, 4}, 4, 4));
  EXPECT_FALSE(pixels::Inside(RECT{0, 0, 5, 4}, 4, 4));
  EXPECT_FALSE(pixels::Inside(RECT{2, 0, 2, 4}, 4, 4));

  // Negative corner: both rectangles lose the same left and top.
  RECT d{-3, -2, 7, 8}, s{10, 20, 20, 30};
  ASSERT_TRUE(pixels::ClipCopy(d, s, RECT{0, 0, 100, 100}, RECT{0, 0, 100, 100}));
  EXPECT_EQ(d, (RECT{0, 0, 7, 8}));
  EXPECT_EQ(s, (RECT{13, 22, 20, 30}));
  // Larger than both bounds: the source's bounds cut the destination too.
  d = RECT{5, 5, 105, 105};
  s = RECT{-10, 0, 90, 100};
  ASSERT_TRUE(pixels::ClipCopy(d, s, RECT{0, 0, 50, 60}, RECT{0, 0, 40, 40}));
  EXPECT_EQ(d, (RECT{15, 5, 50, 45}));
  EXPECT_EQ(s, (RECT{0, 0, 35, 40}));
  // Entirely outside, and edges near the limits of 32 bits.
  d = RECT{200, 0, 210, 10};
  s = RECT{0, 0, 10, 10};
  EXPECT_FALSE(pixels::ClipCopy(d, s, RECT{0, 0, 100, 100}, RECT{0, 0, 100, 100}));
  d = RECT{-2147483647, 0, 2147483647, 1};
  s = RECT{-2147483647, 0, 2147483647, 1};
  ASSERT_TRUE(pixels::ClipCopy(d, s, RECT{0, 0, 8, 8}, RECT{0, 0, 8, 8}));
  EXPECT_EQ(d, (RECT{0, 0, 8, 1}));
  EXPECT_EQ(s, (RECT{0, 0, 8, 1}));
}

// --- RLE ---------------------------------------------------------------------------------------

std::vector<std::uint8_t> Decode(const std::vector<std::uint8_t>& data, LONG w, LONG h, std::uint32_t bits,
                                 pixels::RleRowEnd end, bool* guards = nullptr) {
  Guarded g(w, h, bits);
  // The data sits at the very end of its own allocation so that any read past it is caught.
  std::vector<std::uint8_t> copy(data);
  pixels::DecodeRle(g.View, copy.data(), copy.size(), end);
  if (guards) *guards = g.GuardsIntact();
  return std::vector<std::uint8_t>(g.Bytes(), g.Bytes() + g.View.Pitch * h);
}

TEST(PixelsRle, Rle8RunsLiteralsEndsOfLineAndDeltas) {
  // 6 x 3, rows of 8 bytes; row 0 is the bottom row.
  const std::vector<std::uint8_t> data = {
      3, 7,              // run of three 7s
      0, 3, 1, 2, 3, 0,  // literal 1 2 3, padded
      0, 0,              // end of line
      0, 2, 2, 1,        // two right, one up: row 2, column 2
      2, 9,              // 9 9
      0, 1,              // end of bitmap
      4, 4};             // never read
  bool guards = false;
  const auto bytes = Decode(data, 6, 3, 8, pixels::RleRowEnd::Clip, &guards);
  EXPECT_TRUE(guards);
  const std::vector<std::uint8_t> want = {7, 7, 7, 1, 2, 3, 0, 0,  //
                                          0, 0, 0, 0, 0, 0, 0, 0,  //
                                          0, 0, 9, 9, 0, 0, 0, 0};
  EXPECT_EQ(bytes, want);
}

TEST(PixelsRle, Rle8RunsPastTheRowEndAreClippedOrContinueButNeverLeaveTheMemory) {
  // 3 x 2 at 8 bits: rows of 4 bytes.
  const std::vector<std::uint8_t> data = {6, 5, 0, 0, 200, 1};
  bool guards = false;
  EXPECT_EQ(Decode(data, 3, 2, 8, pixels::RleRowEnd::Clip, &guards),
            (std::vector<std::uint8_t>{5, 5, 5, 0, 1, 1, 1, 0}));
  EXPECT_TRUE(guards);
  EXPECT_EQ(Decode(data, 3, 2, 8, pixels::RleRowEnd::Continue, &guards),
            (std::vector<std::uint8_t>{5, 5, 5, 5, 1, 1, 1, 1}));
  EXPECT_TRUE(guards);
  // A delta far past the right edge and above the top, then more runs: nothing written.
  const std::vector<std::uint8_t> far = {0, 2, 255, 0, 9, 9, 0, 2, 0, 255, 9, 9};
  for (auto end : {pixels::RleRowEnd::Clip, pixels::RleRowEnd::Continue}) {
    const auto bytes = Decode(far, 3, 2, 8, end, &guards);
    EXPECT_EQ(bytes, std::vector<std::uint8_t>(8, 0));
    EXPECT_TRUE(guards);
  }
}

TEST(PixelsRle, Rle4PlacesNibblesByColumnAndDropsWhatPassesTheEdge) {
  // 5 x 2 at 4 bits: rows of 4 bytes.
  const std::vector<std::uint8_t> data = {
      3, 0x12,          // 1 2 1
      0, 2, 1, 0,       // one right: column 4
      3, 0xAB,          // A, then B and A past the edge
      0, 0,
      0, 5, 0x34, 0x56, 0x70, 0};  // literal 3 4 5 6 7
  bool guards = false;
  const auto bytes = Decode(data, 5, 2, 4, pixels::RleRowEnd::Clip, &guards);
  EXPECT_TRUE(guards);
  EXPECT_EQ(bytes, (std::vector<std::uint8_t>{0x12, 0x10, 0xA0, 0, 0x34, 0x56, 0x70, 0}));
}

TEST(PixelsRle, DataThatEndsEarlyIsReadOnlyAsFarAsItGoes) {
  pixels::RleCommand c;
  {  // a literal of five with two bytes present: only those pixels
    const std::vector<std::uint8_t> data = {0, 5, 1, 2};
    pixels::RleReader r(data.data(), data.size(), 8);
    ASSERT_TRUE(r.Next(c));
    EXPECT_EQ(c.Op, pixels::RleOp::Literal);
    EXPECT_EQ(c.Count, 5);
    EXPECT_EQ(c.Available, 2);
    EXPECT_FALSE(r.Next(c));
  }
  {  // RLE4: one byte of a seven-pixel literal holds two pixels
    const std::vector<std::uint8_t> data = {0, 7, 0x9A};
    pixels::RleReader r(data.data(), data.size(), 4);
    ASSERT_TRUE(r.Next(c));
    EXPECT_EQ(c.Available, 2);
    EXPECT_EQ(c.PixelAt(1, 4), 0xA);
  }
  {  // a delta without its two bytes, and an odd last byte
    for (const std::vector<std::uint8_t>& data : {std::vector<std::uint8_t>{0, 2, 1},
                                                  std::vector<std::uint8_t>{2, 3, 1}}) {
      pixels::RleReader r(data.data(), data.size(), 8);
      int commands = 0;
      while (r.Next(c)) ++commands;
      EXPECT_LE(commands, 1);
    }
  }
  // Random data of every length never writes outside the pixels (the sanitizer watches reads).
  std::mt19937 rng(7);
  for (int round = 0; round < 400; ++round) {
    std::vector<std::uint8_t> data(static_cast<std::size_t>(round % 37));
    for (auto& b : data) b = static_cast<std::uint8_t>(rng() % 4 == 0 ? rng() % 4 : rng());
    bool guards = false;
    const std::uint32_t bits = round % 2 ? 4u : 8u;
    Decode(data, 1 + round % 7, 1 + round % 3, bits, round % 3 ? pixels::RleRowEnd::Clip : pixels::RleRowEnd::Continue,
           &guards);
    ASSERT_TRUE(guards) << round;
  }
}

}  // namespace
