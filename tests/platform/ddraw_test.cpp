// DirectDraw in software, through its interfaces.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/ddraw/DDraw.h"
#include "platform/ddraw/DDrawTesting.h"
#include "platform/gdi/Gdi.h"
#include "platform/kernel/Library.h"
#include "platform/mm/MMSystem.h"
#include "platform/mm/MMSystemTesting.h"

namespace {

using namespace ddraw;

HWND FakeWindow(int n) { return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x1000 + n)); }

class DDrawTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetAdapters();
    live_ = LiveObjectCount();
  }
  void TearDown() override {
    for (auto it = held_.rbegin(); it != held_.rend(); ++it) (*it)->Release();
    held_.clear();
    EXPECT_EQ(LiveObjectCount(), live_) << "objects leaked";
    ResetAdapters();
    SetPresenter(nullptr);
    mm::UseRealClock();
  }
  template <class T>
  T* Keep(T* p) {
    held_.push_back(p);
    return p;
  }
  IDirectDraw7* Open7(GUID* guid = nullptr) {
    void* dd = nullptr;
    EXPECT_EQ(DirectDrawCreateEx(guid, &dd, IID_IDirectDraw7, nullptr), DD_OK);
    return Keep(static_cast<IDirectDraw7*>(dd));
  }
  IDirectDraw* Open1() {
    IDirectDraw* dd = nullptr;
    EXPECT_EQ(DirectDrawCreate(nullptr, &dd, nullptr), DD_OK);
    return Keep(dd);
  }
  static DDSURFACEDESC OffscreenDesc(DWORD w, DWORD h, DWORD caps = DDSCAPS_OFFSCREENPLAIN) {
    DDSURFACEDESC d;
    d.dwSize = sizeof(d);
    d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    d.dwWidth = w;
    d.dwHeight = h;
    d.ddsCaps.dwCaps = caps;
    return d;
  }
  IDirectDrawSurface* Make(IDirectDraw* dd, DDSURFACEDESC d, HRESULT expect = DD_OK) {
    IDirectDrawSurface* s = nullptr;
    EXPECT_EQ(dd->CreateSurface(&d, &s, nullptr), expect);
    return s ? Keep(s) : nullptr;
  }
  std::vector<IUnknown*> held_;
  int live_ = 0;
};

TEST_F(DDrawTest, TheModuleIsLoadableWithItsThreeEntries) {
  win::HMODULE m = kernel::LoadLibraryA("ddraw.dll");
  ASSERT_NE(m, nullptr);
  auto create = kernel::ProcAs<LPDIRECTDRAWCREATE>(kernel::GetProcAddress(m, "DirectDrawCreate"));
  ASSERT_NE(create, nullptr);
  EXPECT_NE(kernel::GetProcAddress(m, "DirectDrawCreateEx"), nullptr);
  EXPECT_NE(kernel::GetProcAddress(m, "DirectDrawEnumerateA"), nullptr);
  IDirectDraw* dd = nullptr;
  EXPECT_EQ(create(nullptr, &dd, nullptr), DD_OK);
  ASSERT_NE(dd, nullptr);
  dd->Release();
  kernel::FreeLibrary(m);
}

TEST_F(DDrawTest, InterfacesShareOneCountAndFollowTheAdapterVersions) {
  IDirectDraw* dd = Open1();
  IDirectDraw4* dd4 = nullptr;
  ASSERT_EQ(dd->QueryInterface(IID_IDirectDraw4, reinterpret_cast<void**>(&dd4)), DD_OK);
  IDirectDraw7* dd7 = nullptr;
  ASSERT_EQ(dd4->QueryInterface(IID_IDirectDraw7, reinterpret_cast<void**>(&dd7)), DD_OK);
  EXPECT_EQ(dd7->AddRef(), 4u);
  EXPECT_EQ(dd7->Release(), 3u);
  dd7->Release();
  dd4->Release();

  AdapterConfig old = DefaultAdapter();
  old.HasDirectDraw4 = false;
  old.HasDirectDraw7 = false;
  SetAdapters({old});
  IDirectDraw* legacy = Open1();
  void* p = reinterpret_cast<void*>(1);
  EXPECT_EQ(legacy->QueryInterface(IID_IDirectDraw4, &p), win::E_NOINTERFACE);
  EXPECT_EQ(p, nullptr);
  void* dd7ex = nullptr;
  EXPECT_NE(DirectDrawCreateEx(nullptr, &dd7ex, IID_IDirectDraw7, nullptr), DD_OK);
  EXPECT_EQ(dd7ex, nullptr);
  // Surfaces offer only the versions the adapter has.
  legacy->SetCooperativeLevel(nullptr, DDSCL_NORMAL);
  IDirectDrawSurface* s = Make(legacy, OffscreenDesc(8, 8));
  EXPECT_EQ(s->QueryInterface(IID_IDirectDrawSurface4, &p), win::E_NOINTERFACE);
}

