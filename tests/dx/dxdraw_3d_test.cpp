// A display with 3D: the device chosen for the back surface, the depth buffer, the version-6 and
// version-7 paths, retained mode, the failures raised from Initialize, the choice among several
// display adapters, and that going down releases every 3D object.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dx/DXClass.h"
#include "dx/DXDraws.h"
#include "dx/DXDrawsDisplay.h"
#include "platform/d3d/D3D.h"
#include "platform/d3d/D3DTesting.h"
#include "platform/ddraw/DDraw.h"
#include "platform/ddraw/DDrawTesting.h"
#include "platform/kernel/Library.h"
#include "platform/kernel/LibraryTesting.h"
#include "tests/support/QtTestApp.h"

namespace {

using namespace dx;
using ddraw::Device3DConfig;
using win::DWORD;

constexpr DWORD kAll = ddraw::DDBD_16 | ddraw::DDBD_24 | ddraw::DDBD_32;

Device3DConfig Hal(DWORD render = kAll, DWORD zbuffer = kAll) {
  return {d3d::IID_IDirect3DHALDevice, "hal", "Direct3D HAL", true, d3d::D3DCOLOR_RGB, render, zbuffer};
}
Device3DConfig Rgb(DWORD render = kAll, DWORD zbuffer = kAll) {
  return {d3d::IID_IDirect3DRGBDevice, "rgb", "RGB Emulation", false, d3d::D3DCOLOR_RGB, render, zbuffer};
}
Device3DConfig Mmx(DWORD render = kAll, DWORD zbuffer = kAll) {
  return {d3d::IID_IDirect3DMMXDevice, "mmx", "MMX Emulation", false, d3d::D3DCOLOR_RGB, render, zbuffer};
}

win::GUID AdapterGuid(DWORD n) { return win::GUID{0xADA00000u + n, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}}; }

ddraw::AdapterConfig Adapter(DWORD n, DWORD videoMB, std::vector<Device3DConfig> devices) {
  ddraw::AdapterConfig a = ddraw::DefaultAdapter();
  a.Guid = AdapterGuid(n);
  a.Description = "adapter " + std::to_string(n);
  a.VideoMemory = videoMB << 20;
  a.Devices3D = std::move(devices);
  return a;
}

std::string MessageOf(TCustomDXDraw* draw) {
  try {
    draw->Initialize();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "";
}

DWORD StateOf(d3d::IDirect3DDevice3* device, d3d::D3DRENDERSTATETYPE state) {
  DWORD v = 0xDEAD;
  EXPECT_EQ(device->GetRenderState(state, &v), d3d::D3D_OK);
  return v;
}

class DXDraw3DTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::EnsureApplication();
    ddraw::ResetAdapters();
    d3d::SetRetainedModeFaults({});
    d3d::ResetDeviceCreateResults();
    baseDD_ = ddraw::LiveObjectCount();
    form_ = fw::MakeOwned<fw::TForm>(nullptr);
    form_->SetBounds(40, 30, 700, 640);
    form_->SetClientSize(640, 480);
    draw_ = fw::MakeComponent<TDXDraw>(form_.get());
    draw_->SetAutoInitialize(false);
    draw_->SetParent(form_.get());
    draw_->SetBounds(0, 0, 320, 240);
  }
  void TearDown() override {
    form_.reset();
    EXPECT_EQ(d3d::LiveObjectCount(), 0);
    EXPECT_EQ(ddraw::LiveObjectCount(), baseDD_);
    d3d::SetRetainedModeFaults({});
    d3d::ResetDeviceCreateResults();
    kernel::SetModuleHidden("D3DRM.dll", false);
    ddraw::ResetAdapters();
  }
  // Full screen in 640 x 480 at the given depth, presented by page flipping.
  void FullScreen(TDXDrawOptions more, int bitCount = 16) {
    form_->Show();
    draw_->SetOptions(TDXDrawOptions{doFullScreen, doFlip, do3D} + more);
    draw_->Display()->SetWidth(640);
    draw_->Display()->SetHeight(480);
    draw_->Display()->SetBitCount(bitCount);
  }
  void ExpectAllReleased() {
    const TDXDraw3DInterfaces& i = draw_->Direct3D();
    for (const void* p : std::initializer_list<const void*>{
             i.D3D, i.D3D2, i.D3D3, i.D3D7, i.D3DDevice, i.D3DDevice2, i.D3DDevice3, i.D3DDevice7, i.D3DRM, i.D3DRM2,
             i.D3DRMDevice, i.D3DRMDevice2, i.Scene, i.Camera, i.Viewport})
      EXPECT_EQ(p, nullptr);
    EXPECT_EQ(draw_->ZBuffer(), nullptr);
    EXPECT_EQ(d3d::LiveObjectCount(), 0);
    EXPECT_EQ(ddraw::LiveObjectCount(), baseDD_);
  }

  int baseDD_ = 0;
  fw::TOwned<fw::TForm> form_;
  TDXDraw* draw_ = nullptr;
};

