#pragma once
// The Direct3D side of a display with 3D: the interfaces the 3D set-up obtains on the back
// surface, and the choice of the display driver with the best 3D device.
#include "platform/d3d/D3DTypes.h"

namespace dx {

class TCustomDXDraw;

// Held by the display, made by its driver's 3D set-up and released by the driver.
struct TDXDraw3DInterfaces {
  d3d::IDirect3D* D3D = nullptr;
  d3d::IDirect3D2* D3D2 = nullptr;
  d3d::IDirect3D3* D3D3 = nullptr;
  d3d::IDirect3D7* D3D7 = nullptr;
  d3d::IDirect3DDevice* D3DDevice = nullptr;
  d3d::IDirect3DDevice2* D3DDevice2 = nullptr;
  d3d::IDirect3DDevice3* D3DDevice3 = nullptr;
  d3d::IDirect3DDevice7* D3DDevice7 = nullptr;
  d3d::IDirect3DRM* D3DRM = nullptr;
  d3d::IDirect3DRM2* D3DRM2 = nullptr;
  d3d::IDirect3DRMDevice* D3DRMDevice = nullptr;
  d3d::IDirect3DRMDevice2* D3DRMDevice2 = nullptr;
  d3d::IDirect3DRMFrame* Scene = nullptr;
  d3d::IDirect3DRMFrame* Camera = nullptr;
  d3d::IDirect3DRMViewport* Viewport = nullptr;

  // What every set-up makes anew: Direct3D, its devices and what retained mode built on them.
  void ReleaseDevices();
  // What lasts from one set-up to the next: the retained-mode object and its frames.
  void ReleaseRetained();
};

// Flags of the driver selection.
inline constexpr int kSelectDriver = 0x1;
inline constexpr int kSelectAnyBitCount = 0x2;
inline constexpr int kSelectHardware = 0x4;
inline constexpr int kSelectRetainedMode = 0x8;
inline constexpr int kSelectZBuffer = 0x10;

// With kSelectDriver: the display adapter with a hardware 3D device for the requested depth
// (among several, the one with the most video memory; the first of equals); without it, the
// display's own driver. Sets the display's DriverGuid and Display.BitCount (with
// kSelectAnyBitCount moved to 16, 24 or 32 when the device does not render the requested depth).
void SelectDriver(int Flags, TCustomDXDraw* DXDraw);

}  // namespace dx