TEST_F(DDrawTest, EnumerationReportsThePrimaryDriverWithoutAnIdentifierAndOthersWithTheirs) {
  AdapterConfig second = DefaultAdapter();
  second.Guid = GUID{0x12345678, 1, 2, {1, 2, 3, 4, 5, 6, 7, 8}};
  second.Description = "Second";
  second.VideoMemory = 1 << 20;
  SetAdapters({DefaultAdapter(), second});
  struct Seen {
    std::vector<bool> null;
    std::vector<std::string> names;
  } seen;
  ASSERT_EQ(DirectDrawEnumerateA(
                [](GUID* g, char* desc, char*, void* ctx) -> BOOL {
                  auto* s = static_cast<Seen*>(ctx);
                  s->null.push_back(g == nullptr);
                  s->names.push_back(desc);
                  return win::TRUE;
                },
                &seen),
            DD_OK);
  EXPECT_EQ(seen.null, (std::vector<bool>{true, false}));
  EXPECT_EQ(seen.names[1], "Second");
  IDirectDraw7* dd = Open7(&second.Guid);
  DDCAPS caps;
  caps.dwSize = sizeof(caps);
  ASSERT_EQ(dd->GetCaps(&caps, nullptr), DD_OK);
  EXPECT_EQ(caps.dwVidMemTotal, 1u << 20);
  EXPECT_TRUE(caps.dwCaps2 & DDCAPS2_PRIMARYGAMMA);
  EXPECT_TRUE(caps.dwPalCaps & DDPCAPS_VSYNC);
  GUID unknown{0xDEAD, 0, 0, {}};
  void* none = nullptr;
  EXPECT_EQ(DirectDrawCreateEx(&unknown, &none, IID_IDirectDraw7, nullptr), DDERR_INVALIDDIRECTDRAWGUID);
}

TEST_F(DDrawTest, DisplayModesAreListedSetAndOnlyOneObjectIsExclusive) {
  IDirectDraw* dd = Open1();
  std::vector<DisplayMode> modes;
  ASSERT_EQ(dd->EnumDisplayModes(0, nullptr, &modes,
                                 [](DDSURFACEDESC* d, void* ctx) -> HRESULT {
                                   EXPECT_EQ(d->dwSize, sizeof(DDSURFACEDESC));
                                   static_cast<std::vector<DisplayMode>*>(ctx)->push_back(
                                       {d->dwWidth, d->dwHeight, d->ddpfPixelFormat.dwRGBBitCount});
                                   return DDENUMRET_OK;
                                 }),
            DD_OK);
  EXPECT_EQ(modes.size(), 24u);
  EXPECT_NE(std::find(modes.begin(), modes.end(), DisplayMode{800, 600, 16}), modes.end());

  EXPECT_EQ(dd->SetDisplayMode(800, 600, 16), DDERR_NOCOOPERATIVELEVELSET);
  EXPECT_EQ(dd->SetCooperativeLevel(nullptr, DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE), DDERR_INVALIDPARAMS);
  EXPECT_EQ(dd->SetCooperativeLevel(FakeWindow(1), DDSCL_FULLSCREEN), DDERR_INVALIDPARAMS);
  ASSERT_EQ(dd->SetCooperativeLevel(FakeWindow(1), DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE | DDSCL_ALLOWMODEX |
                                                        DDSCL_NOWINDOWCHANGES | DDSCL_ALLOWREBOOT),
            DD_OK);
  IDirectDraw* other = Open1();
  EXPECT_EQ(other->SetCooperativeLevel(FakeWindow(2), DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE),
            DDERR_EXCLUSIVEMODEALREADYSET);
  ASSERT_EQ(other->SetCooperativeLevel(FakeWindow(2), DDSCL_NORMAL), DD_OK);
  EXPECT_EQ(other->SetDisplayMode(640, 480, 8), DDERR_NOEXCLUSIVEMODE);

  EXPECT_EQ(dd->SetDisplayMode(800, 600, 15), DDERR_INVALIDMODE);
  ASSERT_EQ(dd->SetDisplayMode(800, 600, 16), DD_OK);
  DDSURFACEDESC mode;
  mode.dwSize = sizeof(mode);
  ASSERT_EQ(other->GetDisplayMode(&mode), DD_OK);
  EXPECT_EQ(mode.dwWidth, 800u);
  EXPECT_EQ(mode.ddpfPixelFormat.dwRGBBitCount, 16u);
  EXPECT_EQ(mode.ddpfPixelFormat.dwRBitMask, 0xF800u);
  EXPECT_EQ(mode.lPitch, 1600);

  // Leaving exclusive mode brings the desktop back.
  ASSERT_EQ(dd->SetCooperativeLevel(FakeWindow(1), DDSCL_NORMAL), DD_OK);
  ASSERT_EQ(other->GetDisplayMode(&mode), DD_OK);
  EXPECT_EQ(mode.dwWidth, 1024u);
  EXPECT_EQ(other->SetCooperativeLevel(FakeWindow(2), DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE), DD_OK);
}