TEST_F(DXDraw3DTest, Version6PicksTheHardwareDeviceAndSetsItsRenderStates) {
  draw_->SetOptions(TDXDrawOptions{do3D, doHardware, doSelectDriver});
  EXPECT_TRUE(draw_->EffectiveOptions().Contains(do3D));
  EXPECT_FALSE(draw_->EffectiveOptions().Contains(doHardware)) << "hardware only from the set-up";
  draw_->Initialize();
  const TDXDraw3DInterfaces& i = draw_->Direct3D();
  ASSERT_TRUE(i.D3D && i.D3D2 && i.D3D3 && i.D3DDevice && i.D3DDevice2 && i.D3DDevice3);
  EXPECT_EQ(i.D3D7, nullptr);
  EXPECT_EQ(i.D3DDevice7, nullptr);
  EXPECT_EQ(i.D3DRM, nullptr) << "retained mode was not asked for";
  d3d::D3DDEVICEDESC hw, sw;
  hw.dwSize = sw.dwSize = sizeof(hw);
  ASSERT_EQ(i.D3DDevice3->GetCaps(&hw, &sw), d3d::D3D_OK);
  EXPECT_EQ(hw.dcmColorModel, d3d::D3DCOLOR_RGB) << "the hardware device";
  ddraw::IDirectDrawSurface4* target = nullptr;
  ASSERT_EQ(i.D3DDevice3->GetRenderTarget(&target), d3d::D3D_OK);
  EXPECT_EQ(target, draw_->Surface()->IDDSurface4());
  target->Release();
  EXPECT_EQ(StateOf(i.D3DDevice3, d3d::D3DRENDERSTATE_DITHERENABLE), 1u);
  EXPECT_EQ(StateOf(i.D3DDevice3, d3d::D3DRENDERSTATE_ZENABLE), 0u);
  EXPECT_EQ(StateOf(i.D3DDevice3, d3d::D3DRENDERSTATE_ZWRITEENABLE), 0u);
  EXPECT_EQ(draw_->EffectiveOptions(), (TDXDrawOptions{do3D, doHardware}))
      << "doSelectDriver is never in force; the blit driver's presentation options were not asked for";
  EXPECT_TRUE(draw_->CanDraw());
  draw_->Finalize();
  ExpectAllReleased();
  EXPECT_EQ(draw_->EffectiveOptions(), (TDXDrawOptions{do3D, doSelectDriver})) << "as the options say while down";
}

TEST_F(DXDraw3DTest, Version7WithADepthBufferAndNoRetainedMode) {
  draw_->SetOptions(TDXDrawOptions{do3D, doDirectX7Mode, doHardware, doZBuffer, doRetainedMode});
  draw_->Initialize();
  const TDXDraw3DInterfaces& i = draw_->Direct3D();
  ASSERT_TRUE(i.D3D7 && i.D3DDevice7);
  EXPECT_EQ(i.D3D3, nullptr);
  EXPECT_EQ(i.D3DRM, nullptr);
  d3d::D3DDEVICEDESC7 caps;
  i.D3DDevice7->GetCaps(&caps);
  EXPECT_TRUE(caps.deviceGUID == d3d::IID_IDirect3DHALDevice);
  ASSERT_NE(draw_->ZBuffer(), nullptr);
  const ddraw::DDSURFACEDESC& z = draw_->ZBuffer()->SurfaceDesc();
  EXPECT_EQ(z.dwZBufferBitDepth, 16u);
  EXPECT_TRUE(z.ddsCaps.dwCaps & ddraw::DDSCAPS_VIDEOMEMORY);
  EXPECT_EQ(z.dwWidth, 320u);
  EXPECT_EQ(z.dwHeight, 240u);
  // Attached to the back surface.
  ddraw::DDSCAPS want{ddraw::DDSCAPS_ZBUFFER};
  ddraw::IDirectDrawSurface* attached = nullptr;
  ASSERT_EQ(draw_->Surface()->ISurface()->GetAttachedSurface(&want, &attached), ddraw::DD_OK);
  EXPECT_EQ(attached, draw_->ZBuffer()->IDDSurface());
  attached->Release();
  EXPECT_EQ(draw_->EffectiveOptions(), (TDXDrawOptions{do3D, doDirectX7Mode, doHardware, doZBuffer}));
  draw_->Finalize();
  ExpectAllReleased();
}

