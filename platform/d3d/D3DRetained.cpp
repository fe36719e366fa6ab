// Retained mode: the object made by Direct3DRMCreate, devices over Direct3D devices, a frame
// hierarchy and viewports. Nothing is rendered; the objects keep their settings and links.
#include <algorithm>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/d3d/D3DInternal.h"
#include "platform/d3d/D3DTesting.h"
#include "platform/kernel/Library.h"

namespace d3d {

namespace detail {

namespace {

RetainedModeFaults g_faults;

class FrameObject final : public Object<IDirect3DRMFrame, IDirect3DRMFrame2> {
 public:
  explicit FrameObject(FrameObject* parent) : parent_(parent) {
    // A parent holds its children.
    if (parent_) {
      AddRefImpl();
      parent_->children_.push_back(this);
    }
  }
  ~FrameObject() override {
    for (FrameObject* child : std::exchange(children_, {})) {
      child->parent_ = nullptr;
      child->ReleaseImpl();
    }
  }

  HRESULT QueryInterface(REFIID riid, void** object) override {
    if (!object) return D3DRMERR_BADVALUE;
    *object = nullptr;
    if (riid == IID_IUnknown || riid == IID_IDirect3DRMFrame) *object = V1();
    else if (riid == IID_IDirect3DRMFrame2) *object = V2();
    else return win::E_NOINTERFACE;
    AddRefImpl();
    return D3D_OK;
  }

  HRESULT GetParent(IDirect3DRMFrame** out) override {
    if (!out) return D3DRMERR_BADVALUE;
    *out = parent_ ? parent_->V1() : nullptr;
    if (parent_) parent_->AddRefImpl();
    return D3D_OK;
  }
  HRESULT GetScene(IDirect3DRMFrame** out) override {
    if (!out) return D3DRMERR_BADVALUE;
    FrameObject* root = this;
    while (root->parent_) root = root->parent_;
    root->AddRefImpl();
    *out = root->V1();
    return D3D_OK;
  }

  static FrameObject* From(IDirect3DRMFrame* p) { return static_cast<FrameObject*>(p); }
  IDirect3DRMFrame* V1() { return static_cast<IDirect3DRMFrame*>(this); }
  IDirect3DRMFrame2* V2() { return static_cast<IDirect3DRMFrame2*>(this); }

 private:
  FrameObject* parent_;
  std::vector<FrameObject*> children_;  // held
};

class RMDeviceObject final : public Object<IDirect3DRMDevice, IDirect3DRMDevice2> {
 public:
  explicit RMDeviceObject(DeviceObject& device) : device_(device) { device_.AddRef(); }
  ~RMDeviceObject() override { device_.Release(); }

  HRESULT QueryInterface(REFIID riid, void** object) override {
    if (!object) return D3DRMERR_BADVALUE;
    *object = nullptr;
    if (riid == IID_IUnknown || riid == IID_IDirect3DRMDevice) *object = V1();
    else if (riid == IID_IDirect3DRMDevice2) *object = V2();
    else return win::E_NOINTERFACE;
    AddRefImpl();
    return D3D_OK;
  }

  DWORD GetWidth() override { return device_.Target().Desc().dwWidth; }
  DWORD GetHeight() override { return device_.Target().Desc().dwHeight; }
  HRESULT GetDirect3DDevice(IDirect3DDevice** out) override {
    if (!out) return D3DRMERR_BADVALUE;
    device_.AddRef();
    *out = device_.V1();
    return D3D_OK;
  }
  HRESULT GetDirect3DDevice2(IDirect3DDevice2** out) override {
    if (!out) return D3DRMERR_BADVALUE;
    device_.AddRef();
    *out = device_.V2();
    return D3D_OK;
  }

  static RMDeviceObject* From(IDirect3DRMDevice* p) { return static_cast<RMDeviceObject*>(p); }
  IDirect3DRMDevice* V1() { return static_cast<IDirect3DRMDevice*>(this); }
  IDirect3DRMDevice2* V2() { return static_cast<IDirect3DRMDevice2*>(this); }

 private:
  DeviceObject& device_;  // held
};

class ViewportObject final : public Object<IDirect3DRMViewport> {
 public:
  ViewportObject(RMDeviceObject& device, FrameObject& camera, long x, long y, DWORD width, DWORD height)
      : device_(device), camera_(camera), x_(x), y_(y), width_(width), height_(height) {
    device_.AddRef();
    camera_.AddRef();
  }
  ~ViewportObject() override {
    camera_.Release();
    device_.Release();
  }

  HRESULT QueryInterface(REFIID riid, void** object) override {
    if (!object) return D3DRMERR_BADVALUE;
    *object = nullptr;
    if (!(riid == IID_IUnknown || riid == IID_IDirect3DRMViewport)) return win::E_NOINTERFACE;
    *object = static_cast<IDirect3DRMViewport*>(this);
    AddRefImpl();
    return D3D_OK;
  }

  // The clipping planes: 0 < front < back.
  HRESULT SetFront(D3DVALUE value) override {
    if (!(value > 0) || !(value < back_)) return D3DRMERR_BADVALUE;
    front_ = value;
    return D3D_OK;
  }
  HRESULT SetBack(D3DVALUE value) override {
    if (!(value > front_)) return D3DRMERR_BADVALUE;
    back_ = value;
    return D3D_OK;
  }
  D3DVALUE GetFront() override { return front_; }
  D3DVALUE GetBack() override { return back_; }
  long GetX() override { return x_; }
  long GetY() override { return y_; }
  DWORD GetWidth() override { return width_; }
  DWORD GetHeight() override { return height_; }
  HRESULT GetCamera(IDirect3DRMFrame** out) override {
    if (!out) return D3DRMERR_BADVALUE;
    camera_.AddRef();
    *out = camera_.V1();
    return D3D_OK;
  }
  HRESULT GetDevice(IDirect3DRMDevice** out) override {
    if (!out) return D3DRMERR_BADVALUE;
    device_.AddRef();
    *out = device_.V1();
    return D3D_OK;
  }