TEST_F(DDrawTest, ModeChangesLoseSurfacesAndRestoreBringsMemoryButNotContents) {
  IDirectDraw* dd = Open1();
  ASSERT_EQ(dd->SetCooperativeLevel(FakeWindow(1), DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE), DD_OK);
  ASSERT_EQ(dd->SetDisplayMode(640, 480, 16), DD_OK);
  IDirectDrawSurface* video = Make(dd, OffscreenDesc(16, 16));
  IDirectDrawSurface* system = Make(dd, OffscreenDesc(16, 16, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY));
  DDSURFACEDESC primaryDesc;
  primaryDesc.dwSize = sizeof(primaryDesc);
  primaryDesc.dwFlags = DDSD_CAPS;
  primaryDesc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
  IDirectDrawSurface* primary = Make(dd, primaryDesc);
  DDBLTFX fx;
  fx.dwSize = sizeof(fx);
  fx.dwFillColor = 0x1234;
  ASSERT_EQ(video->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx), DD_OK);

  ASSERT_EQ(dd->SetDisplayMode(800, 600, 16), DD_OK);
  EXPECT_EQ(video->IsLost(), DDERR_SURFACELOST);
  EXPECT_EQ(primary->IsLost(), DDERR_SURFACELOST);
  EXPECT_EQ(system->IsLost(), DD_OK);
  EXPECT_EQ(video->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx), DDERR_SURFACELOST);
  DDSURFACEDESC locked;
  locked.dwSize = sizeof(locked);
  EXPECT_EQ(video->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr), DDERR_SURFACELOST);
  // The primary belongs to the old mode.
  EXPECT_EQ(primary->Restore(), DDERR_WRONGMODE);
  ASSERT_EQ(video->Restore(), DD_OK);
  ASSERT_EQ(video->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr), DD_OK);
  EXPECT_EQ(*static_cast<std::uint16_t*>(locked.lpSurface), 0u);
  video->Unlock(locked.lpSurface);
  ASSERT_EQ(dd->SetDisplayMode(640, 480, 16), DD_OK);
  EXPECT_EQ(primary->Restore(), DD_OK);
}

TEST_F(DDrawTest, TheExclusiveOwnerLosingTheDisplayLosesItsSurfacesUntilItIsBack) {
  IDirectDraw* dd = Open1();
  ASSERT_EQ(dd->SetCooperativeLevel(FakeWindow(1), DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE), DD_OK);
  ASSERT_EQ(dd->SetDisplayMode(640, 480, 8), DD_OK);
  IDirectDrawSurface* s = Make(dd, OffscreenDesc(4, 4));
  ActivateApp(FakeWindow(1), false);
  EXPECT_EQ(s->IsLost(), DDERR_SURFACELOST);
  EXPECT_EQ(s->Restore(), DDERR_NOEXCLUSIVEMODE);
  DDSURFACEDESC mode;
  mode.dwSize = sizeof(mode);
  dd->GetDisplayMode(&mode);
  EXPECT_EQ(mode.dwWidth, 1024u);
  ActivateApp(FakeWindow(1), true);
  dd->GetDisplayMode(&mode);
  EXPECT_EQ(mode.dwWidth, 640u);
  EXPECT_EQ(mode.ddpfPixelFormat.dwRGBBitCount, 8u);
  EXPECT_EQ(s->Restore(), DD_OK);
}

TEST_F(DDrawTest, VideoMemoryIsABudgetAndSystemMemoryIsNot) {
  AdapterConfig small = DefaultAdapter();
  small.VideoMemory = 64 * 64 * 2 + 100;
  small.DesktopMode = DisplayMode{640, 480, 16};
  SetAdapters({small});
  IDirectDraw* dd = Open1();
  dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL);
  IDirectDrawSurface* first = Make(dd, OffscreenDesc(64, 64));
  Make(dd, OffscreenDesc(64, 64), DDERR_OUTOFVIDEOMEMORY);
  Make(dd, OffscreenDesc(64, 64, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY), DDERR_OUTOFVIDEOMEMORY);
  IDirectDrawSurface* sys = Make(dd, OffscreenDesc(64, 64, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY));
  DDSCAPS caps;
  sys->GetCaps(&caps);
  EXPECT_TRUE(caps.dwCaps & DDSCAPS_SYSTEMMEMORY);
  first->GetCaps(&caps);
  EXPECT_TRUE(caps.dwCaps & DDSCAPS_VIDEOMEMORY);
  DDCAPS dcaps;
  dcaps.dwSize = sizeof(dcaps);
  dd->GetCaps(&dcaps, nullptr);
  EXPECT_EQ(dcaps.dwVidMemFree, 100u);
  // Releasing gives the memory back.
  held_.erase(std::find(held_.begin(), held_.end(), first));
  first->Release();
  Make(dd, OffscreenDesc(64, 64));
}