TEST_F(DXDraw3DTest, ABackSurfaceInSystemMemoryGetsASoftwareDeviceButNeverTheMMXOne) {
  ddraw::SetAdapters({Adapter(0, 64, {Mmx(kAll, ddraw::DDBD_32), Hal(), Rgb(kAll, ddraw::DDBD_24)})});
  draw_->SetOptions(TDXDrawOptions{do3D, doHardware, doSystemMemory, doZBuffer});
  draw_->Initialize();
  EXPECT_TRUE(draw_->EffectiveOptions().Contains(doSystemMemory));
  const TDXDraw3DInterfaces& i = draw_->Direct3D();
  ASSERT_NE(i.D3DDevice3, nullptr);
  d3d::D3DDEVICEDESC hw, sw;
  hw.dwSize = sw.dwSize = sizeof(hw);
  i.D3DDevice3->GetCaps(&hw, &sw);
  EXPECT_EQ(hw.dcmColorModel, 0u) << "a software device";
  ASSERT_NE(draw_->ZBuffer(), nullptr);
  EXPECT_EQ(draw_->ZBuffer()->SurfaceDesc().dwZBufferBitDepth, 24u) << "the RGB device's depth buffer, not MMX's";
  EXPECT_TRUE(draw_->ZBuffer()->SurfaceDesc().ddsCaps.dwCaps & ddraw::DDSCAPS_SYSTEMMEMORY);
  EXPECT_FALSE(draw_->EffectiveOptions().Contains(doHardware));
  EXPECT_TRUE(draw_->EffectiveOptions().Contains(doZBuffer));
  draw_->Finalize();

  // The same when video memory is too small for the back surface.
  ddraw::SetAdapters({Adapter(0, 0, {Hal(), Rgb()})});
  draw_->SetOptions(TDXDrawOptions{do3D, doHardware, doDirectX7Mode});
  draw_->Initialize();
  EXPECT_TRUE(draw_->EffectiveOptions().Contains(doSystemMemory));
  d3d::D3DDEVICEDESC7 caps;
  draw_->Direct3D().D3DDevice7->GetCaps(&caps);
  EXPECT_TRUE(caps.deviceGUID == d3d::IID_IDirect3DRGBDevice);
  EXPECT_FALSE(draw_->EffectiveOptions().Contains(doHardware));
  draw_->Finalize();
  ExpectAllReleased();
}

TEST_F(DXDraw3DTest, WithoutATextureCapableDriverNoHardwareIsWished) {
  ddraw::AdapterConfig a = Adapter(0, 64, {Hal(), Rgb()});
  a.DriverCaps.ddsCaps.dwCaps &= ~ddraw::DDSCAPS_TEXTURE;
  ddraw::SetAdapters({a});
  draw_->SetOptions(TDXDrawOptions{do3D, doHardware});
  draw_->Initialize();
  EXPECT_FALSE(draw_->EffectiveOptions().Contains(doHardware));
  EXPECT_FALSE(draw_->EffectiveOptions().Contains(doSystemMemory));
  draw_->Finalize();
}

