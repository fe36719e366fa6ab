// The DirectDraw object, the adapters it opens, display modes, cooperative levels and the
// module's entry points.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <mutex>
#include <new>
#include <thread>

#include "platform/ddraw/DDrawInternal.h"
#include "platform/ddraw/DDrawPresent.h"
#include "platform/kernel/Library.h"
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
  std::vector<std::shared_ptr<AdapterState>> adapters;
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
    t.adapters.push_back(MakeState(DefaultAdapter(), true));
    return t;
  }();
  return table;
}

// The desktop buffer is made when first needed, so a reconfigured adapter costs nothing until
// something draws on it.
void EnsureScreen(AdapterState& a) {
  if (a.Screen) return;
  HRESULT hr = DD_OK;
  a.Screen = AllocateBuffer(nullptr, a.Mode.Width, a.Mode.Height, a.Mode.BitCount, false, hr);
}

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
  b->Memory.reset(new (std::nothrow) std::uint8_t[bytes]());
  if (!b->Memory) {
    hr = video ? DDERR_OUTOFVIDEOMEMORY : DDERR_OUTOFMEMORY;
    return nullptr;
  }
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

DDSURFACEDESC2 ToDesc2(const DDSURFACEDESC& d) {
  DDSURFACEDESC2 r;
  r.dwSize = sizeof(DDSURFACEDESC2);
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
  if (d.ddpfPixelFormat.dwFlags & DDPF_ZBUFFER) {
    r.dwFlags |= DDSD_ZBUFFERBITDEPTH;
    r.dwZBufferBitDepth = d.ddpfPixelFormat.dwZBufferBitDepth;
  }
  return r;
}

// ---------------------------------------------------------------------------------------------
// DirectDrawObject

DirectDrawObject::DirectDrawObject(std::shared_ptr<AdapterState> adapter, bool createdEx)
    : adapter_(std::move(adapter)), createdEx_(createdEx) {
  EnsureScreen(*adapter_);
}

DirectDrawObject::~DirectDrawObject() = default;

DirectDrawObject* DirectDrawObject::From(IUnknown* any) { return dynamic_cast<DirectDrawObject*>(any); }

HRESULT DirectDrawObject::QueryInterface(REFIID riid, void** object) {
  if (!object) return DDERR_INVALIDPARAMS;
  *object = nullptr;
  if (riid == IID_IUnknown || riid == IID_IDirectDraw) {
    *object = V1();
  } else if (riid == IID_IDirectDraw4 && adapter_->Config.HasDirectDraw4) {
    *object = static_cast<IDirectDraw4*>(this);
  } else if (riid == IID_IDirectDraw7 && adapter_->Config.HasDirectDraw7) {
    *object = static_cast<IDirectDraw7*>(this);
  } else {
    return QueryExtension(*this, extension_, riid, object);
  }
  AddRef();
  return DD_OK;
}

void DirectDrawObject::LeaveExclusive() {
  if (adapter_->Exclusive != this) return;
  adapter_->Exclusive = nullptr;
  adapter_->ExclusiveActive = true;
  if (modeSet_) {
    modeSet_ = false;
    ChangeMode(*adapter_, adapter_->Config.DesktopMode);
  } else if (g_presenter) {
    g_presenter->DisplayModeChanged(adapter_->Mode, false, nullptr);
  }
}

void DirectDrawObject::LastReleased() {
  if (adapter_->Exclusive == this) {
    LeaveExclusive();
  } else if (modeSet_) {
    modeSet_ = false;
    ChangeMode(*adapter_, adapter_->Config.DesktopMode);
  }
  // Surfaces still alive keep working on their own; they no longer enumerate anywhere.
  for (SurfaceObject* s : surfaces_) s->Orphan();
  surfaces_.clear();
  primary_ = nullptr;
}

void DirectDrawObject::Forget(SurfaceObject* s) {
  surfaces_.erase(std::remove(surfaces_.begin(), surfaces_.end(), s), surfaces_.end());
  PrimaryGone(s);
}

HRESULT DirectDrawObject::Compact() { return DD_OK; }

HRESULT DirectDrawObject::CreateClipper(DWORD flags, IDirectDrawClipper** clipper, IUnknown* outer) {
  if (!clipper) return DDERR_INVALIDPARAMS;
  *clipper = nullptr;
  if (outer) return win::CLASS_E_NOAGGREGATION;
  if (flags != 0) return DDERR_INVALIDPARAMS;
  *clipper = new ClipperObject();
  return DD_OK;
}