TEST_F(DDrawTest, FlipChainsSwapBuffersAndNeedExclusiveMode) {
  IDirectDraw* dd = Open1();
  DDSURFACEDESC d;
  d.dwSize = sizeof(d);
  d.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
  d.dwBackBufferCount = 1;
  d.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
  dd->SetCooperativeLevel(FakeWindow(1), DDSCL_NORMAL);
  Make(dd, d, DDERR_NOEXCLUSIVEMODE);
  ASSERT_EQ(dd->SetCooperativeLevel(FakeWindow(1), DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE), DD_OK);
  ASSERT_EQ(dd->SetDisplayMode(640, 480, 32), DD_OK);
  IDirectDrawSurface* front = Make(dd, d);
  ASSERT_NE(front, nullptr);
  DDSCAPS want{DDSCAPS_BACKBUFFER};
  IDirectDrawSurface* back = nullptr;
  ASSERT_EQ(front->GetAttachedSurface(&want, &back), DD_OK);
  Keep(back);
  DDBLTFX fx;
  fx.dwSize = sizeof(fx);
  fx.dwFillColor = 0xABCDEF;
  back->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx);
  ASSERT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DD_OK);
  DDSURFACEDESC l;
  l.dwSize = sizeof(l);
  ASSERT_EQ(front->Lock(nullptr, &l, DDLOCK_WAIT, nullptr), DD_OK);
  EXPECT_EQ(*static_cast<std::uint32_t*>(l.lpSurface), 0xABCDEFu);
  EXPECT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DDERR_SURFACEBUSY);
  front->Unlock(nullptr);
  EXPECT_EQ(back->Flip(nullptr, 0), DDERR_NOTFLIPPABLE);
  DDSCAPS backCaps, frontCaps;
  back->GetCaps(&backCaps);
  front->GetCaps(&frontCaps);
  EXPECT_TRUE(backCaps.dwCaps & DDSCAPS_BACKBUFFER);
  EXPECT_TRUE(frontCaps.dwCaps & DDSCAPS_FRONTBUFFER);
  EXPECT_TRUE(frontCaps.dwCaps & DDSCAPS_VIDEOMEMORY);
  // Back to the desktop's buffer for menus and dialogs.
  ASSERT_EQ(dd->FlipToGDISurface(), DD_OK);
  IDirectDrawSurface* gdiSurface = nullptr;
  ASSERT_EQ(dd->GetGDISurface(&gdiSurface), DD_OK);
  EXPECT_EQ(gdiSurface, front);
  gdiSurface->Release();
}

TEST_F(DDrawTest, BltFastRefusesClippersAndBlitsHonourClipListsAndKeys) {
  IDirectDraw* dd = Open1();
  dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL);
  IDirectDrawSurface* dst = Make(dd, OffscreenDesc(8, 8));
  IDirectDrawSurface* src = Make(dd, OffscreenDesc(4, 4));
  DDBLTFX fx;
  fx.dwSize = sizeof(fx);
  fx.dwFillColor = 7;
  src->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx);
  fx.dwFillColor = 0;
  dst->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx);
  EXPECT_EQ(dst->BltFast(0, 0, src, nullptr, DDBLTFAST_SRCCOLORKEY), DDERR_NOCOLORKEY);
  EXPECT_EQ(dst->BltFast(6, 6, src, nullptr, 0), DDERR_INVALIDRECT);
  RECT outside{-1, 0, 3, 3};
  EXPECT_EQ(dst->Blt(&outside, src, nullptr, DDBLT_WAIT, nullptr), DDERR_INVALIDRECT);

  IDirectDrawClipper* clipper = nullptr;
  ASSERT_EQ(dd->CreateClipper(0, &clipper, nullptr), DD_OK);
  Keep(clipper);
  ASSERT_EQ(dst->SetClipper(clipper), DD_OK);
  EXPECT_EQ(dst->BltFast(0, 0, src, nullptr, DDBLTFAST_WAIT), DDERR_BLTFASTCANTCLIP);
  EXPECT_EQ(dst->Blt(nullptr, src, nullptr, DDBLT_WAIT, nullptr), DDERR_NOCLIPLIST);
  struct {
    RGNDATAHEADER h;
    RECT r[1];
  } region;
  region.h.nCount = 1;
  region.r[0] = RECT{2, 2, 5, 5};
  ASSERT_EQ(clipper->SetClipList(reinterpret_cast<RGNDATA*>(&region), 0), DD_OK);
  // Partly outside the surface is fine with a clipper: what is outside is cut.
  RECT wide{-2, -2, 6, 6};
  ASSERT_EQ(dst->Blt(&wide, src, nullptr, DDBLT_WAIT, nullptr), DD_OK);
  DDSURFACEDESC l;
  l.dwSize = sizeof(l);
  ASSERT_EQ(dst->Lock(nullptr, &l, DDLOCK_WAIT, nullptr), DD_OK);
  const auto at = [&](int x, int y) { return static_cast<const std::uint8_t*>(l.lpSurface)[y * l.lPitch + x * 4]; };
  EXPECT_EQ(at(1, 1), 0);
  EXPECT_EQ(at(2, 2), 7);
  EXPECT_EQ(at(4, 4), 7);
  EXPECT_EQ(at(5, 5), 0);
  dst->Unlock(nullptr);
}

