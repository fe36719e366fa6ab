// The fast blits against the reference path, pixel by pixel, over random rectangles, keys and
// formats.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "platform/ddraw/DDrawBlit.h"

namespace {

using ddraw::blit::BltParams;
using ddraw::blit::KeyRange;
using pixels::PixelView;
using win::LONG;
using win::RECT;

struct Image {
  std::vector<std::uint8_t> Memory;
  PixelView View;
  Image(LONG w, LONG h, std::uint32_t bits, LONG extraPitch = 0) {
    const LONG pitch = static_cast<LONG>(((w * bits + 31) / 32) * 4) + extraPitch;
    Memory.resize(static_cast<std::size_t>(pitch) * h);
    View = PixelView{Memory.data(), pitch, w, h, bits};
  }
  Image(const Image& o) : Memory(o.Memory), View(o.View) { View.Bits = Memory.data(); }
};

// Pixels drawn from a few values so that colour keys hit often.
void Scribble(Image& img, std::mt19937& rng) {
  std::uniform_int_distribution<int> small(0, 5);
  std::uniform_int_distribution<std::uint32_t> any;
  for (LONG y = 0; y < img.View.Height; ++y)
    for (LONG x = 0; x < img.View.Width; ++x) {
      const int pick = small(rng);
      const std::uint32_t v = pick < 3 ? static_cast<std::uint32_t>(pick) : any(rng);
      pixels::PutPixel(img.View, x, y, v);
    }
}

RECT RandomRect(std::mt19937& rng, LONG w, LONG h) {
  std::uniform_int_distribution<LONG> dx(0, w - 1), dy(0, h - 1);
  LONG l = dx(rng), r = dx(rng), t = dy(rng), b = dy(rng);
  if (l > r) std::swap(l, r);
  if (t > b) std::swap(t, b);
  return RECT{l, t, r + 1, b + 1};
}

// Every pixel including padding bytes must agree.
void ExpectSame(const Image& fast, const Image& ref, const char* what, int round) {
  ASSERT_EQ(fast.Memory.size(), ref.Memory.size());
  for (LONG y = 0; y < fast.View.Height; ++y)
    for (LONG x = 0; x < fast.View.Width; ++x) {
      const auto a = pixels::GetPixel(fast.View, x, y);
      const auto b = pixels::GetPixel(ref.View, x, y);
      if (a != b) {
        ADD_FAILURE() << what << " round " << round << " bits " << fast.View.BitCount << " differs at (" << x << ", "
                      << y << "): " << a << " vs " << b;
        return;
      }
    }
}

// Keyed copies go one way on processors with masked vector stores and another elsewhere: every
// test of them runs both ways (on other processors the second run is the same as the first).
class BlitFormats : public ::testing::TestWithParam<std::uint32_t> {
 protected:
  template <class F>
  void BothWays(F&& test) {
    for (const bool masked : {true, false}) {
      SCOPED_TRACE(masked ? "masked stores where the processor has them" : "without masked stores");
      const bool was = ddraw::blit::UseMaskedStores(masked);
      test();
      ddraw::blit::UseMaskedStores(was);
    }
  }
};

TEST_P(BlitFormats, OneToOneCopiesMatchTheReferenceWithAndWithoutKeys) {
  BothWays([this] {
    const std::uint32_t bits = GetParam();
    std::mt19937 rng(bits * 7919u);
    // Rows from a pixel to past eight vector blocks wide, each width with its own code; with and
    // without what the key leaves of the source known beforehand.
    for (int round = 0; round < 300; ++round) {
      Image src(141, 41, bits), dst(151, 39, bits, round % 2 ? 4 : 0);
      Scribble(src, rng);
      Scribble(dst, rng);
      const RECT sr = RandomRect(rng, src.View.Width, src.View.Height);
      if (sr.right - sr.left > dst.View.Width || sr.bottom - sr.top > dst.View.Height) continue;
      std::uniform_int_distribution<LONG> px(0, dst.View.Width - (sr.right - sr.left));
      std::uniform_int_distribution<LONG> py(0, dst.View.Height - (sr.bottom - sr.top));
      const LONG x = px(rng), y = py(rng);
      KeyRange key{static_cast<std::uint32_t>(round % 3),
                   static_cast<std::uint32_t>(round % 3 + (round % 4 == 0 ? 1 : 0))};
      const KeyRange* k = round % 5 == 0 ? nullptr : &key;
      ddraw::blit::KeySpans spans;
      if (k && round % 2) ddraw::blit::BuildSpans(src.View, 1, key, spans);
      Image fast(dst), ref(dst);
      ddraw::blit::Copy(fast.View, x, y, src.View, sr, k, k && round % 2 ? &spans : nullptr);
      BltParams p;
      p.Dest = p.Clip = RECT{x, y, x + sr.right - sr.left, y + sr.bottom - sr.top};
      p.Source = sr;
      p.SourceKey = k;
      ddraw::blit::reference::Blit(ref.View, src.View, p);
      ExpectSame(fast, ref, "copy", round);
    }
  });
}

TEST_P(BlitFormats, RunByRunCopiesOfKeyedSourcesMatchTheReference) {
  BothWays([this] {
    const std::uint32_t bits = GetParam();
    std::mt19937 rng(bits * 613u);
    for (int round = 0; round < 40; ++round) {
      Image src(700, 23, bits), dst(720, 30, bits);
      Scribble(dst, rng);
      // Long opaque runs between keyed gaps, as in a wide sprite; the first rows wholly keyed.
      for (LONG y = 0; y < 23; ++y)
        for (LONG x = 0; x < 700; ++x)
          pixels::PutPixel(src.View, x, y, y < 2 || (x + 37 * y + round) % 700 < 40 ? 1 : 7 + x % 200);
      const KeyRange key{1, 1};
      ddraw::blit::KeySpans spans;
      ddraw::blit::BuildSpans(src.View, 1, key, spans);
      ASSERT_EQ(spans.Worthwhile, bits >= 8);
      // Whole and clipped source rectangles both.
      const RECT sr = round % 4 == 0 ? RECT{0, 0, 700, 23} : RandomRect(rng, 700, 23);
      const LONG x = std::uniform_int_distribution<LONG>(0, 720 - (sr.right - sr.left))(rng);
      const LONG y = std::uniform_int_distribution<LONG>(0, 30 - (sr.bottom - sr.top))(rng);
      Image fast(dst), ref(dst);
      ddraw::blit::Copy(fast.View, x, y, src.View, sr, &key, &spans);
      BltParams p;
      p.Dest = p.Clip = RECT{x, y, x + sr.right - sr.left, y + sr.bottom - sr.top};
      p.Source = sr;
      p.SourceKey = &key;
      ddraw::blit::reference::Blit(ref.View, src.View, p);
      ExpectSame(fast, ref, "spans", round);
    }
  });
}

TEST_P(BlitFormats, ShortRunsAreLeftToThePixelTest) {
  const std::uint32_t bits = GetParam();
  std::mt19937 rng(bits);
  Image src(64, 16, bits);
  Scribble(src, rng);
  ddraw::blit::KeySpans spans;
  ddraw::blit::BuildSpans(src.View, 1, KeyRange{1, 1}, spans);
  EXPECT_FALSE(spans.Worthwhile);
  EXPECT_TRUE(spans.Packed.empty());
}

TEST_P(BlitFormats, StretchedMirroredClippedAndDestKeyedBlitsMatchTheReference) {
  const std::uint32_t bits = GetParam();
  std::mt19937 rng(bits * 104729u);
  for (int round = 0; round < 150; ++round) {
    Image src(45, 37, bits), dst(61, 49, bits);
    Scribble(src, rng);
    Scribble(dst, rng);
    BltParams p;
    p.Source = RandomRect(rng, src.View.Width, src.View.Height);
    p.Dest = RandomRect(rng, dst.View.Width, dst.View.Height);
    p.Clip = RandomRect(rng, dst.View.Width, dst.View.Height);
    if (round % 4 == 0) p.Clip = p.Dest;
    p.MirrorLeftRight = round % 2 == 1;
    p.MirrorUpDown = round % 3 == 1;
    KeyRange sk{1, 1 + static_cast<std::uint32_t>(round % 2)}, dk{0, 2};
    p.SourceKey = round % 5 < 3 ? &sk : nullptr;
    p.DestKey = round % 7 == 0 ? &dk : nullptr;
    Image fast(dst), ref(dst);
    ddraw::blit::Blit(fast.View, src.View, p);
    ddraw::blit::reference::Blit(ref.View, src.View, p);
    ExpectSame(fast, ref, "blit", round);
  }
}

TEST_P(BlitFormats, BlitsWithinOneSurfaceReadTheSourceBeforeWriting) {
  const std::uint32_t bits = GetParam();
  std::mt19937 rng(bits * 31u);
  for (int round = 0; round < 80; ++round) {
    Image img(40, 30, bits);
    Scribble(img, rng);
    BltParams p;
    p.Source = RandomRect(rng, 40, 30);
    const LONG w = p.Source.right - p.Source.left, h = p.Source.bottom - p.Source.top;
    std::uniform_int_distribution<LONG> px(0, 40 - w), py(0, 30 - h);
    const LONG x = px(rng), y = py(rng);
    p.Dest = p.Clip = RECT{x, y, x + w, y + h};
    KeyRange k{2, 2};
    p.SourceKey = round % 2 ? &k : nullptr;
    p.MirrorLeftRight = round % 3 == 2;
    Image fast(img), ref(img);
    ddraw::blit::Blit(fast.View, fast.View, p);
    ddraw::blit::reference::Blit(ref.View, ref.View, p);
    ExpectSame(fast, ref, "overlap", round);
  }
}

INSTANTIATE_TEST_SUITE_P(AllDepths, BlitFormats, ::testing::Values(1u, 2u, 4u, 8u, 16u, 24u, 32u));

TEST(BlitReference, StretchingTakesTheNearestLeftSourcePixelAndMirroringReversesIt) {
  Image src(4, 1, 8), dst(8, 1, 8);
  for (LONG x = 0; x < 4; ++x) pixels::PutPixel(src.View, x, 0, 10 + x);
  BltParams p;
  p.Source = RECT{0, 0, 4, 1};
  p.Dest = p.Clip = RECT{0, 0, 8, 1};
  ddraw::blit::Blit(dst.View, src.View, p);
  const std::uint8_t stretched[8] = {10, 10, 11, 11, 12, 12, 13, 13};
  EXPECT_EQ(std::memcmp(dst.Memory.data(), stretched, 8), 0);
  p.MirrorLeftRight = true;
  ddraw::blit::Blit(dst.View, src.View, p);
  const std::uint8_t mirrored[8] = {13, 13, 12, 12, 11, 11, 10, 10};
  EXPECT_EQ(std::memcmp(dst.Memory.data(), mirrored, 8), 0);
}

}  // namespace
