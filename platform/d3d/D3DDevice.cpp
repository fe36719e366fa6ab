// Direct3D on the DirectDraw object: device enumeration in both styles, device creation on a
// render-target surface, and devices that keep their render states.
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "platform/d3d/D3DInternal.h"
#include "platform/d3d/D3DTesting.h"

namespace ddraw::detail {

HRESULT QueryExtension(DirectDrawObject& outer, std::unique_ptr<Extension>& extension, REFIID riid, void** object) {
  *object = nullptr;
  if (!d3d::detail::Direct3DObject::IsOwnIdentifier(riid)) return win::E_NOINTERFACE;
  if (!extension) extension = std::make_unique<d3d::detail::Direct3DObject>(outer);
  return extension->Query(riid, object);
}

}  // namespace ddraw::detail

namespace d3d::detail {

using namespace ddraw;

int& LiveCount() {
  static int count = 0;
  return count;
}

namespace {

constexpr DWORD kSoftwareCaps = D3DDEVCAPS_FLOATTLVERTEX | D3DDEVCAPS_EXECUTESYSTEMMEMORY |
                                D3DDEVCAPS_TLVERTEXSYSTEMMEMORY | D3DDEVCAPS_TEXTURESYSTEMMEMORY |
                                D3DDEVCAPS_DRAWPRIMTLVERTEX;
constexpr DWORD kHardwareCaps = D3DDEVCAPS_FLOATTLVERTEX | D3DDEVCAPS_TEXTUREVIDEOMEMORY |
                                D3DDEVCAPS_DRAWPRIMTLVERTEX | D3DDEVCAPS_CANRENDERAFTERFLIP |
                                D3DDEVCAPS_DRAWPRIMITIVES2 | D3DDEVCAPS_HWRASTERIZATION;

D3DPRIMCAPS PrimCaps() {
  D3DPRIMCAPS p;
  p.dwSize = sizeof(D3DPRIMCAPS);
  p.dwZCmpCaps = 0xFF;        // every comparison
  p.dwShadeCaps = 0x1FFFFF;   // flat and Gouraud in every colour channel
  p.dwTextureCaps = 0x1;      // perspective correction
  return p;
}

// Version 7 has no monochrome rasterizer.
bool OfferedToVersion7(const Device3DConfig& c) { return (c.ColorModel & D3DCOLOR_RGB) != 0; }

const Device3DConfig* FindDevice(const AdapterConfig& adapter, REFCLSID guid, bool version7) {
  for (const Device3DConfig& c : adapter.Devices3D)
    if (c.Guid == guid) return !version7 || OfferedToVersion7(c) ? &c : nullptr;
  return nullptr;
}

// Failures CreateDevice reports by device, once its own checks have passed.
std::vector<std::pair<GUID, HRESULT>> g_create_results;

HRESULT CreateResult(REFCLSID guid) {
  for (const auto& [device, result] : g_create_results)
    if (device == guid) return result;
  return D3D_OK;
}

}  // namespace

void DescribeDevice(const Device3DConfig& config, D3DDEVICEDESC& hardware, D3DDEVICEDESC& software) {
  D3DDEVICEDESC filled;
  filled.dwSize = sizeof(D3DDEVICEDESC);
  filled.dwFlags = D3DDD_COLORMODEL | D3DDD_DEVCAPS | D3DDD_DEVICERENDERBITDEPTH | D3DDD_DEVICEZBUFFERBITDEPTH;
  filled.dcmColorModel = config.ColorModel;
  filled.dwDevCaps = config.Hardware ? kHardwareCaps : kSoftwareCaps;
  filled.dtcTransformCaps.dwSize = sizeof(D3DTRANSFORMCAPS);
  filled.dtcTransformCaps.dwCaps = 0x1;  // clipping
  filled.bClipping = 1;
  filled.dlcLightingCaps.dwSize = sizeof(D3DLIGHTINGCAPS);
  filled.dpcLineCaps = PrimCaps();
  filled.dpcTriCaps = PrimCaps();
  filled.dwDeviceRenderBitDepth = config.RenderDepths;
  filled.dwDeviceZBufferBitDepth = config.ZBufferDepths;
  filled.dwMinTextureWidth = filled.dwMinTextureHeight = 1;
  filled.dwMaxTextureWidth = filled.dwMaxTextureHeight = 2048;
  filled.wMaxTextureBlendStages = filled.wMaxSimultaneousTextures = 1;
  // The description that does not apply is empty: no colour model.
  D3DDEVICEDESC empty;
  empty.dwSize = sizeof(D3DDEVICEDESC);
  empty.dtcTransformCaps.dwSize = sizeof(D3DTRANSFORMCAPS);
  empty.dlcLightingCaps.dwSize = sizeof(D3DLIGHTINGCAPS);
  empty.dpcLineCaps.dwSize = empty.dpcTriCaps.dwSize = sizeof(D3DPRIMCAPS);
  hardware = config.Hardware ? filled : empty;
  software = config.Hardware ? empty : filled;
}

void DescribeDevice(const Device3DConfig& config, D3DDEVICEDESC7& desc) {
  desc = D3DDEVICEDESC7{};
  desc.dwDevCaps = config.Hardware ? kHardwareCaps : kSoftwareCaps;
  desc.dpcLineCaps = PrimCaps();
  desc.dpcTriCaps = PrimCaps();
  desc.dwDeviceRenderBitDepth = config.RenderDepths;
  desc.dwDeviceZBufferBitDepth = config.ZBufferDepths;
  desc.dwMinTextureWidth = desc.dwMinTextureHeight = 1;
  desc.dwMaxTextureWidth = desc.dwMaxTextureHeight = 2048;
  desc.wMaxTextureBlendStages = desc.wMaxSimultaneousTextures = 1;
  desc.dwMaxActiveLights = 8;
  desc.deviceGUID = config.Guid;
}

// ---------------------------------------------------------------------------------------------
// Direct3DObject

Direct3DObject::Direct3DObject(DirectDrawObject& outer) : ComPart(*outer.V1()), outer_(outer) {}

Direct3DObject::~Direct3DObject() = default;

bool Direct3DObject::IsOwnIdentifier(REFIID riid) {
  return riid == IID_IDirect3D || riid == IID_IDirect3D2 || riid == IID_IDirect3D3 || riid == IID_IDirect3D7;
}

bool Direct3DObject::Offers(REFIID riid) const {
  if (riid == IID_IDirect3D7) return outer_.CreatedEx();
  return IsOwnIdentifier(riid) && !outer_.CreatedEx();
}

HRESULT Direct3DObject::Query(REFIID riid, void** object) {
  if (!object) return DDERR_INVALIDPARAMS;
  *object = nullptr;
  if (!Offers(riid)) return win::E_NOINTERFACE;
  if (riid == IID_IDirect3D) *object = V1();
  else if (riid == IID_IDirect3D2) *object = V2();
  else if (riid == IID_IDirect3D3) *object = V3();
  else *object = V7();
  AddRef();
  return D3D_OK;
}

HRESULT Direct3DObject::QueryInterface(REFIID riid, void** object) {
  // The Direct3D interfaces are the DirectDraw object's: everything else is asked of it.
  if (IsOwnIdentifier(riid)) return Query(riid, object);
  return outer_.QueryInterface(riid, object);
}

HRESULT Direct3DObject::Initialize(REFIID) { return ddraw::DDERR_ALREADYINITIALIZED; }

HRESULT Direct3DObject::EnumDevices(LPD3DENUMDEVICESCALLBACK callback, void* context) {
  if (!callback) return DDERR_INVALIDPARAMS;
  // Copied first: a callback may reconfigure the adapters.
  const std::vector<Device3DConfig> devices = outer_.Adapter()->Config.Devices3D;
  for (const Device3DConfig& c : devices) {
    GUID guid = c.Guid;
    std::string description = c.Description, name = c.Name;
    D3DDEVICEDESC hardware, software;
    DescribeDevice(c, hardware, software);
    if (callback(&guid, description.data(), name.data(), &hardware, &software, context) ==
        static_cast<HRESULT>(D3DENUMRET_CANCEL))
      break;
  }
  return D3D_OK;
}

HRESULT Direct3DObject::EnumDevices(LPD3DENUMDEVICESCALLBACK7 callback, void* context) {
  if (!callback) return DDERR_INVALIDPARAMS;
  const std::vector<Device3DConfig> devices = outer_.Adapter()->Config.Devices3D;
  for (const Device3DConfig& c : devices) {
    if (!OfferedToVersion7(c)) continue;
    std::string description = c.Description, name = c.Name;
    D3DDEVICEDESC7 desc;
    DescribeDevice(c, desc);
    if (callback(description.data(), name.data(), &desc, context) == static_cast<HRESULT>(D3DENUMRET_CANCEL)) break;
  }
  return D3D_OK;
}

HRESULT Direct3DObject::CreateDeviceImpl(REFCLSID device, SurfaceObject* surface, bool version7, DeviceObject** out) {
  *out = nullptr;
  const Device3DConfig* config = FindDevice(outer_.Adapter()->Config, device, version7);
  if (!config) return D3DERR_INVALID_DEVICE;
  if (!surface) return DDERR_INVALIDPARAMS;
  // A device renders only into surfaces of its own DirectDraw object made as render targets.
  if (surface->Owner() != &outer_) return DDERR_INVALIDOBJECT;
  const DDSURFACEDESC2& d = surface->Desc();
  if (!(d.ddsCaps.dwCaps & DDSCAPS_3DDEVICE) || (d.ddsCaps.dwCaps & DDSCAPS_ZBUFFER)) return DDERR_INVALIDCAPS;
  if (surface->Lost()) return DDERR_SURFACELOST;
  if (!(config->RenderDepths & ddraw::DepthToFlag(d.ddpfPixelFormat.dwRGBBitCount))) return DDERR_INVALIDPIXELFORMAT;
  if (config->Hardware && !surface->InVideoMemory()) return DDERR_INVALIDCAPS;
  if (const HRESULT fault = CreateResult(config->Guid); fault != D3D_OK) return fault;
  *out = new DeviceObject(*this, *config, *surface, version7);
  return D3D_OK;
}

HRESULT Direct3DObject::CreateDevice(REFCLSID device, IDirectDrawSurface* surface, IDirect3DDevice2** out) {
  if (!out) return DDERR_INVALIDPARAMS;
  *out = nullptr;
  DeviceObject* made = nullptr;
  const HRESULT hr = CreateDeviceImpl(device, surface ? SurfaceObject::From(surface) : nullptr, false, &made);
  if (made) *out = made->V2();
  return hr;
}

HRESULT Direct3DObject::CreateDevice(REFCLSID device, IDirectDrawSurface4* surface, IDirect3DDevice3** out,
                                     IUnknown* outer) {
  if (!out) return DDERR_INVALIDPARAMS;
  *out = nullptr;
  if (outer) return win::CLASS_E_NOAGGREGATION;
  DeviceObject* made = nullptr;
  const HRESULT hr = CreateDeviceImpl(device, surface ? SurfaceObject::From(surface) : nullptr, false, &made);
  if (made) *out = made->V3();
  return hr;
}

HRESULT Direct3DObject::CreateDevice(REFCLSID device, IDirectDrawSurface7* surface, IDirect3DDevice7** out) {
  if (!out) return DDERR_INVALIDPARAMS;
  *out = nullptr;
  DeviceObject* made = nullptr;
  const HRESULT hr = CreateDeviceImpl(device, surface ? SurfaceObject::From(surface) : nullptr, true, &made);
  if (made) *out = made->V7();
  return hr;
}

// ---------------------------------------------------------------------------------------------
// DeviceObject

DeviceObject::DeviceObject(Direct3DObject& direct3D, const Device3DConfig& config, SurfaceObject& target,
                           bool version7)
    : direct3D_(direct3D), config_(config), target_(target), version7_(version7) {
  direct3D_.AddRef();
  target_.AddRef();
  // Depth testing is on from the start when the target has a depth buffer attached.
  DDSCAPS2 want;
  want.dwCaps = DDSCAPS_ZBUFFER;
  IDirectDrawSurface7* zbuffer = nullptr;
  const bool depth = target_.GetAttachedSurface(&want, &zbuffer) == DD_OK && zbuffer;
  if (zbuffer) zbuffer->Release();
  states_[D3DRENDERSTATE_TEXTUREPERSPECTIVE] = 1;
  states_[D3DRENDERSTATE_ZENABLE] = depth ? D3DZB_TRUE : D3DZB_FALSE;
  states_[D3DRENDERSTATE_FILLMODE] = D3DFILL_SOLID;
  states_[D3DRENDERSTATE_SHADEMODE] = D3DSHADE_GOURAUD;
  states_[D3DRENDERSTATE_ZWRITEENABLE] = 1;
  states_[D3DRENDERSTATE_CULLMODE] = D3DCULL_CCW;
  states_[D3DRENDERSTATE_ZFUNC] = D3DCMP_LESSEQUAL;
  states_[D3DRENDERSTATE_LIGHTING] = 1;
}

DeviceObject::~DeviceObject() {
  target_.Release();
  direct3D_.Release();
}

HRESULT DeviceObject::QueryInterface(REFIID riid, void** object) {
  if (!object) return DDERR_INVALIDPARAMS;
  *object = nullptr;
  if (riid == IID_IUnknown) {
    *object = version7_ ? static_cast<void*>(V7()) : static_cast<void*>(V1());
  } else if (version7_) {
    if (riid == IID_IDirect3DDevice7) *object = V7();
  } else if (riid == IID_IDirect3DDevice) {
    *object = V1();
  } else if (riid == IID_IDirect3DDevice2) {
    *object = V2();
  } else if (riid == IID_IDirect3DDevice3) {
    *object = V3();
  }
  if (!*object) return win::E_NOINTERFACE;
  AddRef();
  return D3D_OK;
}

HRESULT DeviceObject::GetCaps(D3DDEVICEDESC* hardware, D3DDEVICEDESC* software) {
  if (!hardware || !software || hardware->dwSize != sizeof(D3DDEVICEDESC) || software->dwSize != sizeof(D3DDEVICEDESC))
    return DDERR_INVALIDPARAMS;
  DescribeDevice(config_, *hardware, *software);
  return D3D_OK;
}

HRESULT DeviceObject::GetCaps(D3DDEVICEDESC7* desc) {
  if (!desc) return DDERR_INVALIDPARAMS;
  DescribeDevice(config_, *desc);
  return D3D_OK;
}

namespace {
template <class T>
HRESULT Hand(T* p, T** out, DWORD (*addRef)(T*)) {
  if (!out) return DDERR_INVALIDPARAMS;
  addRef(p);
  *out = p;
  return D3D_OK;
}
}  // namespace

HRESULT DeviceObject::GetDirect3D(IDirect3D** out) {
  return Hand<IDirect3D>(direct3D_.V1(), out, [](IDirect3D* p) { return p->AddRef(); });
}
HRESULT DeviceObject::GetDirect3D(IDirect3D2** out) {
  return Hand<IDirect3D2>(direct3D_.V2(), out, [](IDirect3D2* p) { return p->AddRef(); });
}
HRESULT DeviceObject::GetDirect3D(IDirect3D3** out) {
  return Hand<IDirect3D3>(direct3D_.V3(), out, [](IDirect3D3* p) { return p->AddRef(); });
}
HRESULT DeviceObject::GetDirect3D(IDirect3D7** out) {
  return Hand<IDirect3D7>(direct3D_.V7(), out, [](IDirect3D7* p) { return p->AddRef(); });
}
HRESULT DeviceObject::GetRenderTarget(IDirectDrawSurface** out) {
  return Hand<IDirectDrawSurface>(target_.V1(), out, [](IDirectDrawSurface* p) { return p->AddRef(); });
}
HRESULT DeviceObject::GetRenderTarget(IDirectDrawSurface4** out) {
  return Hand<IDirectDrawSurface4>(target_.V4(), out, [](IDirectDrawSurface4* p) { return p->AddRef(); });
}
HRESULT DeviceObject::GetRenderTarget(IDirectDrawSurface7** out) {
  return Hand<IDirectDrawSurface7>(target_.V7(), out, [](IDirectDrawSurface7* p) { return p->AddRef(); });
}

HRESULT DeviceObject::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) {
  if (!value || state == 0 || state >= D3DRENDERSTATE_BOUND) return DDERR_INVALIDPARAMS;
  *value = states_[state];
  return D3D_OK;
}

HRESULT DeviceObject::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
  if (state == 0 || state >= D3DRENDERSTATE_BOUND) return DDERR_INVALIDPARAMS;
  states_[state] = value;
  return D3D_OK;
}

}  // namespace d3d::detail

namespace d3d {

void SetDeviceCreateResult(REFCLSID device, HRESULT result) {
  auto& results = detail::g_create_results;
  std::erase_if(results, [&](const auto& r) { return r.first == device; });
  if (result != D3D_OK) results.emplace_back(device, result);
}

void ResetDeviceCreateResults() { detail::g_create_results.clear(); }

}  // namespace d3d