// A sprite drawn again and again is copied from what is kept of its opaque runs; what is kept must
// follow every change of the sprite.
TEST_F(DDrawTest, RepeatedKeyedBlitsFollowChangesOfTheSource) {
  IDirectDraw* dd = Open1();
  dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL);
  IDirectDrawSurface* dst = Make(dd, OffscreenDesc(400, 4));
  IDirectDrawSurface* src = Make(dd, OffscreenDesc(300, 2));
  DDCOLORKEY key{0, 0};
  ASSERT_EQ(src->SetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
  DDSURFACEDESC l;
  l.dwSize = sizeof(l);
  const auto paint = [&](IDirectDrawSurface* s, std::uint32_t ink, int gapFrom, int gapTo) {
    ASSERT_EQ(s->Lock(nullptr, &l, DDLOCK_WAIT, nullptr), DD_OK);
    for (DWORD y = 0; y < l.dwHeight; ++y)
      for (DWORD x = 0; x < l.dwWidth; ++x) {
        const bool gap = static_cast<int>(x) >= gapFrom && static_cast<int>(x) < gapTo;
        std::memcpy(static_cast<std::uint8_t*>(l.lpSurface) + y * l.lPitch + x * 4, gap ? &key.dwColorSpaceLowValue : &ink, 4);
      }
    s->Unlock(nullptr);
  };
  const auto at = [&](int x, int y) {
    std::uint32_t v = 0;
    EXPECT_EQ(dst->Lock(nullptr, &l, DDLOCK_WAIT, nullptr), DD_OK);
    std::memcpy(&v, static_cast<const std::uint8_t*>(l.lpSurface) + y * l.lPitch + x * 4, 4);
    dst->Unlock(nullptr);
    return v;
  };
  paint(src, 5, 100, 110);
  for (int i = 0; i < 4; ++i) {
    paint(dst, 9, 0, 0);
    ASSERT_EQ(dst->BltFast(7, 1, src, nullptr, DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT), DD_OK);
    EXPECT_EQ(at(7 + 99, 1), 5u);
    EXPECT_EQ(at(7 + 100, 1), 9u);
    EXPECT_EQ(at(7 + 110, 2), 5u);
  }
  // New contents, new gap: the next blits must show them, not what was drawn before.
  paint(src, 6, 200, 250);
  for (int i = 0; i < 3; ++i) {
    paint(dst, 9, 0, 0);
    ASSERT_EQ(dst->BltFast(7, 1, src, nullptr, DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT), DD_OK);
    EXPECT_EQ(at(7 + 100, 1), 6u);
    EXPECT_EQ(at(7 + 200, 2), 9u);
    EXPECT_EQ(at(7 + 250, 2), 6u);
  }
  // A fill into the source changes it too, and so does a new key.
  DDBLTFX fx;
  fx.dwSize = sizeof(fx);
  fx.dwFillColor = 8;
  RECT part{0, 0, 20, 2};
  ASSERT_EQ(src->Blt(&part, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx), DD_OK);
  key = DDCOLORKEY{6, 6};
  ASSERT_EQ(src->SetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
  for (int i = 0; i < 3; ++i) {
    paint(dst, 9, 0, 0);
    ASSERT_EQ(dst->BltFast(7, 1, src, nullptr, DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT), DD_OK);
    EXPECT_EQ(at(7 + 5, 1), 8u);
    EXPECT_EQ(at(7 + 100, 1), 9u);
    EXPECT_EQ(at(7 + 220, 2), 0u);
  }
}

TEST_F(DDrawTest, LocksAndDeviceContextsExcludeEachOther) {
  IDirectDraw* dd = Open1();
  dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL);
  IDirectDrawSurface* s = Make(dd, OffscreenDesc(10, 10));
  DDSURFACEDESC l;
  l.dwSize = sizeof(l);
  RECT part{2, 3, 5, 6};
  ASSERT_EQ(s->Lock(&part, &l, DDLOCK_WAIT, nullptr), DD_OK);
  DDSURFACEDESC l2;
  l2.dwSize = sizeof(l2);
  EXPECT_EQ(s->Lock(nullptr, &l2, DDLOCK_WAIT, nullptr), DDERR_SURFACEBUSY);
  HDC dc = nullptr;
  EXPECT_EQ(s->GetDC(&dc), DDERR_SURFACEBUSY);
  ASSERT_EQ(s->Unlock(l.lpSurface), DD_OK);
  EXPECT_EQ(s->Unlock(nullptr), DDERR_NOTLOCKED);

  ASSERT_EQ(s->GetDC(&dc), DD_OK);
  // GDI draws straight into the surface's pixels.
  gdi::SetPixel(dc, 3, 4, win::RGB(255, 0, 0));
  EXPECT_EQ(s->Lock(nullptr, &l2, DDLOCK_WAIT, nullptr), DDERR_SURFACEBUSY);
  DDBLTFX fx;
  fx.dwSize = sizeof(fx);
  EXPECT_EQ(s->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx), DDERR_SURFACEBUSY);
  HDC again = nullptr;
  EXPECT_EQ(s->GetDC(&again), DDERR_DCALREADYCREATED);
  ASSERT_EQ(s->ReleaseDC(dc), DD_OK);
  ASSERT_EQ(s->Lock(nullptr, &l2, DDLOCK_WAIT, nullptr), DD_OK);
  const auto* row = reinterpret_cast<const std::uint32_t*>(static_cast<const std::uint8_t*>(l2.lpSurface) + 4 * l2.lPitch);
  EXPECT_EQ(row[3] & 0xFFFFFF, 0xFF0000u);
  s->Unlock(nullptr);
}

