#pragma once
// What tests reach inside Direct3D for: the module's live objects and failures on demand of
// operations that no adapter description can make fail. Not for programs: no public header
// includes this one.
#include "platform/d3d/D3D.h"

namespace d3d {

// Objects of this module still alive (Direct3D objects, devices, retained-mode objects).
int LiveObjectCount();

// Retained-mode operations that fail (with a retained-mode error) until reset.
struct RetainedModeFaults {
  bool Create = false;    // Direct3DRMCreate
  bool Device = false;    // CreateDeviceFromD3D
  bool Frame = false;     // CreateFrame
  bool Viewport = false;  // CreateViewport
};
void SetRetainedModeFaults(const RetainedModeFaults& faults);

// CreateDevice for the 3D device `device` (of any adapter) fails with `result` once its own
// checks have passed; D3D_OK makes it succeed again. In force until changed or reset.
void SetDeviceCreateResult(REFCLSID device, HRESULT result);
void ResetDeviceCreateResults();

}  // namespace d3d
