// Direct3D through the DirectDraw object: which interfaces an object offers and how they count,
// device enumeration in both styles, device creation on render targets, render states, and the
// retained-mode module.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/d3d/D3D.h"
#include "platform/d3d/D3DTesting.h"
#include "platform/ddraw/DDraw.h"
#include "platform/ddraw/DDrawTesting.h"
#include "platform/kernel/Library.h"

namespace {

using namespace d3d;
using ddraw::DDSURFACEDESC;
using ddraw::DDSURFACEDESC2;
using ddraw::IDirectDraw;
using ddraw::IDirectDraw7;

template <class T>
T* Ask(IUnknown* from, const GUID& iid, HRESULT* hr = nullptr) {
  void* p = nullptr;
  const HRESULT r = from->QueryInterface(iid, &p);
  if (hr) *hr = r;
  return static_cast<T*>(p);
}

DWORD RefsOf(IUnknown* p) {
  p->AddRef();
  return p->Release();
}

// An off-screen surface of the object's version-4 interface.
ddraw::IDirectDrawSurface4* MakeSurface(ddraw::IDirectDraw4* dd, DWORD caps, DWORD w = 64, DWORD h = 32,
                                        DWORD bits = 0) {
  DDSURFACEDESC2 d;
  d.dwSize = sizeof(d);
  d.dwFlags = ddraw::DDSD_CAPS | ddraw::DDSD_WIDTH | ddraw::DDSD_HEIGHT;
  d.dwWidth = w;
  d.dwHeight = h;
  d.ddsCaps.dwCaps = caps;
  if (bits == 8) {
    d.dwFlags |= ddraw::DDSD_PIXELFORMAT;
    d.ddpfPixelFormat.dwSize = sizeof(d.ddpfPixelFormat);
    d.ddpfPixelFormat.dwFlags = ddraw::DDPF_RGB | ddraw::DDPF_PALETTEINDEXED8;
    d.ddpfPixelFormat.dwRGBBitCount = 8;
  }
  ddraw::IDirectDrawSurface4* s = nullptr;
  EXPECT_EQ(dd->CreateSurface(&d, &s, nullptr), ddraw::DD_OK);
  return s;
}

struct Enumerated {
  std::string Name;
  D3DDEVICEDESC Hardware, Software;
  GUID Guid;
};

HRESULT Collect(GUID* guid, char*, char* name, D3DDEVICEDESC* hw, D3DDEVICEDESC* sw, void* context) {
  static_cast<std::vector<Enumerated>*>(context)->push_back({name, *hw, *sw, *guid});
  return D3DENUMRET_OK;
}

class D3DTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ddraw::ResetAdapters();
    SetRetainedModeFaults({});
    ResetDeviceCreateResults();
    baseDD_ = ddraw::LiveObjectCount();
  }
  void TearDown() override {
    EXPECT_EQ(LiveObjectCount(), 0) << "Direct3D objects left alive";
    EXPECT_EQ(ddraw::LiveObjectCount(), baseDD_) << "DirectDraw objects left alive";
    SetRetainedModeFaults({});
    ResetDeviceCreateResults();
    ddraw::ResetAdapters();
  }
  // A version-6 style object (DirectDrawCreate) with its version-4 interface.
  void OpenV6() {
    ASSERT_EQ(ddraw::DirectDrawCreate(nullptr, &dd_, nullptr), ddraw::DD_OK);
    dd4_ = Ask<ddraw::IDirectDraw4>(dd_, ddraw::IID_IDirectDraw4);
    ASSERT_EQ(dd_->SetCooperativeLevel(nullptr, ddraw::DDSCL_NORMAL), ddraw::DD_OK);
  }
  void Close() {
    if (dd4_) std::exchange(dd4_, nullptr)->Release();
    if (dd_) std::exchange(dd_, nullptr)->Release();
  }
  int baseDD_ = 0;
  IDirectDraw* dd_ = nullptr;
  ddraw::IDirectDraw4* dd4_ = nullptr;
};