TEST_F(DDrawTest, ColourKeysPalettesAndDuplicates) {
  IDirectDraw* dd = Open1();
  ASSERT_EQ(dd->SetCooperativeLevel(FakeWindow(1), DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE), DD_OK);
  ASSERT_EQ(dd->SetDisplayMode(640, 480, 8), DD_OK);
  IDirectDrawSurface* s = Make(dd, OffscreenDesc(4, 4));
  DDCOLORKEY key{5, 9};
  ASSERT_EQ(s->SetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
  DDCOLORKEY back{};
  ASSERT_EQ(s->GetColorKey(DDCKEY_SRCBLT, &back), DD_OK);
  EXPECT_EQ(back.dwColorSpaceHighValue, 5u);  // one colour without DDCKEY_COLORSPACE
  ASSERT_EQ(s->SetColorKey(DDCKEY_SRCBLT | DDCKEY_COLORSPACE, &key), DD_OK);
  s->GetColorKey(DDCKEY_SRCBLT, &back);
  EXPECT_EQ(back.dwColorSpaceHighValue, 9u);
  EXPECT_EQ(s->GetColorKey(DDCKEY_DESTBLT, &back), DDERR_NOCOLORKEY);

  PALETTEENTRY entries[256] = {};
  entries[1] = PALETTEENTRY{10, 20, 30, 0};
  IDirectDrawPalette* pal = nullptr;
  ASSERT_EQ(dd->CreatePalette(DDPCAPS_8BIT | DDPCAPS_ALLOW256, entries, &pal, nullptr), DD_OK);
  Keep(pal);
  ASSERT_EQ(s->SetPalette(pal), DD_OK);
  PALETTEENTRY one[1];
  ASSERT_EQ(pal->GetEntries(0, 1, 1, one), DD_OK);
  EXPECT_EQ(one[0].peGreen, 20);
  EXPECT_EQ(pal->SetEntries(0, 250, 10, entries), DDERR_INVALIDPARAMS);
  IDirectDrawSurface* rgb = Make(dd, [] {
    DDSURFACEDESC d = OffscreenDesc(4, 4);
    d.dwFlags |= DDSD_PIXELFORMAT;
    d.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
    d.ddpfPixelFormat.dwFlags = DDPF_RGB;
    d.ddpfPixelFormat.dwRGBBitCount = 16;
    d.ddpfPixelFormat.dwRBitMask = 0xF800;
    d.ddpfPixelFormat.dwGBitMask = 0x7E0;
    d.ddpfPixelFormat.dwBBitMask = 0x1F;
    return d;
  }());
  EXPECT_EQ(rgb->SetPalette(pal), DDERR_INVALIDPIXELFORMAT);
  EXPECT_EQ(s->BltFast(0, 0, rgb, nullptr, 0), DDERR_INVALIDPIXELFORMAT);

  IDirectDrawSurface* dup = nullptr;
  ASSERT_EQ(dd->DuplicateSurface(s, &dup), DD_OK);
  Keep(dup);
  DDBLTFX fx;
  fx.dwSize = sizeof(fx);
  fx.dwFillColor = 42;
  dup->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx);
  DDSURFACEDESC l;
  l.dwSize = sizeof(l);
  ASSERT_EQ(s->Lock(nullptr, &l, DDLOCK_WAIT, nullptr), DD_OK);
  EXPECT_EQ(*static_cast<std::uint8_t*>(l.lpSurface), 42);  // the same memory
  s->Unlock(nullptr);

  // What is cached about the pixels goes by the uniqueness value: a read-only lock leaves it, a
  // write through the duplicate changes the original's too.
  IDirectDrawSurface4* s4 = nullptr;
  ASSERT_EQ(s->QueryInterface(IID_IDirectDrawSurface4, reinterpret_cast<void**>(&s4)), DD_OK);
  Keep(s4);
  DWORD before = 0, now = 0;
  ASSERT_EQ(s4->GetUniquenessValue(&before), DD_OK);
  ASSERT_EQ(s->Lock(nullptr, &l, DDLOCK_WAIT | DDLOCK_READONLY, nullptr), DD_OK);
  s->Unlock(nullptr);
  ASSERT_EQ(s4->GetUniquenessValue(&now), DD_OK);
  EXPECT_EQ(now, before);
  fx.dwFillColor = 43;
  ASSERT_EQ(dup->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx), DD_OK);
  ASSERT_EQ(s4->GetUniquenessValue(&now), DD_OK);
  EXPECT_NE(now, before);
  before = now;
  ASSERT_EQ(s4->GetUniquenessValue(&now), DD_OK);
  EXPECT_EQ(now, before);
}