 private:
  RMDeviceObject& device_;  // held
  FrameObject& camera_;     // held
  long x_, y_;
  DWORD width_, height_;
  D3DVALUE front_ = 1.0f;
  D3DVALUE back_ = 100.0f;
};

class RetainedModeObject final : public Object<IDirect3DRM, IDirect3DRM2> {
 public:
  HRESULT QueryInterface(REFIID riid, void** object) override {
    if (!object) return D3DRMERR_BADVALUE;
    *object = nullptr;
    if (riid == IID_IUnknown || riid == IID_IDirect3DRM) *object = static_cast<IDirect3DRM*>(this);
    else if (riid == IID_IDirect3DRM2) *object = static_cast<IDirect3DRM2*>(this);
    else return win::E_NOINTERFACE;
    AddRefImpl();
    return D3D_OK;
  }

  HRESULT CreateFrame(IDirect3DRMFrame* parent, IDirect3DRMFrame** out) override {
    FrameObject* made = nullptr;
    const HRESULT hr = MakeFrame(parent, out, &made);
    if (made) *out = made->V1();
    return hr;
  }
  HRESULT CreateFrame(IDirect3DRMFrame* parent, IDirect3DRMFrame2** out) override {
    FrameObject* made = nullptr;
    const HRESULT hr = MakeFrame(parent, out, &made);
    if (made) *out = made->V2();
    return hr;
  }
  HRESULT CreateDeviceFromD3D(IDirect3D* direct3D, IDirect3DDevice* device, IDirect3DRMDevice** out) override {
    RMDeviceObject* made = nullptr;
    const HRESULT hr = MakeDevice(direct3D ? Direct3DObject::From(direct3D) : nullptr,
                                  device ? DeviceObject::From(device) : nullptr, out, &made);
    if (made) *out = made->V1();
    return hr;
  }
  HRESULT CreateDeviceFromD3D(IDirect3D2* direct3D, IDirect3DDevice2* device, IDirect3DRMDevice2** out) override {
    RMDeviceObject* made = nullptr;
    const HRESULT hr = MakeDevice(direct3D ? Direct3DObject::From(direct3D) : nullptr,
                                  device ? DeviceObject::From(device) : nullptr, out, &made);
    if (made) *out = made->V2();
    return hr;
  }
  HRESULT CreateViewport(IDirect3DRMDevice* device, IDirect3DRMFrame* camera, DWORD x, DWORD y, DWORD width,
                         DWORD height, IDirect3DRMViewport** out) override {
    if (!out) return D3DRMERR_BADVALUE;
    *out = nullptr;
    if (!device || !camera) return D3DRMERR_BADOBJECT;
    RMDeviceObject* d = RMDeviceObject::From(device);
    if (width == 0 || height == 0 || x > d->GetWidth() || y > d->GetHeight() || width > d->GetWidth() - x ||
        height > d->GetHeight() - y)
      return D3DRMERR_BADVALUE;
    if (g_faults.Viewport) return D3DRMERR_BADOBJECT;
    *out = new ViewportObject(*d, *FrameObject::From(camera), static_cast<long>(x), static_cast<long>(y), width,
                              height);
    return D3D_OK;
  }

 private:
  template <class Out>
  HRESULT MakeFrame(IDirect3DRMFrame* parent, Out** out, FrameObject** made) {
    if (!out) return D3DRMERR_BADVALUE;
    *out = nullptr;
    if (g_faults.Frame) return D3DRMERR_BADOBJECT;
    *made = new FrameObject(parent ? FrameObject::From(parent) : nullptr);
    return D3D_OK;
  }
  template <class Out>
  HRESULT MakeDevice(Direct3DObject* direct3D, DeviceObject* device, Out** out, RMDeviceObject** made) {
    if (!out) return D3DRMERR_BADVALUE;
    *out = nullptr;
    if (!direct3D || !device) return D3DRMERR_BADOBJECT;
    // The device must be one of that Direct3D object's.
    if (&device->Direct3D() != direct3D) return D3DRMERR_BADDEVICE;
    if (g_faults.Device) return D3DRMERR_BADDEVICE;
    *made = new RMDeviceObject(*device);
    return D3D_OK;
  }
};

}  // namespace

}  // namespace detail

HRESULT Direct3DRMCreate(IDirect3DRM** out) {
  if (!out) return D3DRMERR_BADVALUE;
  *out = nullptr;
  if (detail::g_faults.Create) return D3DRMERR_BADOBJECT;
  *out = new detail::RetainedModeObject();
  return D3D_OK;
}

int LiveObjectCount() { return detail::LiveCount(); }

void SetRetainedModeFaults(const RetainedModeFaults& faults) { detail::g_faults = faults; }

void RegisterModule() {
  static std::once_flag once;
  std::call_once(once, [] {
    kernel::RegisterModule("D3DRM.dll",
                           {{"Direct3DRMCreate", reinterpret_cast<kernel::FARPROC>(&Direct3DRMCreate)}});
  });
}

}  // namespace d3d