TEST_F(DXDraw3DTest, ADeviceWithoutAUsableDepthBufferLeavesTheDisplayUpWithoutOne) {
  ddraw::SetAdapters({Adapter(0, 64, {Hal(kAll, ddraw::DDBD_8)})});
  draw_->SetOptions(TDXDrawOptions{do3D, doHardware, doZBuffer});
  draw_->Initialize();
  EXPECT_TRUE(draw_->Initialized());
  EXPECT_EQ(draw_->ZBuffer(), nullptr);
  EXPECT_FALSE(draw_->EffectiveOptions().Contains(doZBuffer));
  EXPECT_TRUE(draw_->EffectiveOptions().Contains(doHardware));
  EXPECT_EQ(StateOf(draw_->Direct3D().D3DDevice3, d3d::D3DRENDERSTATE_ZENABLE), 0u);
  draw_->Finalize();

  // No room in video memory for the hardware device's depth buffer: the same.
  ddraw::SetAdapters({Adapter(0, 1, {Hal()})});
  draw_->SetBounds(0, 0, 500, 400);  // 800 000 bytes of back surface at 32 bits, 400 000 of depth
  draw_->Initialize();
  EXPECT_EQ(draw_->ZBuffer(), nullptr);
  EXPECT_FALSE(draw_->EffectiveOptions().Contains(doZBuffer));
  EXPECT_EQ(StateOf(draw_->Direct3D().D3DDevice3, d3d::D3DRENDERSTATE_ZENABLE), 0u);
  draw_->Finalize();
  ExpectAllReleased();
}

TEST_F(DXDraw3DTest, NoQualifyingDeviceIsReportedAndLeavesTheDisplayDown) {
  // The MMX device and a device for other depths are all there is.
  ddraw::SetAdapters({Adapter(0, 64, {Mmx(), Hal(ddraw::DDBD_16)})});
  draw_->SetOptions(TDXDrawOptions{do3D, doHardware});
  EXPECT_EQ(MessageOf(draw_), "3D device not found");
  EXPECT_FALSE(draw_->Initialized());
  ExpectAllReleased();
  draw_->SetOptions(TDXDrawOptions{do3D, doHardware, doDirectX7Mode});
  EXPECT_EQ(MessageOf(draw_), "3D device not found");
  ExpectAllReleased();
}

TEST_F(DXDraw3DTest, AHardwareDeviceThatCannotBeMadeFallsBackToSoftwareOnce) {
  const Device3DConfig broken = Hal();
  d3d::SetDeviceCreateResult(broken.Guid, d3d::D3DERR_INITFAILED);
  ddraw::SetAdapters({Adapter(0, 64, {broken, Rgb(kAll, ddraw::DDBD_32)})});
  draw_->SetOptions(TDXDrawOptions{do3D, doHardware, doZBuffer});
  draw_->Initialize();
  EXPECT_FALSE(draw_->EffectiveOptions().Contains(doHardware));
  ASSERT_NE(draw_->ZBuffer(), nullptr);
  EXPECT_EQ(draw_->ZBuffer()->SurfaceDesc().dwZBufferBitDepth, 32u) << "a new depth buffer for the software device";
  EXPECT_TRUE(draw_->ZBuffer()->SurfaceDesc().ddsCaps.dwCaps & ddraw::DDSCAPS_SYSTEMMEMORY);
  EXPECT_EQ(StateOf(draw_->Direct3D().D3DDevice3, d3d::D3DRENDERSTATE_ZENABLE), 1u);
  draw_->Finalize();

  // Twice: the interface that could not be made is named.
  const Device3DConfig soft = Rgb();
  d3d::SetDeviceCreateResult(soft.Guid, d3d::D3DERR_INITFAILED);
  ddraw::SetAdapters({Adapter(0, 64, {broken, soft})});
  EXPECT_EQ(MessageOf(draw_), "IDirect3DDevice3 cannot be made");
  ExpectAllReleased();
  draw_->SetOptions(TDXDrawOptions{do3D, doHardware, doZBuffer, doDirectX7Mode});
  EXPECT_EQ(MessageOf(draw_), "IDirect3DDevice7 cannot be made");
  EXPECT_FALSE(draw_->Initialized());
  ExpectAllReleased();
}