TEST_F(DDrawTest, ZBuffersAttachToSurfacesOfTheirSize) {
  IDirectDraw7* dd = Open7();
  dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL);
  DDSURFACEDESC2 d;
  d.dwSize = sizeof(d);
  d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
  d.dwWidth = 32;
  d.dwHeight = 16;
  d.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE;
  IDirectDrawSurface7* target = nullptr;
  ASSERT_EQ(dd->CreateSurface(&d, &target, nullptr), DD_OK);
  Keep(target);
  d.dwFlags |= DDSD_PIXELFORMAT;
  d.ddsCaps.dwCaps = DDSCAPS_ZBUFFER | DDSCAPS_SYSTEMMEMORY;
  d.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
  d.ddpfPixelFormat.dwFlags = DDPF_ZBUFFER;
  d.ddpfPixelFormat.dwZBufferBitDepth = 16;
  d.ddpfPixelFormat.dwZBitMask = 0xFFFF;
  IDirectDrawSurface7* z = nullptr;
  ASSERT_EQ(dd->CreateSurface(&d, &z, nullptr), DD_OK);
  Keep(z);
  ASSERT_EQ(target->AddAttachedSurface(z), DD_OK);
  EXPECT_EQ(target->AddAttachedSurface(z), DDERR_SURFACEALREADYATTACHED);
  DDSCAPS2 want{DDSCAPS_ZBUFFER};
  IDirectDrawSurface7* found = nullptr;
  ASSERT_EQ(target->GetAttachedSurface(&want, &found), DD_OK);
  EXPECT_EQ(found, z);
  found->Release();
  ASSERT_EQ(target->DeleteAttachedSurface(0, z), DD_OK);
  EXPECT_EQ(target->DeleteAttachedSurface(0, z), DDERR_SURFACENOTATTACHED);
  HDC dc = nullptr;
  EXPECT_EQ(z->GetDC(&dc), DDERR_CANTCREATEDC);
}

TEST_F(DDrawTest, WaitForVerticalBlankIsPacedBy60HzOnThePlatformClock) {
  IDirectDraw* dd = Open1();
  mm::SetVirtualTime(1000);  // 1000 ms is the start of frame 60
  EXPECT_EQ(dd->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr), DD_OK);
  EXPECT_EQ(mm::timeGetTime(), 1000u);
  // The clock still reads the blank's first millisecond, but that blank has begun: a frame loop
  // that waits again is waiting for the next one, not showing two frames in one refresh.
  EXPECT_EQ(dd->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr), DD_OK);
  EXPECT_EQ(mm::timeGetTime(), 1017u);
  // Waiting from just before a blank that starts on a whole millisecond ends on that millisecond.
  mm::SetVirtualTime(1049);
  EXPECT_EQ(dd->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr), DD_OK);
  EXPECT_EQ(mm::timeGetTime(), 1050u);
  EXPECT_EQ(dd->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr), DD_OK);
  EXPECT_EQ(mm::timeGetTime(), 1067u);
  mm::SetVirtualTime(1001);
  EXPECT_EQ(dd->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr), DD_OK);
  EXPECT_EQ(mm::timeGetTime(), 1017u);  // frame 61 starts at 1016.67
  BOOL blank = win::FALSE;
  dd->GetVerticalBlankStatus(&blank);
  EXPECT_EQ(blank, win::TRUE);
  mm::SetVirtualTime(1005);
  dd->GetVerticalBlankStatus(&blank);
  EXPECT_EQ(blank, win::FALSE);
  EXPECT_EQ(dd->WaitForVerticalBlank(0x40, nullptr), DDERR_INVALIDPARAMS);
}

struct RecordingPresenter : Presenter {
  int Frames = 0;
  int Modes = 0;
  double Rate = 0;
  Frame Last;
  double ScreenRefreshRate() override { return Rate; }
  void Present(const Frame& f) override {
    ++Frames;
    Last = f;
  }
  void DisplayModeChanged(const DisplayMode&, bool, HWND) override { ++Modes; }
};

TEST_F(DDrawTest, ThePrimarySurfaceReachesThePresenter) {
  RecordingPresenter presenter;
  SetPresenter(&presenter);
  IDirectDraw* dd = Open1();
  ASSERT_EQ(dd->SetCooperativeLevel(FakeWindow(3), DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE), DD_OK);
  ASSERT_EQ(dd->SetDisplayMode(640, 480, 16), DD_OK);
  EXPECT_GE(presenter.Modes, 2);
  DDSURFACEDESC d;
  d.dwSize = sizeof(d);
  d.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
  d.dwBackBufferCount = 2;
  d.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
  IDirectDrawSurface* front = Make(dd, d);
  ASSERT_NE(front, nullptr);
  const int before = presenter.Frames;
  ASSERT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DD_OK);
  EXPECT_EQ(presenter.Frames, before + 1);
  EXPECT_TRUE(presenter.Last.Exclusive);
  EXPECT_EQ(presenter.Last.Window, FakeWindow(3));
  EXPECT_EQ(presenter.Last.Width, 640u);
  EXPECT_EQ(presenter.Last.BitCount, 16u);
  // Three buffers rotate: after three flips the first is in front again.
  const std::uint8_t* first = presenter.Last.Bits;
  front->Flip(nullptr, DDFLIP_NOVSYNC);
  front->Flip(nullptr, DDFLIP_NOVSYNC);
  EXPECT_NE(presenter.Last.Bits, first);
  front->Flip(nullptr, DDFLIP_NOVSYNC);
  EXPECT_EQ(presenter.Last.Bits, first);
  SetPresenter(nullptr);
}

