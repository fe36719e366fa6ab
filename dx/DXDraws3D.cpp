// The 3D set-up of a display: the choice of the display driver, then a Direct3D device on the
// back surface (through the version-6 or the version-7 interfaces), a depth buffer, and retained
// mode on top of the version-6 device.
#include <optional>
#include <utility>
#include <vector>

#include "dx/DXConsts.h"
#include "dx/DXDraws.h"
#include "dx/DXDraws3D.h"
#include "dx/DXDrawsDisplay.h"
#include "framework/SysUtils.h"

namespace dx {

using namespace ddraw;

namespace {

// The device that rasterizes with MMX is never used: it is slower than the plain RGB device.
constexpr win::GUID kMMXDevice{0x50936643, 0x13E9, 0x11D1, {0x89, 0xAA, 0x00, 0xA0, 0xC9, 0x05, 0x41, 0x29}};

constexpr DWORD kSearchDepths = DDBD_16 | DDBD_24 | DDBD_32;

template <class T>
void SafeRelease(T*& p) {
  if (p) std::exchange(p, nullptr)->Release();
}

template <class T>
T* Query(IUnknown* from, const win::GUID& iid) {
  void* p = nullptr;
  if (!from || from->QueryInterface(iid, &p) != DD_OK) return nullptr;
  return static_cast<T*>(p);
}

// What driver selection needs of a device: it is a hardware device and renders these depths.
struct SelectionDevice {
  DWORD RenderDepths = 0;
};

struct SelectionSearch {
  DWORD Wanted;  // the requested depth's flag, or every depth the bit count may move to
  std::optional<SelectionDevice> Kept;
  void Offer(bool Hardware, DWORD RenderDepths) {
    // The last device that counts is the one kept.
    if (Hardware && (RenderDepths & Wanted)) Kept = SelectionDevice{RenderDepths};
  }
};

// The devices of a DirectDraw object as the selection sees them: through IDirect3D7 on an
// object opened in version-7 mode (one description, hardware by its rasterization capability),
// else through IDirect3D (the hardware description has a colour model).
std::optional<SelectionDevice> FindSelectionDevice(TDirectDraw& DD, DWORD Wanted) {
  SelectionSearch search{Wanted, std::nullopt};
  if (DD.IDDraw7()) {
    if (auto* d3d7 = Query<d3d::IDirect3D7>(DD.IDDraw7(), d3d::IID_IDirect3D7)) {
      d3d7->EnumDevices(
          [](char*, char*, d3d::D3DDEVICEDESC7* desc, void* context) -> win::HRESULT {
            static_cast<SelectionSearch*>(context)->Offer((desc->dwDevCaps & d3d::D3DDEVCAPS_HWRASTERIZATION) != 0,
                                                         desc->dwDeviceRenderBitDepth);
            return d3d::D3DENUMRET_OK;
          },
          &search);
      d3d7->Release();
      return search.Kept;
    }
  }
  if (auto* d3d1 = Query<d3d::IDirect3D>(DD.IDDraw(), d3d::IID_IDirect3D)) {
    d3d1->EnumDevices(
        [](win::GUID*, char*, char*, d3d::D3DDEVICEDESC* hardware, d3d::D3DDEVICEDESC*, void* context) -> win::HRESULT {
          static_cast<SelectionSearch*>(context)->Offer(hardware->dcmColorModel != 0,
                                                       hardware->dwDeviceRenderBitDepth);
          return d3d::D3DENUMRET_OK;
        },
        &search);
    d3d1->Release();
  }
  return search.Kept;
}

struct DriverEntry {
  std::optional<win::GUID> Guid;  // none: the primary display driver
};

std::vector<DriverEntry> EnumerateDrivers() {
  auto enumerate = kernel::ProcAs<LPDIRECTDRAWENUMERATEA>(LoadProc("DDraw.dll", "DirectDrawEnumerateA"));
  std::vector<DriverEntry> list;
  enumerate(
      [](win::GUID* guid, char*, char*, void* context) -> win::BOOL {
        auto& l = *static_cast<std::vector<DriverEntry>*>(context);
        l.push_back(guid ? DriverEntry{*guid} : DriverEntry{std::nullopt});
        return win::TRUE;
      },
      &list);
  return list;
}

// A negative depth has no flag either.
DWORD DepthToFlag(int BitCount) { return BitCount > 0 ? ddraw::DepthToFlag(static_cast<DWORD>(BitCount)) : 0; }

}  // namespace

// ---------------------------------------------------------------------------------------------
// Driver selection

void SelectDriver(int Flags, TCustomDXDraw* DXDraw) {
  int bitCount = DXDraw->Display()->BitCount();
  win::GUID* result = DXDraw->DriverGuid();
  std::optional<win::GUID> taken;
  const bool anyDepth = (Flags & kSelectAnyBitCount) != 0;
  const DWORD wanted = anyDepth ? (DepthToFlag(bitCount) | kSearchDepths) : DepthToFlag(bitCount);

  std::optional<SelectionDevice> kept;
  if (Flags & kSelectDriver) {
    DWORD takenMemory = 0;
    for (DriverEntry& entry : EnumerateDrivers()) {
      std::unique_ptr<TDirectDraw> dd;
      try {
        dd = std::make_unique<TDirectDraw>(entry.Guid ? &*entry.Guid : nullptr);
      } catch (const EDirectDrawError&) {
        continue;  // a driver that cannot be opened offers nothing
      }
      const DDCAPS& caps = dd->DriverCaps();
      if (!(caps.dwCaps & DDCAPS_3D) || !(caps.ddsCaps.dwCaps & DDSCAPS_TEXTURE)) continue;
      const std::optional<SelectionDevice> device = FindSelectionDevice(*dd, wanted);
      if (!device) continue;
      // The first candidate stays unless a later one has more video memory.
      if (kept && caps.dwVidMemTotal <= takenMemory) continue;
      kept = device;
      takenMemory = caps.dwVidMemTotal;
      taken = entry.Guid;
      result = taken ? &*taken : nullptr;
    }
  } else {
    TDirectDraw dd(result);
    kept = FindSelectionDevice(dd, wanted);
  }

  if (kept && anyDepth && !(kept->RenderDepths & DepthToFlag(bitCount))) {
    if (kept->RenderDepths & DDBD_16)
      bitCount = 16;
    else if (kept->RenderDepths & DDBD_24)
      bitCount = 24;
    else if (kept->RenderDepths & DDBD_32)
      bitCount = 32;
  }
  DXDraw->SetDriverGuid(result);
  DXDraw->Display()->SetBitCount(bitCount);
}

// ---------------------------------------------------------------------------------------------
// The interfaces

void TDXDraw3DInterfaces::ReleaseDevices() {
  SafeRelease(Viewport);
  SafeRelease(D3DRMDevice);
  SafeRelease(D3DRMDevice2);
  SafeRelease(D3DDevice);
  SafeRelease(D3DDevice2);
  SafeRelease(D3DDevice3);
  SafeRelease(D3DDevice7);
  SafeRelease(D3D);
  SafeRelease(D3D2);
  SafeRelease(D3D3);
  SafeRelease(D3D7);
}

void TDXDraw3DInterfaces::ReleaseRetained() {
  SafeRelease(Camera);
  SafeRelease(Scene);
  SafeRelease(D3DRM2);
  SafeRelease(D3DRM);
}

// ---------------------------------------------------------------------------------------------
// Initialize3D

struct TDXDrawDriver::DeviceChoice {
  bool Found = false;
  win::GUID Guid{};
  bool Hardware = false;
  DWORD ZBufferDepths = 0;
};

namespace {

constexpr int kRequestHardware = 0x4;
constexpr int kRequestRetainedMode = 0x8;
constexpr int kRequestZBuffer = 0x10;

struct DeviceSearch {
  bool HardwareWish;
  DWORD Wanted;  // the flag of the back surface's depth
  bool Found = false;
  win::GUID Guid{};
  bool Hardware = false;
  DWORD ZBufferDepths = 0;