TEST_F(DXDraw3DTest, RetainedModeGetsADeviceFramesAndAViewportOverTheBackSurface) {
  draw_->SetOptions(TDXDrawOptions{do3D, doHardware, doRetainedMode, doZBuffer});
  draw_->Initialize();
  const TDXDraw3DInterfaces& i = draw_->Direct3D();
  ASSERT_TRUE(i.D3DRM && i.D3DRMDevice2 && i.Scene && i.Camera && i.Viewport);
  EXPECT_TRUE(draw_->EffectiveOptions().Contains(doRetainedMode));
  EXPECT_EQ(i.Viewport->GetBack(), 5000.0f);
  EXPECT_EQ(i.Viewport->GetWidth(), 320u);
  EXPECT_EQ(i.Viewport->GetHeight(), 240u);
  d3d::IDirect3DRMFrame* parent = nullptr;
  i.Camera->GetParent(&parent);
  EXPECT_EQ(parent, i.Scene);
  parent->Release();
  d3d::IDirect3DDevice2* under = nullptr;
  i.D3DRMDevice2->GetDirect3DDevice2(&under);
  EXPECT_EQ(under, i.D3DDevice2);
  under->Release();

  // A new back surface: a new device and viewport, the same retained-mode object and frames.
  d3d::IDirect3DRM* rm = i.D3DRM;
  d3d::IDirect3DRMFrame* scene = i.Scene;
  const int live = d3d::LiveObjectCount();
  draw_->SetSurfaceSize(200, 100);
  ASSERT_NE(i.Viewport, nullptr);
  EXPECT_EQ(i.Viewport->GetWidth(), 200u);
  EXPECT_EQ(i.D3DRM, rm);
  EXPECT_EQ(i.Scene, scene);
  EXPECT_EQ(d3d::LiveObjectCount(), live) << "the old device and viewport went";
  EXPECT_EQ(draw_->ZBuffer()->Width(), 200);
  EXPECT_TRUE(draw_->EffectiveOptions().Contains(doZBuffer));
  draw_->Finalize();
  ExpectAllReleased();
}

TEST_F(DXDraw3DTest, RetainedModeFailuresAtEachStep) {
  draw_->SetOptions(TDXDrawOptions{do3D, doHardware, doRetainedMode});

  d3d::SetRetainedModeFaults({true, false, false, false});
  EXPECT_EQ(MessageOf(draw_), "Direct3D RetainedMode cannot be initialized");
  ExpectAllReleased();

  d3d::SetRetainedModeFaults({false, true, false, false});
  EXPECT_EQ(MessageOf(draw_), "IDirect3DRMDevice2 cannot be made");
  ExpectAllReleased();

  // Without frames or a viewport the display comes up, but retained mode is not in force.
  for (const d3d::RetainedModeFaults f : {d3d::RetainedModeFaults{false, false, true, false},
                                          d3d::RetainedModeFaults{false, false, false, true}}) {
    d3d::SetRetainedModeFaults(f);
    draw_->Initialize();
    EXPECT_TRUE(draw_->Initialized());
    EXPECT_EQ(draw_->Direct3D().Viewport, nullptr);
    EXPECT_NE(draw_->Direct3D().D3DRMDevice2, nullptr);
    EXPECT_FALSE(draw_->EffectiveOptions().Contains(doRetainedMode));
    draw_->Finalize();
    ExpectAllReleased();
  }

  d3d::SetRetainedModeFaults({});
  FreeLoadedLibraries();  // the loader keeps what it loaded once
  kernel::SetModuleHidden("D3DRM.dll", true);
  EXPECT_EQ(MessageOf(draw_), "D3DRM.dll not loaded");
  EXPECT_FALSE(draw_->Initialized());
  ExpectAllReleased();
}

TEST_F(DXDraw3DTest, FullScreenSelectionTakesTheQualifyingAdapterWithTheMostVideoMemory) {
  ddraw::AdapterConfig noTexture = Adapter(5, 512, {Hal()});
  noTexture.DriverCaps.ddsCaps.dwCaps &= ~ddraw::DDSCAPS_TEXTURE;
  ddraw::SetAdapters({Adapter(0, 64, {Hal(), Rgb()}),
                      Adapter(1, 256, {Rgb()}),                 // no hardware device
                      Adapter(2, 256, {Hal(ddraw::DDBD_32)}),   // not at 16 bits
                      Adapter(3, 128, {Hal(), Mmx()}),
                      Adapter(4, 128, {Hal()}),                  // as much as 3, but later
                      noTexture});
  FullScreen({doHardware, doSelectDriver});
  draw_->Initialize();
  ASSERT_NE(draw_->DriverGuid(), nullptr);
  EXPECT_TRUE(*draw_->DriverGuid() == AdapterGuid(3));
  EXPECT_EQ(draw_->DDraw()->DriverCaps().dwVidMemTotal, 128u << 20) << "the display opened that adapter";
  EXPECT_EQ(draw_->Display()->BitCount(), 16);
  EXPECT_TRUE(draw_->EffectiveOptions().Contains(doHardware));
  EXPECT_FALSE(draw_->EffectiveOptions().Contains(doSelectDriver));
  EXPECT_TRUE(draw_->CanDraw());
  draw_->Finalize();

  // With any bit count, adapter 2 qualifies; the bit count moves to what its device renders.
  draw_->Display()->SetFixedBitCount(false);
  draw_->Initialize();
  EXPECT_TRUE(*draw_->DriverGuid() == AdapterGuid(2));
  EXPECT_EQ(draw_->Display()->BitCount(), 32);
  EXPECT_EQ(draw_->Surface()->BitCount(), 32);
  draw_->Finalize();
  ExpectAllReleased();
}

