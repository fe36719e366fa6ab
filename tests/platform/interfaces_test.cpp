// The reference counting every interface object of the platform shares, and the rules of
// IUnknown across the modules: one count per object over all of its interfaces, one IUnknown
// pointer from each of them, memory kept past the last Release only while the module keeps it,
// and live counts that each module keeps for its own objects.
#include <gtest/gtest.h>

#include <string>
#include <type_traits>
#include <vector>

#include "platform/base/RefCounted.h"
#include "platform/d3d/D3D.h"
#include "platform/d3d/D3DTesting.h"
#include "platform/ddraw/DDraw.h"
#include "platform/ddraw/DDrawTesting.h"
#include "platform/dinput/DInput.h"
#include "platform/dinput/DInputTesting.h"
#include "platform/dsound/DSound.h"
#include "platform/dsound/DSoundTesting.h"
#include "platform/kernel/Library.h"

namespace {

using win::HRESULT;
using win::IUnknown;
using win::ULONG;

// ---- The base, on interfaces of the test's own -----------------------------------------------

class IFirst : public IUnknown {
 public:
  virtual int First() = 0;

 protected:
  ~IFirst() = default;
};

class ISecond : public IUnknown {
 public:
  virtual int Second() = 0;

 protected:
  ~ISecond() = default;
};

int& ProbeLive() {
  static int live = 0;
  return live;
}

int& PartLive() {
  static int live = 0;
  return live;
}

using Log = std::vector<std::string>;

class Probe final : public win::ComObject<&ProbeLive, IFirst, ISecond> {
 public:
  explicit Probe(Log& log) : log_(log) {}
  ~Probe() override { log_.push_back("destroyed"); }
  HRESULT QueryInterface(win::REFIID, void** object) override {
    *object = nullptr;
    return win::E_NOINTERFACE;
  }
  int First() override { return 1; }
  int Second() override { return 2; }

 protected:
  void LastReleased() override { log_.push_back("last released, " + std::to_string(Refs()) + " left"); }