TEST_F(D3DTest, TheDirectDrawObjectOffersTheDirect3DInterfacesOfItsKindAndCountsThemWithItself) {
  OpenV6();
  HRESULT hr;
  IDirect3D7* none = Ask<IDirect3D7>(dd_, IID_IDirect3D7, &hr);
  EXPECT_EQ(hr, win::E_NOINTERFACE) << "an object made by DirectDrawCreate has no IDirect3D7";
  EXPECT_EQ(none, nullptr);

  const DWORD before = RefsOf(dd_);
  auto* d1 = Ask<IDirect3D>(dd_, IID_IDirect3D);
  auto* d2 = Ask<IDirect3D2>(dd_, IID_IDirect3D2);
  auto* d3 = Ask<IDirect3D3>(dd_, IID_IDirect3D3);
  ASSERT_TRUE(d1 && d2 && d3);
  EXPECT_EQ(RefsOf(dd_), before + 3) << "the interfaces count with the DirectDraw object";
  // Back from Direct3D to DirectDraw, and between the Direct3D versions.
  auto* back = Ask<IDirectDraw>(d3, ddraw::IID_IDirectDraw);
  EXPECT_EQ(back, dd_);
  auto* again = Ask<IDirect3D2>(d1, IID_IDirect3D2);
  EXPECT_EQ(again, d2);
  back->Release();
  again->Release();

  // Holding only a Direct3D interface keeps the whole object alive.
  Close();
  EXPECT_GT(ddraw::LiveObjectCount(), baseDD_);
  EXPECT_EQ(LiveObjectCount(), 1);
  d1->Release();
  d2->Release();
  EXPECT_EQ(d3->Release(), 0u);

  // DirectDrawCreateEx: version 7 only.
  void* p = nullptr;
  ASSERT_EQ(ddraw::DirectDrawCreateEx(nullptr, &p, ddraw::IID_IDirectDraw7, nullptr), ddraw::DD_OK);
  auto* dd7 = static_cast<IDirectDraw7*>(p);
  EXPECT_EQ(Ask<IDirect3D3>(dd7, IID_IDirect3D3, &hr), nullptr);
  EXPECT_EQ(hr, win::E_NOINTERFACE);
  auto* d7 = Ask<IDirect3D7>(dd7, IID_IDirect3D7);
  ASSERT_NE(d7, nullptr);
  dd7->Release();
  EXPECT_EQ(d7->Release(), 0u);
}

TEST_F(D3DTest, DevicesAreEnumeratedWithAHardwareAndASoftwareDescriptionOrOneVersion7Description) {
  ddraw::AdapterConfig a = ddraw::DefaultAdapter();
  ddraw::Device3DConfig ramp{IID_IDirect3DRGBDevice, "ramp", "Ramp Emulation", false, D3DCOLOR_MONO,
                             ddraw::DDBD_8, 0};
  ramp.Guid.Data1 = 0xF2086B20;
  a.Devices3D.push_back(ramp);
  ddraw::SetAdapters({a});
  OpenV6();
  auto* d3 = Ask<IDirect3D3>(dd_, IID_IDirect3D3);
  std::vector<Enumerated> seen;
  ASSERT_EQ(d3->EnumDevices(&Collect, &seen), D3D_OK);
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_EQ(seen[0].Name, "Direct3D HAL");
  EXPECT_EQ(seen[0].Hardware.dcmColorModel, D3DCOLOR_RGB);
  EXPECT_EQ(seen[0].Software.dcmColorModel, 0u) << "a hardware device has no software description";
  EXPECT_EQ(seen[0].Hardware.dwDeviceRenderBitDepth, ddraw::DDBD_16 | ddraw::DDBD_24 | ddraw::DDBD_32);
  EXPECT_EQ(seen[0].Hardware.dwSize, sizeof(D3DDEVICEDESC));
  EXPECT_EQ(seen[1].Hardware.dcmColorModel, 0u);
  EXPECT_EQ(seen[1].Software.dcmColorModel, D3DCOLOR_RGB);
  EXPECT_TRUE(seen[2].Guid == IID_IDirect3DMMXDevice) << "the MMX device is offered";
  EXPECT_EQ(seen[3].Software.dcmColorModel, D3DCOLOR_MONO);
  EXPECT_EQ(seen[3].Software.dwDeviceRenderBitDepth, ddraw::DDBD_8);

  // A callback that cancels stops the enumeration.
  int calls = 0;
  d3->EnumDevices([](GUID*, char*, char*, D3DDEVICEDESC*, D3DDEVICEDESC*, void* c) -> HRESULT {
    ++*static_cast<int*>(c);
    return D3DENUMRET_CANCEL;
  }, &calls);
  EXPECT_EQ(calls, 1);
  d3->Release();
  Close();

  void* p = nullptr;
  ASSERT_EQ(ddraw::DirectDrawCreateEx(nullptr, &p, ddraw::IID_IDirectDraw7, nullptr), ddraw::DD_OK);
  auto* dd7 = static_cast<IDirectDraw7*>(p);
  auto* d7 = Ask<IDirect3D7>(dd7, IID_IDirect3D7);
  std::vector<D3DDEVICEDESC7> seen7;
  d7->EnumDevices([](char*, char*, D3DDEVICEDESC7* d, void* c) -> HRESULT {
    static_cast<std::vector<D3DDEVICEDESC7>*>(c)->push_back(*d);
    return D3DENUMRET_OK;
  }, &seen7);
  ASSERT_EQ(seen7.size(), 3u) << "no monochrome device in version 7";
  EXPECT_TRUE(seen7[0].dwDevCaps & D3DDEVCAPS_HWRASTERIZATION);
  EXPECT_TRUE(seen7[0].deviceGUID == IID_IDirect3DHALDevice);
  EXPECT_FALSE(seen7[1].dwDevCaps & D3DDEVCAPS_HWRASTERIZATION);
  EXPECT_TRUE(seen7[2].deviceGUID == IID_IDirect3DMMXDevice);
  d7->Release();
  dd7->Release();
}