  void Offer(const win::GUID& guid, bool hardware, DWORD renderDepths, DWORD zbufferDepths) {
    if (guid == kMMXDevice || (hardware && !HardwareWish)) return;
    if (!(renderDepths & Wanted)) return;
    // A hardware device always replaces the choice; a software one only fills an empty one.
    if (!hardware && Found) return;
    Found = true;
    Guid = guid;
    Hardware = hardware;
    ZBufferDepths = zbufferDepths;
  }
};

}  // namespace

TDXDrawDriver::DeviceChoice TDXDrawDriver::SearchDevice(bool Version7, bool HardwareWish) {
  TCustomDXDraw& d = *dxdraw_;
  TDXDraw3DInterfaces& i = d.d3d_;
  DeviceSearch search{HardwareWish, DepthToFlag(d.surface_->BitCount())};
  if (Version7) {
    if (i.D3D7)
      i.D3D7->EnumDevices(
          [](char*, char*, d3d::D3DDEVICEDESC7* desc, void* context) -> win::HRESULT {
            static_cast<DeviceSearch*>(context)->Offer(desc->deviceGUID,
                                                      (desc->dwDevCaps & d3d::D3DDEVCAPS_HWRASTERIZATION) != 0,
                                                      desc->dwDeviceRenderBitDepth, desc->dwDeviceZBufferBitDepth);
            return d3d::D3DENUMRET_OK;
          },
          &search);
  } else if (i.D3D3) {
    i.D3D3->EnumDevices(
        [](win::GUID* guid, char*, char*, d3d::D3DDEVICEDESC* hardware, d3d::D3DDEVICEDESC* software,
           void* context) -> win::HRESULT {
          if (!guid) return d3d::D3DENUMRET_OK;
          const bool hw = hardware->dcmColorModel != 0;
          const d3d::D3DDEVICEDESC& desc = hw ? *hardware : *software;
          if (desc.dcmColorModel & d3d::D3DCOLOR_RGB)
            static_cast<DeviceSearch*>(context)->Offer(*guid, hw, desc.dwDeviceRenderBitDepth,
                                                      desc.dwDeviceZBufferBitDepth);
          return d3d::D3DENUMRET_OK;
        },
        &search);
  }
  if (!search.Found) throw EDXDrawError(SDirect3DDeviceNotFound);
  return DeviceChoice{true, search.Guid, search.Hardware, search.ZBufferDepths};
}

bool TDXDrawDriver::MakeZBuffer(int Request, const DeviceChoice& Device) {
  if (!(Request & kRequestZBuffer)) return false;
  TCustomDXDraw& d = *dxdraw_;
  RemoveZBuffer();
  int depth = 0;
  if (Device.ZBufferDepths & DDBD_16)
    depth = 16;
  else if (Device.ZBufferDepths & DDBD_24)
    depth = 24;
  else if (Device.ZBufferDepths & DDBD_32)
    depth = 32;
  if (depth == 0) return false;
  DDSURFACEDESC desc;
  desc.dwSize = sizeof(desc);
  desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_ZBUFFERBITDEPTH;
  desc.ddsCaps.dwCaps = DDSCAPS_ZBUFFER | (Device.Hardware ? DDSCAPS_VIDEOMEMORY : DDSCAPS_SYSTEMMEMORY);
  desc.dwWidth = static_cast<DWORD>(d.surface_->Width());
  desc.dwHeight = static_cast<DWORD>(d.surface_->Height());
  desc.dwZBufferBitDepth = static_cast<DWORD>(depth);
  d.zbuffer_ = std::make_unique<TDirectDrawSurface>(d.ddraw_.get());
  if (!d.zbuffer_->CreateSurface(desc)) {
    d.zbuffer_.reset();
    return false;
  }
  d.surface_->SetLastResult(d.surface_->ISurface()->AddAttachedSurface(d.zbuffer_->ISurface()));
  if (d.surface_->LastResult() != DD_OK) {
    d.zbuffer_.reset();
    return false;
  }
  return true;
}

void TDXDrawDriver::SetUpRetainedMode() {
  TCustomDXDraw& d = *dxdraw_;
  TDXDraw3DInterfaces& i = d.d3d_;
  if (!i.D3DRM) {
    auto create = kernel::ProcAs<d3d::LPDIRECT3DRMCREATE>(LoadProc("D3DRM.dll", "Direct3DRMCreate"));
    if (create(&i.D3DRM) != DD_OK || !i.D3DRM) {
      i.D3DRM = nullptr;
      throw EDXDrawError(fw::Format(SCannotInitialized, std::string(SDirect3DRM)));
    }
    i.D3DRM2 = Query<d3d::IDirect3DRM2>(i.D3DRM, d3d::IID_IDirect3DRM2);
    if (!i.D3DRM2) throw EDXDrawError(fw::Format(SCannotInitialized, std::string(SDirect3DRM)));
  }
  if (i.D3DRM2->CreateDeviceFromD3D(i.D3D2, i.D3DDevice2, &i.D3DRMDevice2) != DD_OK || !i.D3DRMDevice2) {
    i.D3DRMDevice2 = nullptr;
    throw EDXDrawError(fw::Format(SCannotMade, std::string("IDirect3DRMDevice2")));
  }
  i.D3DRMDevice = Query<d3d::IDirect3DRMDevice>(i.D3DRMDevice2, d3d::IID_IDirect3DRMDevice);
  if (!i.Scene) i.D3DRM->CreateFrame(nullptr, &i.Scene);
  if (!i.Camera && i.Scene) i.D3DRM->CreateFrame(i.Scene, &i.Camera);
  if (i.D3DRMDevice && i.Camera) {
    i.D3DRM->CreateViewport(i.D3DRMDevice, i.Camera, 0, 0, static_cast<DWORD>(d.surface_->Width()),
                            static_cast<DWORD>(d.surface_->Height()), &i.Viewport);
    if (i.Viewport) i.Viewport->SetBack(5000.0f);
  }
}

void TDXDrawDriver::Initialize3D() {
  TCustomDXDraw& d = *dxdraw_;
  TDXDraw3DInterfaces& i = d.d3d_;
  // A new back surface needs a new device; retained mode's object and frames stay.
  i.ReleaseDevices();

  int request = 0;
  if (d.Options().Contains(doSelectDriver)) request |= kSelectDriver;
  if (d.Options().Contains(doHardware)) request |= kRequestHardware;
  if (d.EffectiveOptions().Contains(doRetainedMode)) request |= kRequestRetainedMode;
  if (d.Options().Contains(doZBuffer)) request |= kRequestZBuffer;
  const bool version7 = d.Options().Contains(doDirectX7Mode);

  const DDCAPS& caps = d.ddraw_->DriverCaps();
  bool hardware = (d.surface_->SurfaceDesc().ddsCaps.dwCaps & DDSCAPS_VIDEOMEMORY) && (request & kRequestHardware) &&
                  (caps.dwCaps & DDCAPS_3D);
  if (!(caps.ddsCaps.dwCaps & DDSCAPS_TEXTURE)) hardware = false;

  int outcome = 0;
  try {
    if (version7) {
      i.D3D7 = Query<d3d::IDirect3D7>(d.ddraw_->IDraw7(), d3d::IID_IDirect3D7);
    } else {
      i.D3D = Query<d3d::IDirect3D>(d.ddraw_->IDraw(), d3d::IID_IDirect3D);
      i.D3D2 = Query<d3d::IDirect3D2>(d.ddraw_->IDraw(), d3d::IID_IDirect3D2);
      i.D3D3 = Query<d3d::IDirect3D3>(d.ddraw_->IDraw(), d3d::IID_IDirect3D3);
    }
    auto create = [&](const DeviceChoice& device) {
      if (version7)
        return i.D3D7->CreateDevice(device.Guid, d.surface_->ISurface7(), &i.D3DDevice7) == DD_OK && i.D3DDevice7;
      return i.D3D3->CreateDevice(device.Guid, d.surface_->ISurface4(), &i.D3DDevice3, nullptr) == DD_OK &&
             i.D3DDevice3;
    };
    DeviceChoice device = SearchDevice(version7, hardware);
    bool depth = MakeZBuffer(request, device);
    if (!create(device)) {
      // Once more without hardware.
      device = SearchDevice(version7, false);
      depth = MakeZBuffer(request, device);
      if (!create(device))
        throw EDXDrawError(fw::Format(SCannotMade, std::string(version7 ? "IDirect3DDevice7" : "IDirect3DDevice3")));
    }
    if (device.Hardware) outcome |= kRequestHardware;
    if (depth) outcome |= kRequestZBuffer;
  } catch (...) {
    RemoveZBuffer();
    i.ReleaseDevices();
    throw;
  }

  if (!version7) {
    i.D3DDevice2 = Query<d3d::IDirect3DDevice2>(i.D3DDevice3, d3d::IID_IDirect3DDevice2);
    i.D3DDevice = Query<d3d::IDirect3DDevice>(i.D3DDevice3, d3d::IID_IDirect3DDevice);
    const DWORD depthOn = (outcome & kRequestZBuffer) ? 1 : 0;
    i.D3DDevice3->SetRenderState(d3d::D3DRENDERSTATE_DITHERENABLE, 1);
    i.D3DDevice3->SetRenderState(d3d::D3DRENDERSTATE_ZENABLE, depthOn);
    i.D3DDevice3->SetRenderState(d3d::D3DRENDERSTATE_ZWRITEENABLE, depthOn);
    if (request & kRequestRetainedMode) {
      SetUpRetainedMode();
      // Retained mode is in force only with somewhere to show its scene.
      if (i.Viewport) outcome |= kRequestRetainedMode;
    }
  }

  TDXDrawOptions o = d.EffectiveOptions() - TDXDrawOptions{doRetainedMode, doHardware, doSelectDriver, doZBuffer};
  if (outcome & kRequestHardware) o += TDXDrawOptions{doHardware};
  if (outcome & kRequestRetainedMode) o += TDXDrawOptions{doRetainedMode};
  if (outcome & kRequestZBuffer) o += TDXDrawOptions{doZBuffer};
  d.now_options_ = o;
}

}  // namespace dx