HRESULT DirectDrawObject::CreatePalette(DWORD flags, PALETTEENTRY* entries, IDirectDrawPalette** palette,
                                        IUnknown* outer) {
  if (!palette) return DDERR_INVALIDPARAMS;
  *palette = nullptr;
  if (outer) return win::CLASS_E_NOAGGREGATION;
  if (!entries) return DDERR_INVALIDPARAMS;
  DWORD count = 0;
  const DWORD sizes = flags & (DDPCAPS_1BIT | DDPCAPS_2BIT | DDPCAPS_4BIT | DDPCAPS_8BIT);
  switch (sizes) {
    case DDPCAPS_1BIT:
      count = 2;
      break;
    case DDPCAPS_2BIT:
      count = 4;
      break;
    case DDPCAPS_4BIT:
      count = 16;
      break;
    case DDPCAPS_8BIT:
      count = 256;
      break;
    default:
      return DDERR_INVALIDPARAMS;
  }
  *palette = new PaletteObject(flags, entries, count);
  return DD_OK;
}

HRESULT DirectDrawObject::FlipToGDISurface() {
  if (!primary_ || primary_->chain_.size() < 2) return DD_OK;
  // Flip until the desktop's buffer is in front again.
  for (std::size_t i = 0; i < primary_->chain_.size(); ++i) {
    if (primary_->memory_ == adapter_->Screen) break;
    if (primary_->FlipImpl(nullptr, DDFLIP_WAIT) != DD_OK) break;
  }
  return DD_OK;
}

HRESULT DirectDrawObject::GetCaps(DDCAPS* driverCaps, DDCAPS* emulationCaps) {
  if (!driverCaps && !emulationCaps) return DDERR_INVALIDPARAMS;
  if ((driverCaps && driverCaps->dwSize != sizeof(DDCAPS)) || (emulationCaps && emulationCaps->dwSize != sizeof(DDCAPS)))
    return DDERR_INVALIDPARAMS;
  const auto fill = [&](DDCAPS* out, const DDCAPS& from, bool hardware) {
    *out = from;
    out->dwSize = sizeof(DDCAPS);
    if (hardware) {
      out->dwVidMemTotal = adapter_->Config.VideoMemory;
      out->dwVidMemFree = static_cast<DWORD>(adapter_->Config.VideoMemory - adapter_->VideoUsed);
    }
  };
  if (driverCaps) fill(driverCaps, adapter_->Config.DriverCaps, true);
  if (emulationCaps) fill(emulationCaps, adapter_->Config.EmulationCaps, false);
  return DD_OK;
}

HRESULT DirectDrawObject::GetFourCCCodes(DWORD* count, DWORD* codes) {
  (void)codes;
  if (!count) return DDERR_INVALIDPARAMS;
  *count = 0;
  return DD_OK;
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
  if (mm::UsingVirtualClock()) {
    mm::AdvanceVirtualTime(static_cast<mm::DWORD>(delta));
  } else {
    std::this_thread::sleep_for(std::chrono::milliseconds(static_cast<long long>(delta)));
  }
}

HRESULT DirectDrawObject::GetMonitorFrequency(DWORD* frequency) {
  if (!frequency) return DDERR_INVALIDPARAMS;
  *frequency = static_cast<DWORD>(std::lround(RefreshRate(*adapter_)));
  return DD_OK;
}

HRESULT DirectDrawObject::GetScanLine(DWORD* line) {
  if (!line) return DDERR_INVALIDPARAMS;
  const Refresh r(RefreshRate(*adapter_));
  const double now = mm::timeGetTime();
  if (r.InBlank(now)) return DDERR_VERTICALBLANKINPROGRESS;
  const double phase = (now - r.FrameStart(now) - 1.0) / (r.period - 1.0);
  *line = static_cast<DWORD>(phase * adapter_->Mode.Height);
  return DD_OK;
}

HRESULT DirectDrawObject::GetVerticalBlankStatus(BOOL* inBlank) {
  if (!inBlank) return DDERR_INVALIDPARAMS;
  const Refresh r(RefreshRate(*adapter_));
  *inBlank = r.InBlank(mm::timeGetTime()) ? win::TRUE : win::FALSE;
  return DD_OK;
}

HRESULT DirectDrawObject::WaitForVerticalBlank(DWORD flags, HANDLE event) {
  (void)event;
  const Refresh r(RefreshRate(*adapter_));
  const double now = mm::timeGetTime();
  const double start = r.FrameStart(now);
  switch (flags) {
    case DDWAITVB_BLOCKBEGIN:
      if (now - start > 1e-9) WaitUntil(start + r.period, now);
      return DD_OK;
    case DDWAITVB_BLOCKEND:
      WaitUntil(r.InBlank(now) ? start + 1.0 : start + r.period + 1.0, now);
      return DD_OK;
    case DDWAITVB_BLOCKBEGINEVENT:
      return DDERR_UNSUPPORTED;
    default:
      return DDERR_INVALIDPARAMS;
  }
}