TEST_F(D3DTest, ADeviceIsMadeOnlyOnARenderTargetItCanRender) {
  ddraw::AdapterConfig a = ddraw::DefaultAdapter();
  const GUID broken{0x1234, 0, 0, {}};
  a.Devices3D.push_back({broken, "broken", "Broken", false, D3DCOLOR_RGB, ddraw::DDBD_16 | ddraw::DDBD_32, 0});
  SetDeviceCreateResult(broken, D3DERR_INITFAILED);
  ddraw::SetAdapters({a});
  OpenV6();
  auto* d3 = Ask<IDirect3D3>(dd_, IID_IDirect3D3);
  const DWORD video = ddraw::DDSCAPS_OFFSCREENPLAIN | ddraw::DDSCAPS_3DDEVICE;
  auto* plain = MakeSurface(dd4_, ddraw::DDSCAPS_OFFSCREENPLAIN);
  auto* target = MakeSurface(dd4_, video);
  auto* system = MakeSurface(dd4_, video | ddraw::DDSCAPS_SYSTEMMEMORY);
  auto* paletted = MakeSurface(dd4_, video, 64, 32, 8);
  IDirect3DDevice3* dev = nullptr;

  EXPECT_EQ(d3->CreateDevice(IID_IDirect3DHALDevice, plain, &dev, nullptr), ddraw::DDERR_INVALIDCAPS)
      << "not made as a 3D render target";
  EXPECT_EQ(d3->CreateDevice(IID_IDirect3DHALDevice, paletted, &dev, nullptr), ddraw::DDERR_INVALIDPIXELFORMAT)
      << "8 bits is no depth the device renders";
  EXPECT_EQ(d3->CreateDevice(IID_IDirect3DHALDevice, system, &dev, nullptr), ddraw::DDERR_INVALIDCAPS)
      << "hardware renders only into video memory";
  EXPECT_EQ(d3->CreateDevice(IID_IDirect3D, target, &dev, nullptr), D3DERR_INVALID_DEVICE);
  EXPECT_EQ(d3->CreateDevice(GUID{0x1234, 0, 0, {}}, target, &dev, nullptr), D3DERR_INITFAILED);
  EXPECT_EQ(dev, nullptr);
  // Software devices render into either memory.
  ASSERT_EQ(d3->CreateDevice(IID_IDirect3DRGBDevice, system, &dev, nullptr), D3D_OK);
  dev->Release();

  // A surface of another DirectDraw object is not this device's to use.
  IDirectDraw* other = nullptr;
  ASSERT_EQ(ddraw::DirectDrawCreate(nullptr, &other, nullptr), ddraw::DD_OK);
  other->SetCooperativeLevel(nullptr, ddraw::DDSCL_NORMAL);
  auto* other4 = Ask<ddraw::IDirectDraw4>(other, ddraw::IID_IDirectDraw4);
  auto* foreign = MakeSurface(other4, video);
  EXPECT_EQ(d3->CreateDevice(IID_IDirect3DHALDevice, foreign, &dev, nullptr), ddraw::DDERR_INVALIDOBJECT);
  foreign->Release();
  other4->Release();
  other->Release();

  // A lost render target cannot take a device.
  ddraw::LoseAllSurfaces();
  EXPECT_EQ(d3->CreateDevice(IID_IDirect3DHALDevice, target, &dev, nullptr), ddraw::DDERR_SURFACELOST);
  ASSERT_EQ(target->Restore(), ddraw::DD_OK);
  EXPECT_EQ(d3->CreateDevice(IID_IDirect3DHALDevice, target, &dev, nullptr), D3D_OK);
  dev->Release();

  for (auto* s : {plain, target, system, paletted}) s->Release();
  d3->Release();
  Close();
}