 private:
  Log& log_;
};

class Part final : public win::ComPart<&PartLive, IFirst> {
 public:
  explicit Part(IUnknown& outer) : ComPart(outer) {}
  HRESULT QueryInterface(win::REFIID, void** object) override {
    *object = nullptr;
    return win::E_NOINTERFACE;
  }
  int First() override { return 3; }
};

TEST(RefCountedBase, TheInterfacesOfAnObjectShareOneCountAndItsLastReleaseEndsItOnce) {
  const int live = ProbeLive();
  Log log;
  auto* probe = new Probe(log);
  IFirst* first = probe;
  ISecond* second = probe;
  EXPECT_EQ(ProbeLive(), live + 1);
  EXPECT_EQ(first->AddRef(), 2u);
  EXPECT_EQ(second->AddRef(), 3u);
  EXPECT_EQ(first->Release(), 2u);
  EXPECT_EQ(second->Release(), 1u);
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(second->Release(), 0u);
  EXPECT_EQ(log, (Log{"last released, 0 left", "destroyed"}));
  EXPECT_EQ(ProbeLive(), live);
}

TEST(RefCountedBase, AKeepHoldsTheMemoryPastTheLastReleaseButTheHookRunsAtTheRelease) {
  const int live = ProbeLive();
  Log log;
  auto* probe = new Probe(log);
  // Keeping and letting go while references are out changes nothing.
  probe->Hold();
  probe->Unhold();
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(probe->Refs(), 1u);

  probe->Hold();
  probe->Hold();
  EXPECT_EQ(probe->Release(), 0u);
  EXPECT_EQ(log, (Log{"last released, 0 left"}));
  EXPECT_EQ(ProbeLive(), live + 1);
  probe->Unhold();
  EXPECT_EQ(log.size(), 1u);
  EXPECT_EQ(ProbeLive(), live + 1);
  probe->Unhold();
  EXPECT_EQ(log, (Log{"last released, 0 left", "destroyed"}));
  EXPECT_EQ(ProbeLive(), live);
}

TEST(RefCountedBase, APartCountsWithItsOuterObjectAndLivesInItsOwnModulesCount) {
  const int probes = ProbeLive(), parts = PartLive();
  Log log;
  auto* outer = new Probe(log);
  {
    Part part(*static_cast<IFirst*>(outer));
    EXPECT_EQ(PartLive(), parts + 1);
    EXPECT_EQ(ProbeLive(), probes + 1);
    EXPECT_EQ(part.AddRef(), 2u);
    EXPECT_EQ(outer->Refs(), 2u);
    EXPECT_EQ(part.Release(), 1u);
  }
  EXPECT_EQ(PartLive(), parts);
  EXPECT_TRUE(log.empty());
  outer->Release();
  EXPECT_EQ(ProbeLive(), probes);
}

// ---- IUnknown across the modules --------------------------------------------------------------

static_assert(std::is_same_v<ddraw::IUnknown, dsound::IUnknown>);
static_assert(std::is_same_v<ddraw::IUnknown, dinput::IUnknown>);
static_assert(std::is_same_v<ddraw::IUnknown, d3d::IUnknown>);
static_assert(std::is_same_v<decltype(&ddraw::IUnknown::AddRef), decltype(&dsound::IUnknown::AddRef)>);

ULONG RefsOf(IUnknown* p) {
  p->AddRef();
  return p->Release();
}

// The object's IUnknown, asked of one of its interfaces; the count it took is given back.
IUnknown* Identity(IUnknown* p) {
  const ULONG before = RefsOf(p);
  void* unknown = nullptr;
  EXPECT_EQ(p->QueryInterface(win::IID_IUnknown, &unknown), win::S_OK);
  EXPECT_NE(unknown, nullptr);
  if (!unknown) return nullptr;
  auto* u = static_cast<IUnknown*>(unknown);
  EXPECT_EQ(RefsOf(p), before + 1) << "QueryInterface adds one reference";
  u->Release();
  return u;
}

template <class T>
T* Ask(IUnknown* from, const win::GUID& iid) {
  void* p = nullptr;
  EXPECT_EQ(from->QueryInterface(iid, &p), win::S_OK);
  return static_cast<T*>(p);
}

TEST(UnknownAcrossModules, TheIdentifierIsOneAndSoIsTheAnswerOfEveryInterfaceOfAnObject) {
  EXPECT_EQ(&ddraw::IID_IUnknown, &dsound::IID_IUnknown);
  EXPECT_EQ(&ddraw::IID_IUnknown, &win::IID_IUnknown);
  ddraw::ResetAdapters();
  const int ddLive = ddraw::LiveObjectCount(), d3dLive = d3d::LiveObjectCount();

  ddraw::IDirectDraw* dd = nullptr;
  ASSERT_EQ(ddraw::DirectDrawCreate(nullptr, &dd, nullptr), ddraw::DD_OK);
  ASSERT_EQ(dd->SetCooperativeLevel(nullptr, ddraw::DDSCL_NORMAL), ddraw::DD_OK);
  auto* dd4 = Ask<ddraw::IDirectDraw4>(dd, ddraw::IID_IDirectDraw4);
  auto* dd7 = Ask<ddraw::IDirectDraw7>(dd, ddraw::IID_IDirectDraw7);
  IUnknown* ddUnknown = Identity(dd);
  EXPECT_EQ(Identity(dd4), ddUnknown);
  EXPECT_EQ(Identity(dd7), ddUnknown);
  // Direct3D is part of the DirectDraw object: asked for IUnknown it gives the object's own.
  auto* d3d2 = Ask<d3d::IDirect3D2>(dd, d3d::IID_IDirect3D2);
  ASSERT_NE(d3d2, nullptr);
  EXPECT_EQ(Identity(d3d2), ddUnknown);
  EXPECT_EQ(d3d::LiveObjectCount(), d3dLive + 1);
  EXPECT_EQ(RefsOf(dd), 4u);

  ddraw::DDSURFACEDESC d;
  d.dwSize = sizeof(d);
  d.dwFlags = ddraw::DDSD_CAPS | ddraw::DDSD_WIDTH | ddraw::DDSD_HEIGHT;
  d.dwWidth = d.dwHeight = 8;
  d.ddsCaps.dwCaps = ddraw::DDSCAPS_OFFSCREENPLAIN;
  ddraw::IDirectDrawSurface* surface = nullptr;
  ASSERT_EQ(dd->CreateSurface(&d, &surface, nullptr), ddraw::DD_OK);
  auto* surface7 = Ask<ddraw::IDirectDrawSurface7>(surface, ddraw::IID_IDirectDrawSurface7);
  IUnknown* surfaceUnknown = Identity(surface7);
  EXPECT_EQ(Identity(surface), surfaceUnknown);
  EXPECT_NE(surfaceUnknown, ddUnknown);
  ddraw::IDirectDrawClipper* clipper = nullptr;
  ASSERT_EQ(dd->CreateClipper(0, &clipper, nullptr), ddraw::DD_OK);
  EXPECT_EQ(Identity(clipper), static_cast<IUnknown*>(clipper));

  dsound::DeviceConfig config;
  config.Manual = true;
  dsound::SetDeviceConfig(config);
  const int dsLive = dsound::LiveObjectCount();
  dsound::IDirectSound* ds = nullptr;
  ASSERT_EQ(dsound::DirectSoundCreate(nullptr, &ds, nullptr), dsound::DS_OK);
  dsound::DSBUFFERDESC bd{};
  bd.dwSize = sizeof bd;
  bd.dwFlags = dsound::DSBCAPS_PRIMARYBUFFER;
  dsound::IDirectSoundBuffer* primary = nullptr;
  ASSERT_EQ(ds->CreateSoundBuffer(&bd, &primary, nullptr), dsound::DS_OK);
  EXPECT_EQ(Identity(ds), static_cast<IUnknown*>(ds));
  EXPECT_EQ(Identity(primary), static_cast<IUnknown*>(primary));
  EXPECT_EQ(dsound::LiveObjectCount(), dsLive + 2);

  // Objects of every module go through the one IUnknown alike, and each module counts only
  // its own.
  EXPECT_EQ(ddraw::LiveObjectCount(), ddLive + 3);
  std::vector<IUnknown*> all{clipper, surface7, surface, d3d2, dd7, dd4, primary, ds};
  for (IUnknown* p : all) p->Release();
  EXPECT_EQ(dsound::LiveObjectCount(), dsLive);
  EXPECT_FALSE(dsound::DeviceOpen());
  EXPECT_EQ(d3d::LiveObjectCount(), d3dLive + 1) << "Direct3D lives as long as its DirectDraw object";
  EXPECT_EQ(dd->Release(), 0u);
  EXPECT_EQ(ddraw::LiveObjectCount(), ddLive);
  EXPECT_EQ(d3d::LiveObjectCount(), d3dLive);
  dsound::ResetDeviceConfig();
}

TEST(UnknownAcrossModules, DirectInputObjectsAnswerWithOneUnknownAndCountInTheirModule) {
  dinput::ResetConfig();
  const int live = dinput::LiveObjectCount();
  dinput::IDirectInput* di = nullptr;
  ASSERT_EQ(dinput::DirectInputCreateA(kernel::GetModuleHandleA(nullptr), dinput::DIRECTINPUT_VERSION, &di, nullptr),
            dinput::DI_OK);
  dinput::IDirectInputDevice* keyboard = nullptr;
  ASSERT_EQ(di->CreateDevice(dinput::GUID_SysKeyboard, &keyboard, nullptr), dinput::DI_OK);
  EXPECT_EQ(dinput::LiveObjectCount(), live + 2);
  EXPECT_EQ(Identity(di), static_cast<IUnknown*>(di));
  EXPECT_EQ(Identity(keyboard), static_cast<IUnknown*>(keyboard));
  EXPECT_NE(Identity(keyboard), Identity(di));
  EXPECT_EQ(keyboard->Release(), 0u);
  EXPECT_EQ(di->Release(), 0u);
  EXPECT_EQ(dinput::LiveObjectCount(), live);
  dinput::ResetConfig();
}

// ---- Keeps in DirectDraw's flip chains --------------------------------------------------------

win::HWND FakeWindow() { return reinterpret_cast<win::HWND>(static_cast<std::uintptr_t>(0x1234)); }

// A surface keeps its DirectDraw object in memory, and a flip chain's front holds its back
// buffers: released in any order, each object goes exactly when the last thing holding it does.
TEST(FlipChainKeeps, TheDirectDrawObjectOutlivesItsLastReleaseWhileItsSurfacesLive) {
  ddraw::ResetAdapters();
  const int live = ddraw::LiveObjectCount(), surfaces = ddraw::LiveSurfaceCount();
  ddraw::IDirectDraw* dd = nullptr;
  ASSERT_EQ(ddraw::DirectDrawCreate(nullptr, &dd, nullptr), ddraw::DD_OK);
  ASSERT_EQ(dd->SetCooperativeLevel(FakeWindow(), ddraw::DDSCL_FULLSCREEN | ddraw::DDSCL_EXCLUSIVE), ddraw::DD_OK);
  ASSERT_EQ(dd->SetDisplayMode(640, 480, 16), ddraw::DD_OK);
  ddraw::DDSURFACEDESC d;
  d.dwSize = sizeof(d);
  d.dwFlags = ddraw::DDSD_CAPS | ddraw::DDSD_BACKBUFFERCOUNT;
  d.dwBackBufferCount = 2;
  d.ddsCaps.dwCaps = ddraw::DDSCAPS_PRIMARYSURFACE | ddraw::DDSCAPS_FLIP | ddraw::DDSCAPS_COMPLEX;
  ddraw::IDirectDrawSurface* front = nullptr;
  ASSERT_EQ(dd->CreateSurface(&d, &front, nullptr), ddraw::DD_OK);
  EXPECT_EQ(ddraw::LiveSurfaceCount(), surfaces + 3);
  EXPECT_EQ(ddraw::LiveObjectCount(), live + 4);
  ddraw::DDSCAPS want{ddraw::DDSCAPS_BACKBUFFER};
  ddraw::IDirectDrawSurface* back = nullptr;
  ASSERT_EQ(front->GetAttachedSurface(&want, &back), ddraw::DD_OK);
  EXPECT_EQ(front->Flip(nullptr, ddraw::DDFLIP_WAIT), ddraw::DD_OK);

  // The object's last reference: it leaves the display, its surfaces are lost, but they keep it.
  EXPECT_EQ(dd->Release(), 0u);
  EXPECT_EQ(ddraw::LiveObjectCount(), live + 4);
  EXPECT_EQ(front->IsLost(), ddraw::DDERR_SURFACELOST);
  ddraw::DDSCAPS caps{};
  EXPECT_EQ(back->GetCaps(&caps), ddraw::DD_OK);
  EXPECT_TRUE(caps.dwCaps & ddraw::DDSCAPS_BACKBUFFER);

  // The front takes the back buffer nobody else holds with it; the one held here stays, and so
  // does the DirectDraw object it keeps.
  EXPECT_EQ(front->Release(), 0u);
  EXPECT_EQ(ddraw::LiveSurfaceCount(), surfaces + 1);
  EXPECT_EQ(ddraw::LiveObjectCount(), live + 2);
  EXPECT_EQ(back->GetCaps(&caps), ddraw::DD_OK);
  EXPECT_EQ(back->Release(), 0u);
  EXPECT_EQ(ddraw::LiveSurfaceCount(), surfaces);
  EXPECT_EQ(ddraw::LiveObjectCount(), live);
  ddraw::ResetAdapters();
}

}  // namespace