HRESULT DirectDrawObject::Initialize(GUID* driver) {
  (void)driver;
  return DDERR_ALREADYINITIALIZED;
}

HRESULT DirectDrawObject::RestoreDisplayMode() {
  if (adapter_->Exclusive && adapter_->Exclusive != this) return DDERR_NOEXCLUSIVEMODE;
  if (modeSet_) {
    modeSet_ = false;
    ChangeMode(*adapter_, adapter_->Config.DesktopMode);
  }
  return DD_OK;
}

HRESULT DirectDrawObject::SetCooperativeLevel(HWND window, DWORD flags) {
  constexpr DWORD known = DDSCL_FULLSCREEN | DDSCL_ALLOWREBOOT | DDSCL_NOWINDOWCHANGES | DDSCL_NORMAL |
                          DDSCL_EXCLUSIVE | DDSCL_ALLOWMODEX | DDSCL_SETFOCUSWINDOW | DDSCL_SETDEVICEWINDOW |
                          DDSCL_CREATEDEVICEWINDOW | DDSCL_MULTITHREADED | DDSCL_FPUSETUP | DDSCL_FPUPRESERVE;
  if (flags & ~known) return DDERR_INVALIDPARAMS;
  const bool normal = (flags & DDSCL_NORMAL) != 0;
  const bool full = (flags & DDSCL_FULLSCREEN) != 0;
  const bool exclusive = (flags & DDSCL_EXCLUSIVE) != 0;
  if (normal == (full || exclusive)) return DDERR_INVALIDPARAMS;
  if (full != exclusive) return DDERR_INVALIDPARAMS;
  if ((flags & DDSCL_ALLOWMODEX) && !full) return DDERR_INVALIDPARAMS;
  if (exclusive) {
    if (!window) return DDERR_INVALIDPARAMS;
    if (adapter_->Exclusive && adapter_->Exclusive != this) return DDERR_EXCLUSIVEMODEALREADYSET;
    adapter_->Exclusive = this;
    adapter_->ExclusiveActive = true;
    window_ = window;
    if (g_presenter) g_presenter->DisplayModeChanged(adapter_->Mode, true, window);
  } else {
    LeaveExclusive();
    window_ = window;
  }
  coopFlags_ = flags;
  coopSet_ = true;
  return DD_OK;
}

HRESULT DirectDrawObject::SetDisplayModeImpl(DWORD width, DWORD height, DWORD bitCount, DWORD refreshRate) {
  if (!coopSet_) return DDERR_NOCOOPERATIVELEVELSET;
  if (adapter_->Exclusive && adapter_->Exclusive != this) return DDERR_NOEXCLUSIVEMODE;
  if (adapter_->Exclusive == this && !adapter_->ExclusiveActive) return DDERR_NOEXCLUSIVEMODE;
  const auto& modes = adapter_->Config.Modes;
  const auto it = std::find_if(modes.begin(), modes.end(), [&](const DisplayMode& m) {
    return m.Width == width && m.Height == height && m.BitCount == bitCount &&
           (refreshRate == 0 || m.RefreshRate == refreshRate);
  });
  if (it == modes.end()) return DDERR_INVALIDMODE;
  if (!(adapter_->Mode == *it)) ChangeMode(*adapter_, *it);
  modeSet_ = !(*it == adapter_->Config.DesktopMode) || modeSet_;
  ownerMode_ = *it;
  return DD_OK;
}

HRESULT DirectDrawObject::SetDisplayMode(DWORD width, DWORD height, DWORD bitCount) {
  return SetDisplayModeImpl(width, height, bitCount, 0);
}

HRESULT DirectDrawObject::SetDisplayMode(DWORD width, DWORD height, DWORD bitCount, DWORD refreshRate, DWORD flags) {
  (void)flags;
  return SetDisplayModeImpl(width, height, bitCount, refreshRate);
}

HRESULT DirectDrawObject::DisplayModeImpl(DDSURFACEDESC2& d) const {
  const DisplayMode& m = adapter_->Mode;
  d = DDSURFACEDESC2{};
  d.dwSize = sizeof(DDSURFACEDESC2);
  d.dwFlags = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT | DDSD_REFRESHRATE;
  d.dwWidth = m.Width;
  d.dwHeight = m.Height;
  d.lPitch = PitchFor(m.Width, m.BitCount);
  d.dwRefreshRate = m.RefreshRate;
  d.ddpfPixelFormat = FormatForBitCount(m.BitCount);
  return DD_OK;
}