TEST_F(D3DTest, RenderTargetsInVideoMemoryNeed3DHardware) {
  ddraw::AdapterConfig a = ddraw::DefaultAdapter();
  a.DriverCaps.dwCaps &= ~ddraw::DDCAPS_3D;
  ddraw::SetAdapters({a});
  OpenV6();
  DDSURFACEDESC2 d;
  d.dwSize = sizeof(d);
  d.dwFlags = ddraw::DDSD_CAPS | ddraw::DDSD_WIDTH | ddraw::DDSD_HEIGHT;
  d.dwWidth = d.dwHeight = 16;
  d.ddsCaps.dwCaps = ddraw::DDSCAPS_OFFSCREENPLAIN | ddraw::DDSCAPS_3DDEVICE;
  ddraw::IDirectDrawSurface4* s = nullptr;
  EXPECT_EQ(dd4_->CreateSurface(&d, &s, nullptr), ddraw::DDERR_NO3D);
  d.ddsCaps.dwCaps |= ddraw::DDSCAPS_SYSTEMMEMORY;
  ASSERT_EQ(dd4_->CreateSurface(&d, &s, nullptr), ddraw::DD_OK);
  s->Release();
  Close();
}

TEST_F(D3DTest, DevicesKeepRenderStatesOfferTheirVersionsAndHoldTheirTarget) {
  OpenV6();
  auto* d3 = Ask<IDirect3D3>(dd_, IID_IDirect3D3);
  auto* target = MakeSurface(dd4_, ddraw::DDSCAPS_OFFSCREENPLAIN | ddraw::DDSCAPS_3DDEVICE);
  // A depth buffer of the old description's kind, attached before the device is made.
  DDSURFACEDESC z;
  z.dwSize = sizeof(z);
  z.dwFlags = ddraw::DDSD_CAPS | ddraw::DDSD_WIDTH | ddraw::DDSD_HEIGHT | ddraw::DDSD_ZBUFFERBITDEPTH;
  z.dwWidth = 64;
  z.dwHeight = 32;
  z.dwZBufferBitDepth = 16;
  z.ddsCaps.dwCaps = ddraw::DDSCAPS_ZBUFFER | ddraw::DDSCAPS_VIDEOMEMORY;
  ddraw::IDirectDrawSurface* zb = nullptr;
  ASSERT_EQ(dd_->CreateSurface(&z, &zb, nullptr), ddraw::DD_OK);
  auto* zb4 = Ask<ddraw::IDirectDrawSurface4>(zb, ddraw::IID_IDirectDrawSurface4);
  ASSERT_EQ(target->AddAttachedSurface(zb4), ddraw::DD_OK);

  IDirect3DDevice3* dev = nullptr;
  ASSERT_EQ(d3->CreateDevice(IID_IDirect3DHALDevice, target, &dev, nullptr), D3D_OK);
  DWORD v = 99;
  ASSERT_EQ(dev->GetRenderState(D3DRENDERSTATE_ZENABLE, &v), D3D_OK);
  EXPECT_EQ(v, D3DZB_TRUE) << "depth testing starts on with a depth buffer attached";
  dev->GetRenderState(D3DRENDERSTATE_DITHERENABLE, &v);
  EXPECT_EQ(v, 0u);
  EXPECT_EQ(dev->SetRenderState(D3DRENDERSTATE_DITHERENABLE, 1), D3D_OK);
  EXPECT_EQ(dev->SetRenderState(0, 1), ddraw::DDERR_INVALIDPARAMS);
  EXPECT_EQ(dev->SetRenderState(D3DRENDERSTATE_BOUND, 1), ddraw::DDERR_INVALIDPARAMS);

  // The other version-6 interfaces are the same device and see the same states.
  auto* dev2 = Ask<IDirect3DDevice2>(dev, IID_IDirect3DDevice2);
  auto* dev1 = Ask<IDirect3DDevice>(dev, IID_IDirect3DDevice);
  ASSERT_TRUE(dev2 && dev1);
  EXPECT_EQ(Ask<IDirect3DDevice7>(dev, IID_IDirect3DDevice7), nullptr);
  dev2->GetRenderState(D3DRENDERSTATE_DITHERENABLE, &v);
  EXPECT_EQ(v, 1u);
  ddraw::IDirectDrawSurface4* rt = nullptr;
  ASSERT_EQ(dev->GetRenderTarget(&rt), D3D_OK);
  EXPECT_EQ(rt, target);
  rt->Release();
  IDirect3D3* parent = nullptr;
  ASSERT_EQ(dev->GetDirect3D(&parent), D3D_OK);
  EXPECT_EQ(parent, d3);
  parent->Release();

  // Everything else goes; the device still holds its target and DirectDraw.
  zb4->Release();
  zb->Release();
  target->Release();
  d3->Release();
  Close();
  EXPECT_GT(ddraw::LiveObjectCount(), baseDD_);
  dev1->Release();
  dev2->Release();
  EXPECT_EQ(dev->Release(), 0u);
}

