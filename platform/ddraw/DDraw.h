#pragma once
// DirectDraw in software: the entry points of the module "DDraw.dll", the virtual display
// adapters they describe, and the seam through which the primary surface reaches a screen.
//
// An adapter offers display modes, a budget of video memory, capability bits and a set of
// interface versions. Surfaces in video memory count against the budget; system-memory surfaces
// do not. Changing the display mode, or the exclusive owner losing the display, makes every
// video-memory and primary surface on that adapter lost until it is restored (contents gone).
#include <cstdint>
#include <string>
#include <vector>

#include "platform/ddraw/DDrawTypes.h"

namespace ddraw {

struct DisplayMode {
  DWORD Width = 0;
  DWORD Height = 0;
  DWORD BitCount = 0;
  DWORD RefreshRate = 60;
  bool operator==(const DisplayMode& o) const {
    return Width == o.Width && Height == o.Height && BitCount == o.BitCount;
  }
};

// A 3D device an adapter offers to Direct3D (in the order its enumeration reports them).
struct Device3DConfig {
  GUID Guid{};
  std::string Description;
  std::string Name;
  bool Hardware = false;            // rasterizes in hardware; renders only into video memory
  DWORD ColorModel = 2;             // D3DCOLOR_RGB; 1 for a monochrome (ramp) device
  DWORD RenderDepths = DDBD_16 | DDBD_24 | DDBD_32;   // the depths it renders, DDBD flags
  DWORD ZBufferDepths = DDBD_16 | DDBD_24 | DDBD_32;  // the depth buffers it uses, DDBD flags
};

struct AdapterConfig {
  // Reported by DirectDrawEnumerateA; the first adapter is the primary display driver and is
  // reported (and opened) with no identifier.
  GUID Guid{};
  std::string Description = "Primary Display Driver";
  std::string Name = "display";
  std::vector<DisplayMode> Modes;     // in the order EnumDisplayModes reports them
  DisplayMode DesktopMode{1024, 768, 32, 60};
  DWORD VideoMemory = 64u << 20;      // bytes available to surfaces in video memory
  DDCAPS DriverCaps;                  // dwSize, dwVidMemTotal and dwVidMemFree are filled in
  DDCAPS EmulationCaps;
  bool HasDirectDraw4 = true;         // IDirectDraw4 and IDirectDrawSurface4
  bool HasDirectDraw7 = true;         // DirectDrawCreateEx, IDirectDraw7, IDirectDrawSurface7
  // Offered through Direct3D. Render targets in video memory need DDCAPS_3D in DriverCaps.
  std::vector<Device3DConfig> Devices3D;
};

// A modern adapter: the classic modes from 640 x 480 to 1280 x 1024 at 8, 16, 24 and 32 bits,
// 64 MB of video memory, blits with colour keys, mirroring and stretching, palettes with vertical
// sync, gamma ramps, 3D with textures: a hardware device and the RGB and MMX software devices.
AdapterConfig DefaultAdapter();

// Replaces the adapters (the first is the primary display driver). Objects already open keep
// the adapter they were opened on.
void SetAdapters(std::vector<AdapterConfig> adapters);
void ResetAdapters();
std::vector<AdapterConfig> Adapters();

// What the primary surface shows: pixels in the mode's own format.
struct Frame {
  const std::uint8_t* Bits = nullptr;
  LONG Pitch = 0;
  DWORD Width = 0;
  DWORD Height = 0;
  DWORD BitCount = 0;
  const PALETTEENTRY* Palette = nullptr;  // 256 entries for 8 bits, else null
  const DDGAMMARAMP* Gamma = nullptr;     // null while no ramp was set
  RECT Changed;                           // the part that changed since the last frame
  bool Exclusive = false;                 // full screen: the whole frame is the screen
  HWND Window = nullptr;                  // the cooperative-level window
};

// Whoever shows frames on a real screen. Called on the thread that drew.
class Presenter {
 public:
  virtual ~Presenter() = default;
  // The primary surface changed: a flip, a blit or fill into it, an unlock or a released DC.
  virtual void Present(const Frame& frame) = 0;
  // The display mode changed, or exclusive mode began or ended.
  virtual void DisplayModeChanged(const DisplayMode& mode, bool exclusive, HWND window) {
    (void)mode, (void)exclusive, (void)window;
  }
  // Refreshes per second of the screen frames are shown on; 0 when the window system does not
  // say (the adapter's mode then gives the rate).
  virtual double ScreenRefreshRate() { return 0; }
  // The visible parts of a window's client area in screen coordinates, for clippers tied to
  // windows. False when the window is unknown: the clipper then limits nothing but the surface.
  virtual bool VisibleRects(HWND window, std::vector<RECT>& rects) {
    (void)window, (void)rects;
    return false;
  }
};

// Not owned; null for none.
void SetPresenter(Presenter* presenter);

// The application owning the window became active or inactive. An exclusive owner that becomes
// inactive loses the display: the desktop mode comes back and its surfaces are lost; becoming
// active again brings its mode back (surfaces stay lost until restored).
void ActivateApp(HWND window, bool active);

// Makes "DDraw.dll" with DirectDrawCreate, DirectDrawCreateEx and DirectDrawEnumerateA
// loadable. Called once at start-up by builtins::InstallLibraries;
// calling it again does nothing.
void RegisterModule();

HRESULT DirectDrawCreate(GUID* driver, IDirectDraw** directDraw, IUnknown* outer);
HRESULT DirectDrawCreateEx(GUID* driver, void** directDraw, REFIID iid, IUnknown* outer);
HRESULT DirectDrawEnumerateA(LPDDENUMCALLBACKA callback, void* context);

}  // namespace ddraw