HRESULT DirectDrawObject::GetDisplayMode(DDSURFACEDESC* desc) {
  if (!desc || desc->dwSize != sizeof(DDSURFACEDESC)) return DDERR_INVALIDPARAMS;
  DDSURFACEDESC2 d;
  DisplayModeImpl(d);
  *desc = ToDesc1(d);
  return DD_OK;
}

HRESULT DirectDrawObject::GetDisplayMode(DDSURFACEDESC2* desc) {
  if (!desc || desc->dwSize != sizeof(DDSURFACEDESC2)) return DDERR_INVALIDPARAMS;
  return DisplayModeImpl(*desc);
}

template <class Desc, class Callback>
HRESULT DirectDrawObject::EnumModesImpl(DWORD flags, const Desc* filter, void* context, Callback callback) {
  if (!callback) return DDERR_INVALIDPARAMS;
  if (filter && filter->dwSize != sizeof(Desc)) return DDERR_INVALIDPARAMS;
  // The list is copied first: a callback may change the mode or the configuration.
  const std::vector<DisplayMode> modes = adapter_->Config.Modes;
  for (const DisplayMode& m : modes) {
    if (filter) {
      if ((filter->dwFlags & DDSD_WIDTH) && filter->dwWidth != m.Width) continue;
      if ((filter->dwFlags & DDSD_HEIGHT) && filter->dwHeight != m.Height) continue;
      if ((filter->dwFlags & DDSD_PIXELFORMAT) && filter->ddpfPixelFormat.dwRGBBitCount != m.BitCount) continue;
      if ((filter->dwFlags & DDSD_REFRESHRATE) && filter->dwRefreshRate != m.RefreshRate) continue;
    }
    DDSURFACEDESC2 d2;
    d2.dwSize = sizeof(DDSURFACEDESC2);
    d2.dwFlags = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT | DDSD_REFRESHRATE;
    d2.dwWidth = m.Width;
    d2.dwHeight = m.Height;
    d2.lPitch = PitchFor(m.Width, m.BitCount);
    d2.dwRefreshRate = (flags & DDEDM_REFRESHRATES) ? m.RefreshRate : 0;
    d2.ddpfPixelFormat = FormatForBitCount(m.BitCount);
    Desc d;
    if constexpr (std::is_same_v<Desc, DDSURFACEDESC>) {
      d = ToDesc1(d2);
    } else {
      d = d2;
    }
    if (callback(&d, context) == static_cast<HRESULT>(DDENUMRET_CANCEL)) break;
  }
  return DD_OK;
}

HRESULT DirectDrawObject::EnumDisplayModes(DWORD flags, DDSURFACEDESC* filter, void* context,
                                           LPDDENUMMODESCALLBACK callback) {
  return EnumModesImpl(flags, filter, context, callback);
}

HRESULT DirectDrawObject::EnumDisplayModes(DWORD flags, DDSURFACEDESC2* filter, void* context,
                                           LPDDENUMMODESCALLBACK2 callback) {
  return EnumModesImpl(flags, filter, context, callback);
}

namespace {

template <class Desc>
bool MatchesFilter(const SurfaceObject& s, const Desc* filter) {
  if (!filter) return true;
  const DDSURFACEDESC2& d = s.Desc();
  if ((filter->dwFlags & DDSD_CAPS) && (d.ddsCaps.dwCaps & filter->ddsCaps.dwCaps) != filter->ddsCaps.dwCaps)
    return false;
  if ((filter->dwFlags & DDSD_WIDTH) && filter->dwWidth != d.dwWidth) return false;
  if ((filter->dwFlags & DDSD_HEIGHT) && filter->dwHeight != d.dwHeight) return false;
  return true;
}

template <class Iface, class Desc, class Callback, class Get>
HRESULT EnumExisting(std::vector<SurfaceObject*> list, DWORD flags, Desc* filter, void* context, Callback callback,
                     Get get) {
  if (!callback) return DDERR_INVALIDPARAMS;
  if (!(flags & DDENUMSURFACES_DOESEXIST)) return DDERR_UNSUPPORTED;
  for (SurfaceObject* s : list) {
    if (!(flags & DDENUMSURFACES_ALL)) {
      const bool match = MatchesFilter(*s, filter);
      if ((flags & DDENUMSURFACES_NOMATCH) ? match : !match) continue;
    }
    s->AddRef();
    Desc d{};
    d.dwSize = sizeof(d);
    s->GetSurfaceDesc(&d);
    if (callback(get(s), &d, context) == static_cast<HRESULT>(DDENUMRET_CANCEL)) break;
  }
  return DD_OK;
}

}  // namespace