TEST_F(D3DTest, Version7DevicesAreMadeOnVersion7SurfacesAndOfferOnlyThemselves) {
  void* p = nullptr;
  ASSERT_EQ(ddraw::DirectDrawCreateEx(nullptr, &p, ddraw::IID_IDirectDraw7, nullptr), ddraw::DD_OK);
  auto* dd7 = static_cast<IDirectDraw7*>(p);
  dd7->SetCooperativeLevel(nullptr, ddraw::DDSCL_NORMAL);
  DDSURFACEDESC2 d;
  d.dwSize = sizeof(d);
  d.dwFlags = ddraw::DDSD_CAPS | ddraw::DDSD_WIDTH | ddraw::DDSD_HEIGHT;
  d.dwWidth = d.dwHeight = 16;
  d.ddsCaps.dwCaps = ddraw::DDSCAPS_OFFSCREENPLAIN | ddraw::DDSCAPS_3DDEVICE;
  ddraw::IDirectDrawSurface7* s = nullptr;
  ASSERT_EQ(dd7->CreateSurface(&d, &s, nullptr), ddraw::DD_OK);
  auto* d7 = Ask<IDirect3D7>(dd7, IID_IDirect3D7);
  IDirect3DDevice7* dev = nullptr;
  ASSERT_EQ(d7->CreateDevice(IID_IDirect3DHALDevice, s, &dev), D3D_OK);
  D3DDEVICEDESC7 caps;
  ASSERT_EQ(dev->GetCaps(&caps), D3D_OK);
  EXPECT_TRUE(caps.deviceGUID == IID_IDirect3DHALDevice);
  EXPECT_EQ(Ask<IDirect3DDevice3>(dev, IID_IDirect3DDevice3), nullptr);
  DWORD v = 9;
  dev->GetRenderState(D3DRENDERSTATE_ZENABLE, &v);
  EXPECT_EQ(v, D3DZB_FALSE) << "no depth buffer attached";
  dev->Release();
  d7->Release();
  s->Release();
  dd7->Release();
}