TEST_F(DXDraw3DTest, SelectionFallsBackToTheFirstRenderableDepthAndStaysWithTheDriverWithoutSelectDriver) {
  ddraw::SetAdapters({Adapter(0, 64, {Hal(ddraw::DDBD_24 | ddraw::DDBD_32)}), Adapter(1, 256, {Hal()})});
  FullScreen({doHardware}, 8);
  draw_->Display()->SetFixedBitCount(false);
  draw_->Initialize();
  EXPECT_EQ(draw_->DriverGuid(), nullptr) << "the primary display driver, as before";
  EXPECT_EQ(draw_->Display()->BitCount(), 24);
  EXPECT_EQ(draw_->DDraw()->DriverCaps().dwVidMemTotal, 64u << 20);
  draw_->Finalize();

  // Fixed: the requested depth stays even though the device cannot render it.
  draw_->Display()->SetFixedBitCount(true);
  draw_->Display()->SetBitCount(16);
  EXPECT_EQ(MessageOf(draw_), "3D device not found");
  EXPECT_EQ(draw_->Display()->BitCount(), 16);

  // A driver chosen before is kept.
  win::GUID chosen = AdapterGuid(1);
  draw_->SetDriverGuid(&chosen);
  draw_->Initialize();
  EXPECT_TRUE(*draw_->DriverGuid() == AdapterGuid(1));
  EXPECT_EQ(draw_->DDraw()->DriverCaps().dwVidMemTotal, 256u << 20);
  draw_->Finalize();
  ExpectAllReleased();
}

TEST_F(DXDraw3DTest, SwitchingBetweenWindowAndFullScreenLeaksNothing) {
  form_->Show();
  draw_->Display()->SetWidth(640);
  draw_->Display()->SetHeight(480);
  draw_->Display()->SetBitCount(16);
  const TDXDrawOptions base{do3D, doHardware, doZBuffer, doRetainedMode, doSelectDriver};
  draw_->SetOptions(base);
  draw_->Initialize();
  const int live = d3d::LiveObjectCount();
  for (int round = 0; round < 4; ++round) {
    // As Alt+Enter does it: down, the other mode, up.
    draw_->Finalize();
    EXPECT_EQ(d3d::LiveObjectCount(), 0);
    const bool full = round % 2 == 0;
    draw_->SetOptions(full ? base + TDXDrawOptions{doFullScreen, doFlip} : base);
    draw_->Initialize();
    ASSERT_TRUE(draw_->Initialized());
    EXPECT_EQ(d3d::LiveObjectCount(), live);
    EXPECT_NE(draw_->ZBuffer(), nullptr);
    EXPECT_EQ(draw_->Surface()->BitCount(), full ? 16 : 32);
    EXPECT_TRUE(draw_->EffectiveOptions().Contains(doRetainedMode));
  }
  draw_->Finalize();
  ExpectAllReleased();
}

TEST_F(DXDraw3DTest, DestroyingAnInitializedDisplayReleasesEveryThreeDObject) {
  draw_->SetOptions(TDXDrawOptions{do3D, doHardware, doZBuffer, doRetainedMode});
  draw_->Initialize();
  EXPECT_GT(d3d::LiveObjectCount(), 0);
  form_.reset();  // the form's destruction takes the display down
  EXPECT_EQ(d3d::LiveObjectCount(), 0);
  EXPECT_EQ(ddraw::LiveObjectCount(), baseDD_);
}

}  // namespace
