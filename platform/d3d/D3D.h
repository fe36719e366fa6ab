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

}  // namespace d3d