TEST_F(D3DTest, RetainedModeIsLoadedAsD3DRMAndBuildsDevicesFramesAndViewports) {
  win::HMODULE module = kernel::LoadLibraryA("d3drm.dll");
  ASSERT_NE(module, nullptr);
  auto create = kernel::ProcAs<LPDIRECT3DRMCREATE>(kernel::GetProcAddress(module, "Direct3DRMCreate"));
  ASSERT_NE(create, nullptr);
  IDirect3DRM* rm = nullptr;
  ASSERT_EQ(create(&rm), D3D_OK);
  auto* rm2 = Ask<IDirect3DRM2>(rm, IID_IDirect3DRM2);
  ASSERT_NE(rm2, nullptr);

  OpenV6();
  auto* d2 = Ask<IDirect3D2>(dd_, IID_IDirect3D2);
  auto* d3 = Ask<IDirect3D3>(dd_, IID_IDirect3D3);
  auto* target = MakeSurface(dd4_, ddraw::DDSCAPS_OFFSCREENPLAIN | ddraw::DDSCAPS_3DDEVICE, 320, 200);
  IDirect3DDevice3* dev3 = nullptr;
  ASSERT_EQ(d3->CreateDevice(IID_IDirect3DHALDevice, target, &dev3, nullptr), D3D_OK);
  auto* dev2 = Ask<IDirect3DDevice2>(dev3, IID_IDirect3DDevice2);

  // A device of another Direct3D object does not go with this one.
  IDirectDraw* other = nullptr;
  ddraw::DirectDrawCreate(nullptr, &other, nullptr);
  auto* otherD2 = Ask<IDirect3D2>(other, IID_IDirect3D2);
  IDirect3DRMDevice2* rmdev = nullptr;
  EXPECT_EQ(rm2->CreateDeviceFromD3D(otherD2, dev2, &rmdev), D3DRMERR_BADDEVICE);
  otherD2->Release();
  other->Release();

  ASSERT_EQ(rm2->CreateDeviceFromD3D(d2, dev2, &rmdev), D3D_OK);
  EXPECT_EQ(rmdev->GetWidth(), 320u);
  EXPECT_EQ(rmdev->GetHeight(), 200u);
  auto* rmdev1 = Ask<IDirect3DRMDevice>(rmdev, IID_IDirect3DRMDevice);

  IDirect3DRMFrame* scene = nullptr;
  IDirect3DRMFrame* camera = nullptr;
  ASSERT_EQ(rm->CreateFrame(nullptr, &scene), D3D_OK);
  ASSERT_EQ(rm->CreateFrame(scene, &camera), D3D_OK);
  IDirect3DRMFrame* f = nullptr;
  camera->GetParent(&f);
  EXPECT_EQ(f, scene);
  f->Release();
  camera->GetScene(&f);
  EXPECT_EQ(f, scene);
  f->Release();

  IDirect3DRMViewport* view = nullptr;
  EXPECT_EQ(rm->CreateViewport(rmdev1, camera, 0, 0, 321, 200, &view), D3DRMERR_BADVALUE) << "wider than the device";
  EXPECT_EQ(rm->CreateViewport(rmdev1, camera, 10, 0, 320, 200, &view), D3DRMERR_BADVALUE);
  ASSERT_EQ(rm->CreateViewport(rmdev1, camera, 0, 0, 320, 200, &view), D3D_OK);
  EXPECT_EQ(view->SetBack(5000.0f), D3D_OK);
  EXPECT_EQ(view->GetBack(), 5000.0f);
  EXPECT_EQ(view->SetBack(view->GetFront()), D3DRMERR_BADVALUE) << "the back plane lies behind the front";
  EXPECT_EQ(view->SetFront(0.0f), D3DRMERR_BADVALUE);
  EXPECT_EQ(view->GetWidth(), 320u);

  // The scene goes first: it let go of the camera, which the viewport still holds.
  EXPECT_EQ(scene->Release(), 0u);
  camera->GetParent(&f);
  EXPECT_EQ(f, nullptr);
  camera->Release();
  rmdev1->Release();
  rmdev->Release();
  dev2->Release();
  dev3->Release();
  view->Release();  // the last holder of the camera, the retained-mode device and the device
  target->Release();
  d2->Release();
  d3->Release();
  Close();
  rm2->Release();
  EXPECT_EQ(rm->Release(), 0u);
  EXPECT_EQ(kernel::FreeLibrary(module), win::TRUE);
}

TEST_F(D3DTest, RetainedModeFaultsFailTheirOperationOnly) {
  SetRetainedModeFaults({true, false, false, false});
  IDirect3DRM* rm = reinterpret_cast<IDirect3DRM*>(1);
  EXPECT_NE(Direct3DRMCreate(&rm), D3D_OK);
  EXPECT_EQ(rm, nullptr);
  SetRetainedModeFaults({false, false, true, false});
  ASSERT_EQ(Direct3DRMCreate(&rm), D3D_OK);
  IDirect3DRMFrame* f = nullptr;
  EXPECT_NE(rm->CreateFrame(nullptr, &f), D3D_OK);
  EXPECT_EQ(f, nullptr);
  SetRetainedModeFaults({});
  ASSERT_EQ(rm->CreateFrame(nullptr, &f), D3D_OK);
  f->Release();
  rm->Release();
}

}  // namespace