HRESULT DirectDrawObject::EnumSurfaces(DWORD flags, DDSURFACEDESC* filter, void* context,
                                       LPDDENUMSURFACESCALLBACK callback) {
  return EnumExisting<IDirectDrawSurface>(surfaces_, flags, filter, context, callback,
                                          [](SurfaceObject* s) { return s->V1(); });
}
HRESULT DirectDrawObject::EnumSurfaces(DWORD flags, DDSURFACEDESC2* filter, void* context,
                                       LPDDENUMSURFACESCALLBACK2 callback) {
  return EnumExisting<IDirectDrawSurface4>(surfaces_, flags, filter, context, callback,
                                           [](SurfaceObject* s) { return s->V4(); });
}
HRESULT DirectDrawObject::EnumSurfaces(DWORD flags, DDSURFACEDESC2* filter, void* context,
                                       LPDDENUMSURFACESCALLBACK7 callback) {
  return EnumExisting<IDirectDrawSurface7>(surfaces_, flags, filter, context, callback,
                                           [](SurfaceObject* s) { return s->V7(); });
}

HRESULT DirectDrawObject::CreateSurfaceImpl(DDSURFACEDESC2 d, SurfaceObject** out) {
  *out = nullptr;
  if (!(d.dwFlags & DDSD_CAPS)) d.ddsCaps.dwCaps = 0;
  DWORD caps = d.ddsCaps.dwCaps;
  if ((caps & DDSCAPS_SYSTEMMEMORY) && (caps & DDSCAPS_VIDEOMEMORY)) return DDERR_INVALIDCAPS;
  const bool primary = (caps & DDSCAPS_PRIMARYSURFACE) != 0;
  const bool flip = (caps & DDSCAPS_FLIP) != 0;
  DWORD backs = 0;
  if (flip) {
    if (!(caps & DDSCAPS_COMPLEX) || !(d.dwFlags & DDSD_BACKBUFFERCOUNT) || d.dwBackBufferCount == 0)
      return DDERR_INVALIDCAPS;
    backs = d.dwBackBufferCount;
    if (backs > 32) return DDERR_INVALIDPARAMS;
  } else if (d.dwFlags & DDSD_BACKBUFFERCOUNT) {
    return DDERR_INVALIDCAPS;
  }
  const bool system = (caps & DDSCAPS_SYSTEMMEMORY) != 0;
  // Rendering into video memory takes 3D hardware.
  if ((caps & DDSCAPS_3DDEVICE) && !system && !(adapter_->Config.DriverCaps.dwCaps & DDCAPS_3D)) return DDERR_NO3D;

  DDPIXELFORMAT format;
  DWORD width = 0, height = 0;
  if (primary) {
    if (!coopSet_) return DDERR_NOCOOPERATIVELEVELSET;
    if (d.dwFlags & (DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT)) return DDERR_INVALIDPARAMS;
    if (primary_) return DDERR_PRIMARYSURFACEALREADYEXISTS;
    if (flip && adapter_->Exclusive != this) return DDERR_NOEXCLUSIVEMODE;
    if (adapter_->Exclusive == this && !adapter_->ExclusiveActive) return DDERR_NOEXCLUSIVEMODE;
    EnsureScreen(*adapter_);
    width = adapter_->Mode.Width;
    height = adapter_->Mode.Height;
    format = FormatForBitCount(adapter_->Mode.BitCount);
  } else {
    if (!(d.dwFlags & DDSD_WIDTH) || !(d.dwFlags & DDSD_HEIGHT) || d.dwWidth == 0 || d.dwHeight == 0)
      return DDERR_INVALIDPARAMS;
    width = d.dwWidth;
    height = d.dwHeight;
    if (d.dwFlags & DDSD_PIXELFORMAT) {
      format = d.ddpfPixelFormat;
      format.dwSize = sizeof(DDPIXELFORMAT);
      const DWORD bits = format.dwRGBBitCount;
      if (format.dwFlags & DDPF_ZBUFFER) {
        if (!(caps & DDSCAPS_ZBUFFER) || (bits != 16 && bits != 24 && bits != 32)) return DDERR_INVALIDPIXELFORMAT;
      } else if (IsPalettized(format)) {
        const DWORD want = (format.dwFlags & DDPF_PALETTEINDEXED8)   ? 8
                           : (format.dwFlags & DDPF_PALETTEINDEXED4) ? 4
                           : (format.dwFlags & DDPF_PALETTEINDEXED2) ? 2
                                                                     : 1;
        if (bits != want) return DDERR_INVALIDPIXELFORMAT;
      } else if (format.dwFlags & DDPF_RGB) {
        const bool ok16 = bits == 16 && format.dwBBitMask == 0x1F &&
                          ((format.dwRBitMask == 0xF800 && format.dwGBitMask == 0x7E0) ||
                           (format.dwRBitMask == 0x7C00 && format.dwGBitMask == 0x3E0));
        const bool ok24 = (bits == 24 || bits == 32) && format.dwRBitMask == 0xFF0000 &&
                          format.dwGBitMask == 0xFF00 && format.dwBBitMask == 0xFF;
        if (!ok16 && !ok24) return DDERR_INVALIDPIXELFORMAT;
      } else {
        return DDERR_INVALIDPIXELFORMAT;
      }
    } else if (caps & DDSCAPS_ZBUFFER) {
      return DDERR_INVALIDPIXELFORMAT;
    } else {
      format = FormatForBitCount(adapter_->Mode.BitCount);
    }
  }

  // Without a memory type the surface goes to video memory; it does not move to system memory by
  // itself (the caller asks again for that).
  const bool video = !system;
  DWORD memCaps = video ? (DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM) : DDSCAPS_SYSTEMMEMORY;
  caps = (caps & ~(DDSCAPS_VIDEOMEMORY | DDSCAPS_SYSTEMMEMORY | DDSCAPS_LOCALVIDMEM | DDSCAPS_NONLOCALVIDMEM)) | memCaps;
  if (primary) caps |= DDSCAPS_VISIBLE | (flip ? DDSCAPS_FRONTBUFFER : 0);
  if (flip && !primary) caps |= DDSCAPS_FRONTBUFFER;

  // Memory: the desktop for a primary; budgeted buffers for everything else.
  std::vector<std::shared_ptr<Buffer>> buffers;
  HRESULT hr = DD_OK;
  if (primary) {
    buffers.push_back(adapter_->Screen);
  } else {
    buffers.push_back(AllocateBuffer(adapter_, width, height, format.dwRGBBitCount, video, hr));
    if (!buffers.back()) return hr;
  }
  for (DWORD i = 0; i < backs; ++i) {
    buffers.push_back(AllocateBuffer(adapter_, width, height, format.dwRGBBitCount, video, hr));
    if (!buffers.back()) return hr;
  }

  DDSURFACEDESC2 made;
  made.dwSize = sizeof(DDSURFACEDESC2);
  made.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT;
  made.dwWidth = width;
  made.dwHeight = height;
  made.lPitch = buffers[0]->Pitch;
  made.ddpfPixelFormat = format;
  made.ddsCaps.dwCaps = caps;
  if (flip) {
    made.dwFlags |= DDSD_BACKBUFFERCOUNT;
    made.dwBackBufferCount = backs;
  }
  auto* front = new SurfaceObject(this, made, buffers[0]);
  if (d.dwFlags & DDSD_CKSRCBLT) front->SetSourceKey(d.ddckCKSrcBlt);
  if (d.dwFlags & DDSD_CKDESTBLT) front->SetDestKey(d.ddckCKDestBlt);
  if (flip) {
    std::vector<SurfaceObject*> chain;
    for (DWORD i = 0; i < backs; ++i) {
      DDSURFACEDESC2 b = made;
      b.dwFlags &= ~DDSD_BACKBUFFERCOUNT;
      b.dwBackBufferCount = 0;
      b.ddsCaps.dwCaps = (caps & ~(DDSCAPS_PRIMARYSURFACE | DDSCAPS_VISIBLE | DDSCAPS_FRONTBUFFER)) |
                         (i == 0 ? DDSCAPS_BACKBUFFER : 0);
      chain.push_back(new SurfaceObject(this, b, buffers[i + 1]));
    }
    front->MakeChain(std::move(chain));
  }
  if (primary) primary_ = front;
  *out = front;
  return DD_OK;
}