TEST_F(DDrawTest, FullScreenFlipsKeepToTheRetraceUnlessToldNotTo) {
  RecordingPresenter presenter;
  SetPresenter(&presenter);
  IDirectDraw* dd = Open1();
  ASSERT_EQ(dd->SetCooperativeLevel(FakeWindow(4), DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE), DD_OK);
  ASSERT_EQ(dd->SetDisplayMode(800, 600, 16), DD_OK);
  DDSURFACEDESC d;
  d.dwSize = sizeof(d);
  d.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
  d.dwBackBufferCount = 1;
  d.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
  IDirectDrawSurface* front = Make(dd, d);
  ASSERT_NE(front, nullptr);

  // At the virtual 60 Hz: the first flip goes at once, each next one waits for the retrace that
  // shows the one before, so 61 flips from 1000 ms end in the frame starting at 2000 ms.
  mm::SetVirtualTime(1000);
  for (int i = 0; i < 61; ++i) ASSERT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DD_OK);
  EXPECT_EQ(mm::timeGetTime(), 2000u);
  // Without DDFLIP_WAIT a flip while the last one is pending is refused and changes nothing.
  const int shown = presenter.Frames;
  EXPECT_EQ(front->Flip(nullptr, 0), DDERR_WASSTILLDRAWING);
  EXPECT_EQ(presenter.Frames, shown);
  // Once that retrace has passed, the flip goes through without waiting.
  mm::SetVirtualTime(2020);
  EXPECT_EQ(front->Flip(nullptr, 0), DD_OK);
  EXPECT_EQ(mm::timeGetTime(), 2020u);
  // DDFLIP_NOVSYNC shows at once and waits for nothing.
  for (int i = 0; i < 10; ++i) ASSERT_EQ(front->Flip(nullptr, DDFLIP_NOVSYNC), DD_OK);
  EXPECT_EQ(mm::timeGetTime(), 2020u);

  // The screen's own rate wins over the mode's: 10 flips at 100 Hz take 90 ms.
  presenter.Rate = 100;
  mm::SetVirtualTime(5000);
  for (int i = 0; i < 10; ++i) ASSERT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DD_OK);
  EXPECT_EQ(mm::timeGetTime(), 5090u);
  DWORD hz = 0;
  dd->GetMonitorFrequency(&hz);
  EXPECT_EQ(hz, 100u);
  // A clock set back does not leave the next flip waiting for a retrace of the old time.
  mm::SetVirtualTime(100);
  EXPECT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DD_OK);
  EXPECT_EQ(mm::timeGetTime(), 100u);
  SetPresenter(nullptr);
}

}  // namespace

namespace {

// The counters by kind that leak checks read: each kind counts only its own objects, and an
// object counts until its last reference goes (surfaces of a chain go with their front).
TEST_F(DDrawTest, LiveCountsByKindFollowCreationAndTheLastRelease) {
  const int surfaces = LiveSurfaceCount(), palettes = LivePaletteCount(), clippers = LiveClipperCount();
  IDirectDraw* dd = Open1();
  EXPECT_EQ(LiveSurfaceCount(), surfaces);
  IDirectDrawSurface* s = nullptr;
  DDSURFACEDESC d = OffscreenDesc(8, 8);
  ASSERT_EQ(dd->CreateSurface(&d, &s, nullptr), DD_OK);
  IDirectDrawClipper* clipper = nullptr;
  ASSERT_EQ(dd->CreateClipper(0, &clipper, nullptr), DD_OK);
  PALETTEENTRY entries[256] = {};
  IDirectDrawPalette* pal = nullptr;
  ASSERT_EQ(dd->CreatePalette(DDPCAPS_8BIT | DDPCAPS_ALLOW256, entries, &pal, nullptr), DD_OK);
  EXPECT_EQ(LiveSurfaceCount(), surfaces + 1);
  EXPECT_EQ(LiveClipperCount(), clippers + 1);
  EXPECT_EQ(LivePaletteCount(), palettes + 1);
  // Held by the surface, the clipper outlives its creator's reference.
  ASSERT_EQ(s->SetClipper(clipper), DD_OK);
  clipper->Release();
  EXPECT_EQ(LiveClipperCount(), clippers + 1);
  s->Release();
  EXPECT_EQ(LiveSurfaceCount(), surfaces);
  EXPECT_EQ(LiveClipperCount(), clippers);
  pal->Release();
  EXPECT_EQ(LivePaletteCount(), palettes);
}

}  // namespace
