// The DirectDraw object: surfaces, palettes and clippers it makes, display modes, cooperative
// levels and the vertical blank.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/ddraw/DDrawInternal.h"
#include "platform/ddraw/DDrawPresent.h"
#include "platform/mm/MMSystem.h"

namespace ddraw {

namespace detail {

// ---------------------------------------------------------------------------------------------
// DirectDrawObject

DirectDrawObject::DirectDrawObject(std::shared_ptr<AdapterState> adapter, bool createdEx)
    : adapter_(std::move(adapter)), created_ex_(createdEx) {
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
  if (mode_set_) {
    mode_set_ = false;
    ChangeMode(*adapter_, adapter_->Config.DesktopMode);
  } else if (Presenter* presenter = CurrentPresenter()) {
    presenter->DisplayModeChanged(adapter_->Mode, false, nullptr);
  }
}

void DirectDrawObject::LastReleased() {
  if (adapter_->Exclusive == this) {
    LeaveExclusive();
  } else if (mode_set_) {
    mode_set_ = false;
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
  const double phase = (now - r.FrameStart(now) - 1.0) / (r.Period - 1.0);
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
    case DDWAITVB_BLOCKBEGIN: {
      AdapterState& a = *adapter_;
      const bool begins_now = now - start <= 1e-9 && !(a.BlankBegun && std::abs(a.BlankBegin - start) < 1e-6);
      const double begin = begins_now ? start : r.NextRetrace(now);
      if (!begins_now) WaitUntil(begin, now);
      a.BlankBegun = true;
      a.BlankBegin = begin;
      return DD_OK;
    }
    case DDWAITVB_BLOCKEND:
      WaitUntil(r.InBlank(now) ? start + 1.0 : start + r.Period + 1.0, now);
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
  if (mode_set_) {
    mode_set_ = false;
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
    if (Presenter* presenter = CurrentPresenter()) presenter->DisplayModeChanged(adapter_->Mode, true, window);
  } else {
    LeaveExclusive();
    window_ = window;
  }
  coop_flags_ = flags;
  coop_set_ = true;
  return DD_OK;
}

HRESULT DirectDrawObject::SetDisplayModeImpl(DWORD width, DWORD height, DWORD bitCount, DWORD refreshRate) {
  if (!coop_set_) return DDERR_NOCOOPERATIVELEVELSET;
  if (adapter_->Exclusive && adapter_->Exclusive != this) return DDERR_NOEXCLUSIVEMODE;
  if (adapter_->Exclusive == this && !adapter_->ExclusiveActive) return DDERR_NOEXCLUSIVEMODE;
  const auto& modes = adapter_->Config.Modes;
  const auto it = std::find_if(modes.begin(), modes.end(), [&](const DisplayMode& m) {
    return m.Width == width && m.Height == height && m.BitCount == bitCount &&
           (refreshRate == 0 || m.RefreshRate == refreshRate);
  });
  if (it == modes.end()) return DDERR_INVALIDMODE;
  if (!(adapter_->Mode == *it)) ChangeMode(*adapter_, *it);
  mode_set_ = !(*it == adapter_->Config.DesktopMode) || mode_set_;
  owner_mode_ = *it;
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
    if (!coop_set_) return DDERR_NOCOOPERATIVELEVELSET;
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


}  // namespace ddraw