HRESULT DirectDrawObject::CreateSurface(DDSURFACEDESC* desc, IDirectDrawSurface** surface, IUnknown* outer) {
  if (!surface) return DDERR_INVALIDPARAMS;
  *surface = nullptr;
  if (outer) return win::CLASS_E_NOAGGREGATION;
  if (!desc || desc->dwSize != sizeof(DDSURFACEDESC)) return DDERR_INVALIDPARAMS;
  SurfaceObject* s = nullptr;
  const HRESULT hr = CreateSurfaceImpl(ToDesc2(*desc), &s);
  if (s) *surface = s->V1();
  return hr;
}

HRESULT DirectDrawObject::CreateSurface(DDSURFACEDESC2* desc, IDirectDrawSurface4** surface, IUnknown* outer) {
  if (!surface) return DDERR_INVALIDPARAMS;
  *surface = nullptr;
  if (outer) return win::CLASS_E_NOAGGREGATION;
  if (!desc || desc->dwSize != sizeof(DDSURFACEDESC2)) return DDERR_INVALIDPARAMS;
  SurfaceObject* s = nullptr;
  const HRESULT hr = CreateSurfaceImpl(*desc, &s);
  if (s) *surface = s->V4();
  return hr;
}

HRESULT DirectDrawObject::CreateSurface(DDSURFACEDESC2* desc, IDirectDrawSurface7** surface, IUnknown* outer) {
  if (!surface) return DDERR_INVALIDPARAMS;
  *surface = nullptr;
  if (outer) return win::CLASS_E_NOAGGREGATION;
  if (!desc || desc->dwSize != sizeof(DDSURFACEDESC2)) return DDERR_INVALIDPARAMS;
  SurfaceObject* s = nullptr;
  const HRESULT hr = CreateSurfaceImpl(*desc, &s);
  if (s) *surface = s->V7();
  return hr;
}

