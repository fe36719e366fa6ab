#pragma once
// Direct3D in software: the Direct3D interfaces that the DirectDraw object offers (devices come
// from the adapter's description, see ddraw::AdapterConfig::Devices3D), and retained mode, the
// module "D3DRM.dll". Devices keep render states; nothing is drawn.
#include "platform/d3d/D3DTypes.h"

namespace d3d {

// Makes "D3DRM.dll" with Direct3DRMCreate loadable. Called once at start-up by
// builtins::InstallLibraries; calling it again does nothing.
void RegisterModule();

HRESULT Direct3DRMCreate(IDirect3DRM** out);

// Tests: objects of this module still alive (Direct3D objects, devices, retained-mode objects).
int LiveObjectCount();

// Tests: retained-mode operations that fail (with a retained-mode error) until reset.
struct RetainedModeFaults {
  bool Create = false;    // Direct3DRMCreate
  bool Device = false;    // CreateDeviceFromD3D
  bool Frame = false;     // CreateFrame
  bool Viewport = false;  // CreateViewport
};
void SetRetainedModeFaults(const RetainedModeFaults& faults);

}  // namespace d3d
