// Surfaces of the component layer: sizes, memory, drawing with clipping, keys and mirroring,
// locks, pixels, colour matching, loading from graphics.
#include <gtest/gtest.h>

#include <memory>

#include "dx/DIB.h"
#include "dx/DXDraws.h"
#include "framework/Colors.h"
#include "platform/ddraw/DDraw.h"
#include "platform/ddraw/DDrawTesting.h"

namespace {

using namespace dx;

class SurfaceTest : public ::testing::Test {
 protected:
  void UseDepth(ddraw::DWORD bits, ddraw::DWORD videoMemory = 64u << 20) {
    ddraw::AdapterConfig a = ddraw::DefaultAdapter();
    a.DesktopMode = ddraw::DisplayMode{1024, 768, bits};
    a.VideoMemory = videoMemory;
    ddraw::SetAdapters({a});
    dd = std::make_unique<TDirectDraw>(nullptr);
    dd->IDraw()->SetCooperativeLevel(nullptr, ddraw::DDSCL_NORMAL);
  }
  void SetUp() override { UseDepth(32); }
  void TearDown() override {
    dd.reset();
    ddraw::ResetAdapters();
    EXPECT_EQ(ddraw::LiveObjectCount(), 0);
  }
  // A w x h surface whose pixel at (x, y) is x + 100 * y + 1.
  std::unique_ptr<TDirectDrawSurface> Numbered(int w, int h) {
    auto s = std::make_unique<TDirectDrawSurface>(dd.get());
    s->SetSize(w, h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) s->SetPixels(x, y, static_cast<std::uint32_t>(x + 100 * y + 1));
    return s;
  }
  std::unique_ptr<TDirectDrawSurface> Blank(int w, int h) {
    auto s = std::make_unique<TDirectDrawSurface>(dd.get());
    s->SetSize(w, h);
    s->Fill(0);
    return s;
  }
  std::unique_ptr<TDirectDraw> dd;
};

TEST_F(SurfaceTest, SizesAndTheFallBackToSystemMemory) {
  {
  TDirectDrawSurface s(dd.get());
  EXPECT_EQ(s.Width(), 0);
  s.SetSize(40, 30);
  EXPECT_EQ(s.Width(), 40);
  EXPECT_EQ(s.Height(), 30);
  EXPECT_EQ(s.BitCount(), 32);
  EXPECT_EQ(s.ClientRect(), (fw::TRect{0, 0, 40, 30}));
  EXPECT_FALSE(s.SystemMemory());
  EXPECT_TRUE(s.SurfaceDesc().ddsCaps.dwCaps & ddraw::DDSCAPS_VIDEOMEMORY);
  s.SetSize(0, 10);
  EXPECT_EQ(s.Width(), 0);
  EXPECT_EQ(s.Height(), 0);
  EXPECT_EQ(s.IDDSurface(), nullptr);
  EXPECT_FALSE(s.Fill(0));
  EXPECT_THROW(s.ISurface(), EDirectDrawSurfaceError);
  }  // a wrapper must not outlive its DirectDraw object

  UseDepth(16, 1000);
  TDirectDrawSurface big(dd.get());
  big.SetSize(100, 100);  // 20000 bytes: no room in video memory
  EXPECT_TRUE(big.SystemMemory());
  EXPECT_TRUE(big.SurfaceDesc().ddsCaps.dwCaps & ddraw::DDSCAPS_SYSTEMMEMORY);
  EXPECT_EQ(big.Width(), 100);
}

TEST_F(SurfaceTest, ASurfaceThatCannotBeMadeAnywhereRaises) {
  TDirectDrawSurface s(dd.get());
  try {
    s.SetSize(100000, 10);
    FAIL();
  } catch (const EDirectDrawSurfaceError& e) {
    EXPECT_EQ(e.Message(), "Surface cannot be made");
  }
  EXPECT_EQ(s.Width(), 0);
}

TEST_F(SurfaceTest, CreatedSurfacesStartWithColourKeyZero) {
  auto src = Numbered(4, 1);
  src->SetPixels(1, 0, 0);
  auto dst = Blank(4, 1);
  dst->Fill(9);
  dst->Draw(0, 0, src->ClientRect(), src.get(), true);
  EXPECT_EQ(dst->Pixels(0, 0), 1u);
  EXPECT_EQ(dst->Pixels(1, 0), 9u);  // key 0: left alone
  dst->Draw(0, 0, src->ClientRect(), src.get(), false);
  EXPECT_EQ(dst->Pixels(1, 0), 0u);
}

TEST_F(SurfaceTest, DrawClipsAgainstBothSurfaces) {
  auto src = Numbered(32, 8);
  auto dst = Blank(64, 16);
  dst->Draw(-10, 0, src->ClientRect(), src.get(), false);
  EXPECT_EQ(dst->Pixels(0, 0), 11u);   // column 10 of the source
  EXPECT_EQ(dst->Pixels(21, 0), 32u);  // its last column
  EXPECT_EQ(dst->Pixels(22, 0), 0u);
  // Off the bottom-right and beyond the right edge.
  dst->Draw(60, 12, src->ClientRect(), src.get(), false);
  EXPECT_EQ(dst->Pixels(63, 15), 1u + 3 + 300);
  auto at = Blank(64, 16);
  at->Draw(at->Width(), 0, src->ClientRect(), src.get(), false);
  at->Draw(at->Width() + 1, 0, src->ClientRect(), src.get(), false);
  for (int x = 0; x < 64; ++x) EXPECT_EQ(at->Pixels(x, 0), 0u);
  EXPECT_EQ(at->LastResult(), 0);
}

TEST_F(SurfaceTest, AReversedRectangleDrawsMirrored) {
  auto src = Numbered(32, 32);
  auto dst = Blank(40, 40);
  dst->Draw(0, 0, fw::TRect{32, 0, 0, 32}, src.get(), false);
  EXPECT_EQ(dst->LastResult(), 0);
  EXPECT_EQ(dst->Pixels(0, 0), 32u);
  EXPECT_EQ(dst->Pixels(31, 0), 1u);
  EXPECT_EQ(dst->Pixels(0, 5), 32u + 500);
  dst->Fill(0);
  dst->Draw(0, 0, fw::TRect{0, 32, 32, 0}, src.get(), false);
  EXPECT_EQ(dst->Pixels(0, 0), 1u + 3100);
  // Wholly left of the surface: nothing.
  dst->Fill(0);
  dst->Draw(-32, 0, fw::TRect{32, 0, 0, 32}, src.get(), false);
  EXPECT_EQ(dst->Pixels(0, 0), 0u);
  // Partly left: the mirrored part that remains.
  dst->Draw(-2, 0, fw::TRect{32, 0, 0, 32}, src.get(), false);
  EXPECT_EQ(dst->Pixels(0, 0), 30u);
}

TEST_F(SurfaceTest, AClipperAttachedBehindTheWrappersBackIsFoundByDraw) {
  auto src = Numbered(8, 8);
  auto dst = Blank(16, 16);
  TDirectDrawClipper clipper(dd.get());
  struct {
    ddraw::RGNDATAHEADER h;
    win::RECT r[1];
  } region;
  region.h.nCount = 1;
  region.r[0] = win::RECT{0, 0, 4, 16};
  clipper.IClipper()->SetClipList(reinterpret_cast<ddraw::RGNDATA*>(&region), 0);
  dst->IDDSurface()->SetClipper(clipper.IDDClipper());
  EXPECT_FALSE(dst->HasClipper());
  dst->Draw(0, 0, src->ClientRect(), src.get(), false);
  EXPECT_TRUE(dst->HasClipper());
  EXPECT_EQ(dst->Pixels(3, 0), 4u);
  EXPECT_EQ(dst->Pixels(4, 0), 0u);  // clipped away
  dst->SetClipper(nullptr);
  EXPECT_FALSE(dst->HasClipper());
}

TEST_F(SurfaceTest, LocksDoNotNest) {
  auto s = Blank(8, 8);
  ddraw::DDSURFACEDESC d;
  ASSERT_TRUE(s->Lock(nullptr, d));
  EXPECT_EQ(s->LockCount(), 1);
  EXPECT_NE(d.lpSurface, nullptr);
  EXPECT_EQ(d.ddpfPixelFormat.dwRGBBitCount, 32u);
  ddraw::DDSURFACEDESC again;
  EXPECT_FALSE(s->Lock(nullptr, again));
  s->Unlock();
  EXPECT_EQ(s->LockCount(), 0);
  const fw::TRect part{2, 2, 4, 4};
  ASSERT_TRUE(s->Lock(&part, d));
  s->Unlock();
  EXPECT_TRUE(s->Fill(1));
}

TEST_F(SurfaceTest, PixelsRoundTripAtEveryDepth) {
  for (const ddraw::DWORD bits : {1u, 4u, 8u, 16u, 24u, 32u}) {
    ddraw::DDSURFACEDESC d;
    d.dwSize = sizeof(d);
    d.dwFlags = ddraw::DDSD_CAPS | ddraw::DDSD_WIDTH | ddraw::DDSD_HEIGHT | ddraw::DDSD_PIXELFORMAT;
    d.dwWidth = 9;
    d.dwHeight = 3;
    d.ddsCaps.dwCaps = ddraw::DDSCAPS_OFFSCREENPLAIN | ddraw::DDSCAPS_SYSTEMMEMORY;
    d.ddpfPixelFormat.dwSize = sizeof(ddraw::DDPIXELFORMAT);
    d.ddpfPixelFormat.dwRGBBitCount = bits;
    switch (bits) {
      case 1: d.ddpfPixelFormat.dwFlags = ddraw::DDPF_RGB | ddraw::DDPF_PALETTEINDEXED1; break;
      case 4: d.ddpfPixelFormat.dwFlags = ddraw::DDPF_RGB | ddraw::DDPF_PALETTEINDEXED4; break;
      case 8: d.ddpfPixelFormat.dwFlags = ddraw::DDPF_RGB | ddraw::DDPF_PALETTEINDEXED8; break;
      case 16:
        d.ddpfPixelFormat.dwFlags = ddraw::DDPF_RGB;
        d.ddpfPixelFormat.dwRBitMask = 0xF800;
        d.ddpfPixelFormat.dwGBitMask = 0x7E0;
        d.ddpfPixelFormat.dwBBitMask = 0x1F;
        break;
      default:
        d.ddpfPixelFormat.dwFlags = ddraw::DDPF_RGB;
        d.ddpfPixelFormat.dwRBitMask = 0xFF0000;
        d.ddpfPixelFormat.dwGBitMask = 0xFF00;
        d.ddpfPixelFormat.dwBBitMask = 0xFF;
    }
    TDirectDrawSurface s(dd.get());
    ASSERT_TRUE(s.CreateSurface(d)) << bits;
    const std::uint32_t mask = bits == 32 ? 0xFFFFFFFFu : (1u << bits) - 1;
    for (int x = 0; x < 9; ++x) s.SetPixels(x, 1, (0x9E3779B9u * static_cast<unsigned>(x + 1)) & mask);
    for (int x = 0; x < 9; ++x) EXPECT_EQ(s.Pixels(x, 1), (0x9E3779B9u * static_cast<unsigned>(x + 1)) & mask) << bits;
    for (int x = 0; x < 9; ++x) EXPECT_EQ(s.Pixels(x, 0), 0u) << bits;
    EXPECT_EQ(s.Pixels(9, 1), 0u);
    EXPECT_EQ(s.Pixels(-1, 1), 0u);
    if (bits == 1) {
      s.SetPixels(0, 2, 1);
      ddraw::DDSURFACEDESC l;
      ASSERT_TRUE(s.Lock(nullptr, l));
      EXPECT_EQ(static_cast<const std::uint8_t*>(l.lpSurface)[2 * l.lPitch], 0x80);
      s.Unlock();
    }
  }
}

TEST_F(SurfaceTest, MatchColorConvertsIntoEachDepthAndLeavesPixelZeroAlone) {
  const struct {
    ddraw::DWORD bits;
    std::uint32_t red;
  } cases[] = {{16, 0xF800}, {24, 0xFF0000}, {32, 0xFF0000}};
  for (const auto& c : cases) {
    UseDepth(c.bits);
    auto s = Blank(4, 4);
    s->SetPixels(0, 0, 0x1234);
    EXPECT_EQ(s->MatchColor(fw::clRed), c.red) << c.bits;
    EXPECT_EQ(s->Pixels(0, 0), 0x1234u) << c.bits;
  }
  // 8 bits: the nearest entry of the surface's palette.
  UseDepth(8);
  auto s = Blank(4, 4);
  win::PALETTEENTRY entries[256] = {};
  entries[7] = win::PALETTEENTRY{250, 10, 10, 0};
  entries[9] = win::PALETTEENTRY{10, 250, 10, 0};
  TDirectDrawPalette pal(dd.get());
  ASSERT_TRUE(pal.CreatePalette(ddraw::DDPCAPS_8BIT | ddraw::DDPCAPS_ALLOW256, entries));
  s->SetPalette(&pal);
  s->SetPixels(0, 0, 3);
  EXPECT_EQ(s->MatchColor(fw::clRed), 7u);
  EXPECT_EQ(s->MatchColor(fw::clLime), 9u);
  EXPECT_EQ(s->Pixels(0, 0), 3u);
}

TEST_F(SurfaceTest, LoadingFromADibCopiesAndStretchesItsPixels) {
  TDIB dib;
  dib.SetSize(4, 2, 24);
  for (int x = 0; x < 4; ++x) dib.SetPixel(x, 0, static_cast<std::uint32_t>(0x10 * (x + 1)));  // blue ramp
  auto s = std::make_unique<TDirectDrawSurface>(dd.get());
  s->LoadFromGraphicRect(&dib, 0, 0, fw::TRect{1, 0, 3, 2});
  EXPECT_EQ(s->Width(), 2);
  EXPECT_EQ(s->Height(), 2);
  EXPECT_EQ(s->Pixels(0, 0) & 0xFFFFFF, 0x20u);
  EXPECT_EQ(s->Pixels(1, 0) & 0xFFFFFF, 0x30u);
  s->LoadFromGraphicRect(&dib, 8, 2, fw::TRect{0, 0, 4, 2});
  EXPECT_EQ(s->Width(), 8);
  EXPECT_EQ(s->Pixels(7, 0) & 0xFFFFFF, 0x40u);
  EXPECT_EQ(s->LockCount(), 0);  // the canvas gave its DC back
  EXPECT_TRUE(s->Fill(0));

  // And back into a bitmap.
  TDIB out;
  s->AssignTo(&out);
  EXPECT_EQ(out.Width(), 8);
  EXPECT_EQ(out.BitCount(), 24);
}

TEST_F(SurfaceTest, AssigningASurfaceSharesItsMemory) {
  auto a = Numbered(4, 4);
  TDirectDrawSurface b(dd.get());
  b.Assign(a.get());
  EXPECT_EQ(b.Width(), 4);
  a->SetPixels(1, 1, 77);
  EXPECT_EQ(b.Pixels(1, 1), 77u);
  b.Assign(nullptr);
  EXPECT_EQ(b.Width(), 0);
}

TEST_F(SurfaceTest, LostSurfacesAreRestoredWithoutTheirContents) {
  auto s = Numbered(4, 4);
  ddraw::LoseAllSurfaces();
  EXPECT_FALSE(s->Fill(5));
  EXPECT_EQ(s->LastResult(), ddraw::DDERR_SURFACELOST);
  EXPECT_TRUE(s->Restore());
  EXPECT_EQ(s->Pixels(1, 1), 0u);
}

}  // namespace