namespace {
template <class Out>
HRESULT DuplicateAny(IUnknown* original, Out** duplicate, Out* (*as)(SurfaceObject*)) {
  if (!duplicate) return DDERR_INVALIDPARAMS;
  *duplicate = nullptr;
  SurfaceObject* s = SurfaceObject::From(original);
  if (!s) return DDERR_INVALIDPARAMS;
  const DWORD caps = s->Desc().ddsCaps.dwCaps;
  if (caps & (DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_ZBUFFER)) return DDERR_CANTDUPLICATE;
  *duplicate = as(s->Duplicate());
  return DD_OK;
}
}  // namespace

HRESULT DirectDrawObject::DuplicateSurface(IDirectDrawSurface* original, IDirectDrawSurface** duplicate) {
  return DuplicateAny<IDirectDrawSurface>(original, duplicate, [](SurfaceObject* s) { return s->V1(); });
}
HRESULT DirectDrawObject::DuplicateSurface(IDirectDrawSurface4* original, IDirectDrawSurface4** duplicate) {
  return DuplicateAny<IDirectDrawSurface4>(original, duplicate, [](SurfaceObject* s) { return s->V4(); });
}
HRESULT DirectDrawObject::DuplicateSurface(IDirectDrawSurface7* original, IDirectDrawSurface7** duplicate) {
  return DuplicateAny<IDirectDrawSurface7>(original, duplicate, [](SurfaceObject* s) { return s->V7(); });
}

namespace {
template <class Out>
HRESULT GdiSurface(const std::vector<SurfaceObject*>& list, const std::shared_ptr<Buffer>& screen, Out** out,
                   Out* (*as)(SurfaceObject*)) {
  if (!out) return DDERR_INVALIDPARAMS;
  *out = nullptr;
  for (SurfaceObject* s : list)
    if (s->Memory() == screen) {
      s->AddRef();
      *out = as(s);
      return DD_OK;
    }
  return DDERR_NOTFOUND;
}
}  // namespace

HRESULT DirectDrawObject::GetGDISurface(IDirectDrawSurface** surface) {
  return GdiSurface<IDirectDrawSurface>(surfaces_, adapter_->Screen, surface, [](SurfaceObject* s) { return s->V1(); });
}
HRESULT DirectDrawObject::GetGDISurface(IDirectDrawSurface4** surface) {
  return GdiSurface<IDirectDrawSurface4>(surfaces_, adapter_->Screen, surface, [](SurfaceObject* s) { return s->V4(); });
}
HRESULT DirectDrawObject::GetGDISurface(IDirectDrawSurface7** surface) {
  return GdiSurface<IDirectDrawSurface7>(surfaces_, adapter_->Screen, surface, [](SurfaceObject* s) { return s->V7(); });
}

HRESULT DirectDrawObject::GetAvailableVidMem(DDSCAPS2* caps, DWORD* total, DWORD* free) {
  if (!caps) return DDERR_INVALIDPARAMS;
  if ((caps->dwCaps & DDSCAPS_SYSTEMMEMORY) && !(caps->dwCaps & DDSCAPS_VIDEOMEMORY)) return DDERR_INVALIDCAPS;
  if (total) *total = adapter_->Config.VideoMemory;
  if (free) *free = static_cast<DWORD>(adapter_->Config.VideoMemory - adapter_->VideoUsed);
  return DD_OK;
}

HRESULT DirectDrawObject::RestoreAllSurfaces() {
  HRESULT result = DD_OK;
  const std::vector<SurfaceObject*> list = surfaces_;
  for (SurfaceObject* s : list) {
    if (!s->Lost()) continue;
    const HRESULT hr = s->Restore();
    if (hr != DD_OK) result = hr;
  }
  return result;
}

