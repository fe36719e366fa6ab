#pragma once
// The objects behind the Direct3D and retained-mode interfaces. As with DirectDraw, one object
// implements every version of its interface and all of them share one reference count.
#include <array>
#include <vector>

#include "platform/d3d/D3D.h"
#include "platform/ddraw/DDrawInternal.h"
#include "platform/base/RefCounted.h"

namespace d3d::detail {

using ddraw::detail::DirectDrawObject;
using ddraw::detail::SurfaceObject;

int& LiveCount();

// The objects of this module, counted in its live count.
template <class... Interfaces>
using Object = win::ComObject<&LiveCount, Interfaces...>;

class DeviceObject;

// Direct3D as part of a DirectDraw object: reached by QueryInterface on it, counted with it, and
// destroyed with it. An object made by DirectDrawCreateEx offers IDirect3D7 only; the others
// offer IDirect3D up to IDirect3D3.
class Direct3DObject final : public ddraw::detail::Extension,
                             public win::ComPart<&LiveCount, IDirect3D, IDirect3D2, IDirect3D3, IDirect3D7> {
 public:
  explicit Direct3DObject(DirectDrawObject& outer);
  ~Direct3DObject() override;

  HRESULT Query(REFIID riid, void** object) override;
  HRESULT QueryInterface(REFIID riid, void** object) override;

  HRESULT Initialize(REFIID riid) override;
  HRESULT EnumDevices(LPD3DENUMDEVICESCALLBACK callback, void* context) override;
  HRESULT EnumDevices(LPD3DENUMDEVICESCALLBACK7 callback, void* context) override;
  HRESULT CreateDevice(REFCLSID device, IDirectDrawSurface* surface, IDirect3DDevice2** out) override;
  HRESULT CreateDevice(REFCLSID device, IDirectDrawSurface4* surface, IDirect3DDevice3** out, IUnknown* outer) override;
  HRESULT CreateDevice(REFCLSID device, IDirectDrawSurface7* surface, IDirect3DDevice7** out) override;

  static bool IsOwnIdentifier(REFIID riid);
  bool Offers(REFIID riid) const;
  static Direct3DObject* From(IDirect3D* p) { return static_cast<Direct3DObject*>(p); }
  static Direct3DObject* From(IDirect3D2* p) { return static_cast<Direct3DObject*>(p); }
  IDirect3D* V1() { return static_cast<IDirect3D*>(this); }
  IDirect3D2* V2() { return static_cast<IDirect3D2*>(this); }
  IDirect3D3* V3() { return static_cast<IDirect3D3*>(this); }
  IDirect3D7* V7() { return static_cast<IDirect3D7*>(this); }
  DirectDrawObject& Outer() const { return outer_; }

 private:
  HRESULT CreateDeviceImpl(REFCLSID device, SurfaceObject* surface, bool version7, DeviceObject** out);

  DirectDrawObject& outer_;
};

// A device rendering into one surface. It holds the surface and the Direct3D object (and with
// it the DirectDraw object).
class DeviceObject final : public Object<IDirect3DDevice, IDirect3DDevice2, IDirect3DDevice3, IDirect3DDevice7> {
 public:
  DeviceObject(Direct3DObject& direct3D, const ddraw::Device3DConfig& config, SurfaceObject& target, bool version7);
  ~DeviceObject() override;

  HRESULT QueryInterface(REFIID riid, void** object) override;

  HRESULT GetCaps(D3DDEVICEDESC* hardware, D3DDEVICEDESC* software) override;
  HRESULT GetCaps(D3DDEVICEDESC7* desc) override;
  HRESULT GetDirect3D(IDirect3D** out) override;
  HRESULT GetDirect3D(IDirect3D2** out) override;
  HRESULT GetDirect3D(IDirect3D3** out) override;
  HRESULT GetDirect3D(IDirect3D7** out) override;
  HRESULT GetRenderTarget(IDirectDrawSurface** out) override;
  HRESULT GetRenderTarget(IDirectDrawSurface4** out) override;
  HRESULT GetRenderTarget(IDirectDrawSurface7** out) override;
  HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) override;
  HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;

  static DeviceObject* From(IDirect3DDevice* p) { return static_cast<DeviceObject*>(p); }
  static DeviceObject* From(IDirect3DDevice2* p) { return static_cast<DeviceObject*>(p); }
  IDirect3DDevice* V1() { return static_cast<IDirect3DDevice*>(this); }
  IDirect3DDevice2* V2() { return static_cast<IDirect3DDevice2*>(this); }
  IDirect3DDevice3* V3() { return static_cast<IDirect3DDevice3*>(this); }
  IDirect3DDevice7* V7() { return static_cast<IDirect3DDevice7*>(this); }
  Direct3DObject& Direct3D() const { return direct3D_; }
  SurfaceObject& Target() const { return target_; }

 private:
  Direct3DObject& direct3D_;
  ddraw::Device3DConfig config_;
  SurfaceObject& target_;
  bool version7_;
  std::array<DWORD, D3DRENDERSTATE_BOUND> states_{};
};

// Descriptions of a configured device.
void DescribeDevice(const ddraw::Device3DConfig& config, D3DDEVICEDESC& hardware, D3DDEVICEDESC& software);
void DescribeDevice(const ddraw::Device3DConfig& config, D3DDEVICEDESC7& desc);

}  // namespace d3d::detail
