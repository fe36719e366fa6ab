// The adapters: their table and default configuration, the pixel memory of surfaces and its
// video-memory budget, display-mode changes, the display's refresh, presentation to the screen,
// and the module's count of live objects.
#include <cmath>
#include <cstring>
#include <new>

#include "platform/ddraw/DDrawInternal.h"
#include "platform/ddraw/DDrawPresent.h"
#include "platform/ddraw/DDrawTesting.h"
#include "platform/mm/MMSystem.h"

namespace ddraw {

namespace detail {

int& LiveCount() {
  static int count = 0;
  return count;
}

int& LiveCount(ObjectKind kind) {
  static int counts[static_cast<int>(ObjectKind::Count)] = {};
  return counts[static_cast<int>(kind)];
}

namespace {

// Largest side of a surface, and the most memory one surface may take.
constexpr DWORD kMaxSide = 16384;
constexpr std::size_t kMaxBytes = std::size_t{1} << 30;

Presenter* g_presenter = nullptr;

struct AdapterTable {
  std::vector<std::shared_ptr<AdapterState>> Adapters;
};

std::shared_ptr<AdapterState> MakeState(const AdapterConfig& config, bool primary) {
  auto s = std::make_shared<AdapterState>();
  s->Config = config;
  s->IsPrimaryDriver = primary;
  s->Mode = config.DesktopMode;
  return s;
}

AdapterTable& Table() {
  static AdapterTable table = [] {
    AdapterTable t;
    t.Adapters.push_back(MakeState(DefaultAdapter(), true));
    return t;
  }();
  return table;
}

}  // namespace

std::vector<std::shared_ptr<AdapterState>>& AdapterList() { return Table().Adapters; }

void EnsureScreen(AdapterState& a) {
  if (a.Screen) return;
  HRESULT hr = DD_OK;
  a.Screen = AllocateBuffer(nullptr, a.Mode.Width, a.Mode.Height, a.Mode.BitCount, false, hr);
}

namespace {

RECT FullRect(const Buffer& b) { return RECT{0, 0, static_cast<LONG>(b.Width), static_cast<LONG>(b.Height)}; }

}  // namespace

Buffer::~Buffer() {
  if (Video && Adapter) Adapter->VideoUsed -= Bytes;
}

LONG PitchFor(DWORD width, DWORD bitCount) {
  return static_cast<LONG>(((static_cast<std::uint64_t>(width) * bitCount + 31) / 32) * 4);
}

DDPIXELFORMAT FormatForBitCount(DWORD bitCount) {
  DDPIXELFORMAT f;
  f.dwSize = sizeof(DDPIXELFORMAT);
  f.dwRGBBitCount = bitCount;
  switch (bitCount) {
    case 1:
      f.dwFlags = DDPF_RGB | DDPF_PALETTEINDEXED1;
      break;
    case 2:
      f.dwFlags = DDPF_RGB | DDPF_PALETTEINDEXED2;
      break;
    case 4:
      f.dwFlags = DDPF_RGB | DDPF_PALETTEINDEXED4;
      break;
    case 8:
      f.dwFlags = DDPF_RGB | DDPF_PALETTEINDEXED8;
      break;
    case 16:
      f.dwFlags = DDPF_RGB;
      f.dwRBitMask = 0xF800;
      f.dwGBitMask = 0x07E0;
      f.dwBBitMask = 0x001F;
      break;
    default:
      f.dwFlags = DDPF_RGB;
      f.dwRBitMask = 0xFF0000;
      f.dwGBitMask = 0x00FF00;
      f.dwBBitMask = 0x0000FF;
      break;
  }
  return f;
}

bool IsPalettized(const DDPIXELFORMAT& f) {
  return (f.dwFlags & (DDPF_PALETTEINDEXED1 | DDPF_PALETTEINDEXED2 | DDPF_PALETTEINDEXED4 | DDPF_PALETTEINDEXED8)) != 0;
}

bool SameFormat(const DDPIXELFORMAT& a, const DDPIXELFORMAT& b) {
  if (a.dwRGBBitCount != b.dwRGBBitCount) return false;
  if (IsPalettized(a) || IsPalettized(b)) return IsPalettized(a) == IsPalettized(b);
  if ((a.dwFlags & DDPF_ZBUFFER) || (b.dwFlags & DDPF_ZBUFFER)) return (a.dwFlags & DDPF_ZBUFFER) == (b.dwFlags & DDPF_ZBUFFER);
  return a.dwRBitMask == b.dwRBitMask && a.dwGBitMask == b.dwGBitMask && a.dwBBitMask == b.dwBBitMask;
}

std::shared_ptr<Buffer> AllocateBuffer(const std::shared_ptr<AdapterState>& adapter, DWORD width, DWORD height,
                                       DWORD bitCount, bool video, HRESULT& hr) {
  if (width == 0 || height == 0) {
    hr = DDERR_INVALIDPARAMS;
    return nullptr;
  }
  if (width > kMaxSide || height > kMaxSide) {
    hr = DDERR_TOOBIGSIZE;
    return nullptr;
  }
  const LONG pitch = PitchFor(width, bitCount);
  const std::size_t bytes = static_cast<std::size_t>(pitch) * height;
  if (bytes > kMaxBytes) {
    hr = video ? DDERR_OUTOFVIDEOMEMORY : DDERR_OUTOFMEMORY;
    return nullptr;
  }
  if (video && adapter && adapter->VideoUsed + bytes > adapter->Config.VideoMemory) {
    hr = DDERR_OUTOFVIDEOMEMORY;
    return nullptr;
  }
  auto b = std::make_shared<Buffer>();
  b->Memory.reset(static_cast<std::uint8_t*>(::operator new[](bytes, std::align_val_t{kBufferAlignment}, std::nothrow)));
  if (!b->Memory) {
    hr = video ? DDERR_OUTOFVIDEOMEMORY : DDERR_OUTOFMEMORY;
    return nullptr;
  }
  std::memset(b->Memory.get(), 0, bytes);
  b->Bytes = bytes;
  b->Pitch = pitch;
  b->Width = width;
  b->Height = height;
  b->BitCount = bitCount;
  if (video && adapter) {
    b->Adapter = adapter;
    b->Video = true;
    adapter->VideoUsed += bytes;
  }
  hr = DD_OK;
  return b;
}

void LoseSurfaces(AdapterState& adapter) {
  for (SurfaceObject* s : adapter.Surfaces)
    if (s->InVideoMemory() || s->IsPrimary() || (s->Desc().ddsCaps.dwCaps & DDSCAPS_FLIP)) s->MakeLost();
}

void ChangeMode(AdapterState& adapter, const DisplayMode& mode) {
  const bool changed = !(adapter.Mode == mode) || adapter.Mode.RefreshRate != mode.RefreshRate;
  adapter.Mode = mode;
  LoseSurfaces(adapter);
  if (changed || !adapter.Screen) {
    adapter.Screen.reset();
    EnsureScreen(adapter);
  }
  if (g_presenter) {
    const bool exclusive = adapter.Exclusive != nullptr && adapter.ExclusiveActive;
    g_presenter->DisplayModeChanged(mode, exclusive, exclusive ? adapter.Exclusive->Window() : nullptr);
  }
}

Presenter* CurrentPresenter() { return g_presenter; }

void PresentBuffer(AdapterState& adapter, const Buffer& buffer, const RECT* changed, PaletteObject* palette) {
  if (!g_presenter || !adapter.IsPrimaryDriver) return;
  Frame f;
  f.Bits = buffer.Memory.get();
  f.Pitch = buffer.Pitch;
  f.Width = buffer.Width;
  f.Height = buffer.Height;
  f.BitCount = buffer.BitCount;
  f.Palette = palette && buffer.BitCount == 8 ? palette->Entries() : nullptr;
  f.Gamma = adapter.GammaSet ? &adapter.Gamma : nullptr;
  f.Changed = changed ? *changed : FullRect(buffer);
  f.Exclusive = adapter.Exclusive != nullptr && adapter.ExclusiveActive;
  f.Window = adapter.Exclusive ? adapter.Exclusive->Window() : nullptr;
  g_presenter->Present(f);
}

// The fields the old and the new surface description share, copied one way or the other.
template <class To, class From>
void CopySharedDescFields(To& r, const From& d) {
  r.dwFlags = d.dwFlags;
  r.dwHeight = d.dwHeight;
  r.dwWidth = d.dwWidth;
  r.lPitch = d.lPitch;
  r.dwBackBufferCount = d.dwBackBufferCount;
  r.dwMipMapCount = d.dwMipMapCount;
  r.dwAlphaBitDepth = d.dwAlphaBitDepth;
  r.lpSurface = d.lpSurface;
  r.ddckCKDestOverlay = d.ddckCKDestOverlay;
  r.ddckCKDestBlt = d.ddckCKDestBlt;
  r.ddckCKSrcOverlay = d.ddckCKSrcOverlay;
  r.ddckCKSrcBlt = d.ddckCKSrcBlt;
  r.ddpfPixelFormat = d.ddpfPixelFormat;
  r.ddsCaps.dwCaps = d.ddsCaps.dwCaps;
}

DDSURFACEDESC2 ToDesc2(const DDSURFACEDESC& d) {
  DDSURFACEDESC2 r;
  r.dwSize = sizeof(DDSURFACEDESC2);
  CopySharedDescFields(r, d);
  // The old description keeps a depth-buffer depth in a field of its own.
  if ((d.dwFlags & DDSD_ZBUFFERBITDEPTH) && !(d.dwFlags & DDSD_PIXELFORMAT)) {
    r.ddpfPixelFormat = DDPIXELFORMAT{};
    r.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
    r.ddpfPixelFormat.dwFlags = DDPF_ZBUFFER;
    r.ddpfPixelFormat.dwZBufferBitDepth = d.dwZBufferBitDepth;
    r.dwFlags = (r.dwFlags & ~DDSD_ZBUFFERBITDEPTH) | DDSD_PIXELFORMAT;
  }
  return r;
}

DDSURFACEDESC ToDesc1(const DDSURFACEDESC2& d) {
  DDSURFACEDESC r;
  r.dwSize = sizeof(DDSURFACEDESC);
  CopySharedDescFields(r, d);
  if (d.ddpfPixelFormat.dwFlags & DDPF_ZBUFFER) {
    r.dwFlags |= DDSD_ZBUFFERBITDEPTH;
    r.dwZBufferBitDepth = d.ddpfPixelFormat.dwZBufferBitDepth;
  }
  return r;
}

double RefreshRate(const AdapterState& adapter) {
  if (g_presenter && adapter.IsPrimaryDriver) {
    const double screen = g_presenter->ScreenRefreshRate();
    if (screen > 0) return screen;
  }
  return adapter.Mode.RefreshRate ? adapter.Mode.RefreshRate : 60;
}

void WaitUntil(double target, double now) {
  const double delta = std::ceil(target - now);
  if (delta <= 0) return;
  mm::WaitClock(static_cast<mm::DWORD>(delta));
}

}  // namespace detail

// ---------------------------------------------------------------------------------------------
// Configuring the adapters

AdapterConfig DefaultAdapter() {
  AdapterConfig a;
  const DWORD sizes[][2] = {{640, 480}, {800, 600}, {1024, 768}, {1152, 864}, {1280, 960}, {1280, 1024}};
  for (const auto& s : sizes)
    for (const DWORD bits : {8u, 16u, 24u, 32u}) a.Modes.push_back(DisplayMode{s[0], s[1], bits, 60});
  a.DesktopMode = DisplayMode{1024, 768, 32, 60};
  a.VideoMemory = 64u << 20;
  DDCAPS& c = a.DriverCaps;
  c.dwSize = sizeof(DDCAPS);
  c.dwCaps = DDCAPS_3D | DDCAPS_BLT | DDCAPS_BLTQUEUE | DDCAPS_BLTSTRETCH | DDCAPS_GDI | DDCAPS_PALETTE | DDCAPS_PALETTEVSYNC |
             DDCAPS_COLORKEY | DDCAPS_BLTCOLORFILL | DDCAPS_BLTDEPTHFILL | DDCAPS_CANCLIP | DDCAPS_CANCLIPSTRETCHED |
             DDCAPS_CANBLTSYSMEM;
  c.dwCaps2 = DDCAPS2_CERTIFIED | DDCAPS2_PRIMARYGAMMA;
  c.dwCKeyCaps = DDCKEYCAPS_SRCBLT | DDCKEYCAPS_DESTBLT;
  c.dwFXCaps = DDFXCAPS_BLTMIRRORLEFTRIGHT | DDFXCAPS_BLTMIRRORUPDOWN;
  c.dwPalCaps = DDPCAPS_8BIT | DDPCAPS_PRIMARYSURFACE | DDPCAPS_VSYNC | DDPCAPS_ALLOW256;
  c.dwZBufferBitDepths = DDBD_16 | DDBD_24 | DDBD_32;
  c.ddsCaps.dwCaps = DDSCAPS_BACKBUFFER | DDSCAPS_COMPLEX | DDSCAPS_FLIP | DDSCAPS_FRONTBUFFER |
                     DDSCAPS_OFFSCREENPLAIN | DDSCAPS_PALETTE | DDSCAPS_PRIMARYSURFACE | DDSCAPS_SYSTEMMEMORY |
                     DDSCAPS_VIDEOMEMORY | DDSCAPS_VISIBLE | DDSCAPS_ZBUFFER | DDSCAPS_LOCALVIDMEM |
                     DDSCAPS_TEXTURE | DDSCAPS_3DDEVICE | DDSCAPS_MIPMAP;
  c.ddsOldCaps.dwCaps = c.ddsCaps.dwCaps;
  a.EmulationCaps = c;
  a.EmulationCaps.dwCaps |= DDCAPS_NOHARDWARE;
  a.EmulationCaps.dwCaps2 &= ~DDCAPS2_PRIMARYGAMMA;
  // The devices: hardware first, then the software rasterizers.
  const GUID hal{0x84E63DE0, 0x46AA, 0x11CF, {0x81, 0x6F, 0x00, 0x00, 0xC0, 0x20, 0x15, 0x6E}};
  const GUID rgb{0xA4665C60, 0x2673, 0x11CF, {0xA3, 0x1A, 0x00, 0xAA, 0x00, 0xB9, 0x33, 0x56}};
  const GUID mmx{0x50936643, 0x13E9, 0x11D1, {0x89, 0xAA, 0x00, 0xA0, 0xC9, 0x05, 0x41, 0x29}};
  a.Devices3D = {{hal, "Direct3D HAL", "Direct3D HAL", true},
                 {rgb, "Microsoft Direct3D RGB Software Emulation", "RGB Emulation", false},
                 {mmx, "Microsoft Direct3D MMX Software Emulation", "MMX Emulation", false}};
  return a;
}

void SetAdapters(std::vector<AdapterConfig> adapters) {
  auto& t = detail::Table();
  t.Adapters.clear();
  for (std::size_t i = 0; i < adapters.size(); ++i) t.Adapters.push_back(detail::MakeState(adapters[i], i == 0));
}

void ResetAdapters() { SetAdapters({DefaultAdapter()}); }

std::vector<AdapterConfig> Adapters() {
  std::vector<AdapterConfig> r;
  for (const auto& a : detail::AdapterList()) r.push_back(a->Config);
  return r;
}

void SetPresenter(Presenter* presenter) { detail::g_presenter = presenter; }

void ActivateApp(HWND window, bool active) {
  for (const auto& a : detail::AdapterList()) {
    detail::DirectDrawObject* owner = a->Exclusive;
    if (!owner || owner->Window() != window) continue;
    if (!active && a->ExclusiveActive) {
      a->ExclusiveActive = false;
      detail::ChangeMode(*a, a->Config.DesktopMode);
    } else if (active && !a->ExclusiveActive) {
      a->ExclusiveActive = true;
      detail::ChangeMode(*a, owner->ModeSet() ? owner->OwnerMode() : a->Config.DesktopMode);
    }
  }
}

void LoseAllSurfaces() {
  for (const auto& a : detail::AdapterList()) detail::LoseSurfaces(*a);
}

int LiveObjectCount() { return detail::LiveCount(); }
int LiveSurfaceCount() { return detail::LiveCount(detail::ObjectKind::Surface); }
int LivePaletteCount() { return detail::LiveCount(detail::ObjectKind::Palette); }
int LiveClipperCount() { return detail::LiveCount(detail::ObjectKind::Clipper); }

}  // namespace ddraw