HRESULT DirectDrawObject::TestCooperativeLevel() {
  if (adapter_->Exclusive == this) return adapter_->ExclusiveActive ? DD_OK : DDERR_NOEXCLUSIVEMODE;
  if (adapter_->Exclusive) return DDERR_EXCLUSIVEMODEALREADYSET;
  return DD_OK;
}

}  // namespace detail

// ---------------------------------------------------------------------------------------------
// Adapters, entry points, module

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
  t.adapters.clear();
  for (std::size_t i = 0; i < adapters.size(); ++i) t.adapters.push_back(detail::MakeState(adapters[i], i == 0));
}

void ResetAdapters() { SetAdapters({DefaultAdapter()}); }

std::vector<AdapterConfig> Adapters() {
  std::vector<AdapterConfig> r;
  for (const auto& a : detail::Table().adapters) r.push_back(a->Config);
  return r;
}

void SetPresenter(Presenter* presenter) { detail::g_presenter = presenter; }

void ActivateApp(HWND window, bool active) {
  for (const auto& a : detail::Table().adapters) {
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
  for (const auto& a : detail::Table().adapters) detail::LoseSurfaces(*a);
}

int LiveObjectCount() { return detail::LiveCount(); }
int LiveSurfaceCount() { return detail::LiveCount(detail::ObjectKind::Surface); }
int LivePaletteCount() { return detail::LiveCount(detail::ObjectKind::Palette); }
int LiveClipperCount() { return detail::LiveCount(detail::ObjectKind::Clipper); }

namespace {

std::shared_ptr<detail::AdapterState> FindAdapter(const GUID* driver, HRESULT& hr) {
  auto& list = detail::Table().adapters;
  hr = DD_OK;
  if (list.empty()) {
    hr = DDERR_NODIRECTDRAWHW;
    return nullptr;
  }
  if (driver == nullptr || driver == DDCREATE_HARDWAREONLY || driver == DDCREATE_EMULATIONONLY) return list[0];
  for (const auto& a : list)
    if (a->Config.Guid == *driver) return a;
  hr = DDERR_INVALIDDIRECTDRAWGUID;
  return nullptr;
}

}  // namespace

HRESULT DirectDrawCreate(GUID* driver, IDirectDraw** directDraw, IUnknown* outer) {
  EnsureWindowPresenter();  // frames reach real windows once the window system runs
  if (!directDraw) return DDERR_INVALIDPARAMS;
  *directDraw = nullptr;
  if (outer) return win::CLASS_E_NOAGGREGATION;
  HRESULT hr;
  auto adapter = FindAdapter(driver, hr);
  if (!adapter) return hr;
  *directDraw = (new detail::DirectDrawObject(adapter))->V1();
  return DD_OK;
}

HRESULT DirectDrawCreateEx(GUID* driver, void** directDraw, REFIID iid, IUnknown* outer) {
  EnsureWindowPresenter();  // frames reach real windows once the window system runs
  if (!directDraw) return DDERR_INVALIDPARAMS;
  *directDraw = nullptr;
  if (outer) return win::CLASS_E_NOAGGREGATION;
  if (!(iid == IID_IDirectDraw7)) return DDERR_INVALIDPARAMS;
  HRESULT hr;
  auto adapter = FindAdapter(driver, hr);
  if (!adapter) return hr;
  if (!adapter->Config.HasDirectDraw7) return win::E_NOINTERFACE;
  *directDraw = static_cast<IDirectDraw7*>(new detail::DirectDrawObject(adapter, true));
  return DD_OK;
}

HRESULT DirectDrawEnumerateA(LPDDENUMCALLBACKA callback, void* context) {
  if (!callback) return DDERR_INVALIDPARAMS;
  const auto list = detail::Table().adapters;  // a callback may reconfigure
  for (std::size_t i = 0; i < list.size(); ++i) {
    std::string description = list[i]->Config.Description;
    std::string name = list[i]->Config.Name;
    GUID guid = list[i]->Config.Guid;
    if (!callback(i == 0 ? nullptr : &guid, description.data(), name.data(), context)) break;
  }
  return DD_OK;
}

void RegisterModule() {
  static std::once_flag once;
  std::call_once(once, [] {
    kernel::RegisterModule("DDraw.dll",
                           {{"DirectDrawCreate", reinterpret_cast<kernel::FARPROC>(&DirectDrawCreate)},
                            {"DirectDrawCreateEx", reinterpret_cast<kernel::FARPROC>(&DirectDrawCreateEx)},
                            {"DirectDrawEnumerateA", reinterpret_cast<kernel::FARPROC>(&DirectDrawEnumerateA)}});
  });
}

namespace {
// Registered at start-up whenever this unit is part of the program.
const bool g_registered = (RegisterModule(), true);
}  // namespace

}  // namespace ddraw
