#include <algorithm>

#include "dx/DXConsts.h"
#include "dx/DXDraws.h"
#include "dx/DXDrawsDisplay.h"
#include "framework/SysUtils.h"

namespace dx {

namespace {

ddraw::DDSURFACEDESC Description(win::DWORD Flags, win::DWORD Caps) {
  ddraw::DDSURFACEDESC d;
  d.dwSize = sizeof(d);
  d.dwFlags = Flags;
  d.ddsCaps.dwCaps = Caps;
  return d;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Both drivers

TDXDrawDriver::TDXDrawDriver(TCustomDXDraw* ADXDraw) : dxdraw_(ADXDraw) {
  const TDXDrawOptions o = dxdraw_->Options();
  if (o.Contains(doFullScreen) && o.Contains(do3D) && o.Contains(doHardware) && !o.Contains(doSystemMemory)) {
    int flags = kSelectHardware;
    if (o.Contains(doSelectDriver)) flags |= kSelectDriver;
    if (!dxdraw_->Display()->FixedBitCount()) flags |= kSelectAnyBitCount;
    if (o.Contains(doRetainedMode)) flags |= kSelectRetainedMode;
    if (o.Contains(doZBuffer)) flags |= kSelectZBuffer;
    SelectDriver(flags, dxdraw_);
  }
  const bool hardware = o.Contains(doFullScreen) && o.Contains(doHardware) && !o.Contains(doSystemMemory);
  dxdraw_->ddraw_ = std::make_unique<TDirectDraw>(hardware ? dxdraw_->DriverGuid() : nullptr, o.Contains(doDirectX7Mode));
}

TDXDrawDriver::~TDXDrawDriver() {
  Finalize();
  dxdraw_->ddraw_.reset();
}

void TDXDrawDriver::Finalize() {
  TCustomDXDraw& d = *dxdraw_;
  d.d3d_.ReleaseDevices();
  RemoveZBuffer();
  d.clipper_.reset();
  d.palette_.reset();
  d.surface_.reset();
  d.primary_.reset();
  d.d3d_.ReleaseRetained();
}

void TDXDrawDriver::RemoveZBuffer() {
  TCustomDXDraw& d = *dxdraw_;
  if (!d.zbuffer_) return;
  if (d.surface_ && d.surface_->IDDSurface() && d.zbuffer_->IDDSurface())
    d.surface_->SetLastResult(d.surface_->ISurface()->DeleteAttachedSurface(0, d.zbuffer_->ISurface()));
  d.zbuffer_.reset();
}

bool TDXDrawDriver::SetSize(int, int) { return false; }

bool TDXDrawDriver::Restore() {
  TCustomDXDraw& d = *dxdraw_;
  if (!d.primary_->Restore() || !d.surface_->Restore()) return false;
  d.primary_->Fill(0);
  d.surface_->Fill(0);
  return true;
}

void TDXDrawDriver::CreatePalette(win::DWORD Caps) {
  TCustomDXDraw& d = *dxdraw_;
  d.palette_ = std::make_unique<TDirectDrawPalette>(d.ddraw_.get());
  win::PALETTEENTRY entries[256];
  d.PaletteEntriesOf(d.ColorTable, entries);
  d.palette_->CreatePalette(Caps, entries);
}

// ---------------------------------------------------------------------------------------------
// Blit driver: an off-screen back surface blitted into the control's part of the screen.

void TDXDrawDriverBlt::Initialize() {
  TCustomDXDraw& d = *dxdraw_;
  d.primary_ = std::make_unique<TDirectDrawSurface>(d.ddraw_.get());
  if (!d.primary_->CreateSurface(Description(ddraw::DDSD_CAPS, ddraw::DDSCAPS_PRIMARYSURFACE)))
    throw EDXDrawError(fw::Format(SCannotMade, SPrimarySurface));
  d.surface_ = std::make_unique<TDirectDrawSurface>(d.ddraw_.get());
  d.clipper_ = std::make_unique<TDirectDrawClipper>(d.ddraw_.get());
  d.clipper_->SetWindow(d.Handle());
  d.primary_->SetClipper(d.clipper_.get());
  win::DWORD caps = ddraw::DDPCAPS_8BIT | ddraw::DDPCAPS_INITIALIZE;
  if (d.EffectiveOptions().Contains(doAllowPalette256)) caps |= ddraw::DDPCAPS_ALLOW256;
  CreatePalette(caps);
  d.primary_->SetPalette(d.palette_.get());
  InitializeSurface();
}

void TDXDrawDriverBlt::InitializeSurface() {
  TCustomDXDraw& d = *dxdraw_;
  d.surface_->Bind(nullptr);
  d.now_options_ -= TDXDrawOptions{doSystemMemory};
  ddraw::DDSURFACEDESC desc =
      Description(ddraw::DDSD_CAPS | ddraw::DDSD_HEIGHT | ddraw::DDSD_WIDTH, ddraw::DDSCAPS_OFFSCREENPLAIN);
  desc.dwWidth = static_cast<win::DWORD>(std::max(d.surface_width_, 1));
  desc.dwHeight = static_cast<win::DWORD>(std::max(d.surface_height_, 1));
  if (d.Options().Contains(doSystemMemory)) desc.ddsCaps.dwCaps |= ddraw::DDSCAPS_SYSTEMMEMORY;
  if (d.EffectiveOptions().Contains(do3D)) desc.ddsCaps.dwCaps |= ddraw::DDSCAPS_3DDEVICE;
  if (!d.surface_->CreateSurface(desc)) {
    desc.ddsCaps.dwCaps |= ddraw::DDSCAPS_SYSTEMMEMORY;
    if (!d.surface_->CreateSurface(desc)) throw EDXDrawError(fw::Format(SCannotMade, SSurface));
  }
  if (!(d.surface_->SurfaceDesc().ddsCaps.dwCaps & ddraw::DDSCAPS_VIDEOMEMORY)) d.now_options_ += TDXDrawOptions{doSystemMemory};
  d.surface_->SetPalette(d.palette_.get());
  d.surface_->Fill(0);
  if (d.EffectiveOptions().Contains(do3D)) Initialize3D();
}

bool TDXDrawDriverBlt::SetSize(int AWidth, int AHeight) {
  TCustomDXDraw& d = *dxdraw_;
  d.surface_width_ = std::max(AWidth, 1);
  d.surface_height_ = std::max(AHeight, 1);
  ++d.restore_hold_;
  struct Release {
    TCustomDXDraw& d;
    ~Release() { --d.restore_hold_; }
  } release{d};
  d.NotifyAll(dnFinalizeSurface);
  if (d.surface_fired_) {
    d.surface_fired_ = false;
    d.DoFinalizeSurface();
  }
  InitializeSurface();
  d.NotifyAll(dnInitializeSurface);
  d.surface_fired_ = true;
  d.DoInitializeSurface();
  return true;
}

void TDXDrawDriverBlt::Flip() {
  TCustomDXDraw& d = *dxdraw_;
  const TDXDrawOptions o = d.EffectiveOptions();
  fw::TPoint p = d.ClientToScreen(fw::TPoint{0, 0});
  win::RECT dest;
  if (o.Contains(doStretch)) {
    dest = win::RECT{p.x, p.y, p.x + d.Width(), p.y + d.Height()};
  } else {
    if (o.Contains(doCenter)) {
      p.x += (d.Width() - d.surface_->Width()) / 2;
      p.y += (d.Height() - d.surface_->Height()) / 2;
    }
    dest = win::RECT{p.x, p.y, p.x + d.surface_->Width(), p.y + d.surface_->Height()};
  }
  if (o.Contains(doWaitVBlank))
    d.ddraw_->SetLastResult(d.ddraw_->IDraw()->WaitForVerticalBlank(ddraw::DDWAITVB_BLOCKBEGIN, nullptr));
  ddraw::DDBLTFX fx;
  fx.dwSize = sizeof(fx);
  const fw::TRect source = d.surface_->ClientRect();
  d.primary_->Blt(&dest, &source, ddraw::DDBLT_WAIT, fx, d.surface_.get());
}

// ---------------------------------------------------------------------------------------------
// Flip driver: an exclusive flip chain with one back buffer.

void TDXDrawDriverFlip::Initialize() {
  TCustomDXDraw& d = *dxdraw_;
  ddraw::DDSURFACEDESC desc = Description(ddraw::DDSD_CAPS | ddraw::DDSD_BACKBUFFERCOUNT,
                                          ddraw::DDSCAPS_PRIMARYSURFACE | ddraw::DDSCAPS_FLIP | ddraw::DDSCAPS_COMPLEX);
  desc.dwBackBufferCount = 1;
  if (d.EffectiveOptions().Contains(do3D)) desc.ddsCaps.dwCaps |= ddraw::DDSCAPS_3DDEVICE;
  d.primary_ = std::make_unique<TDirectDrawSurface>(d.ddraw_.get());
  if (!d.primary_->CreateSurface(desc)) throw EDXDrawError(fw::Format(SCannotMade, SPrimarySurface));
  d.surface_ = std::make_unique<TDirectDrawSurface>(d.ddraw_.get());
  ddraw::DDSCAPS caps;
  caps.dwCaps = ddraw::DDSCAPS_BACKBUFFER;
  ddraw::IDirectDrawSurface* back = nullptr;
  if (d.primary_->ISurface()->GetAttachedSurface(&caps, &back) == ddraw::DD_OK && back) {
    d.surface_->Bind(back);
    back->Release();
  }
  d.now_options_ -= TDXDrawOptions{doSystemMemory};
  if (d.surface_->SurfaceDesc().ddsCaps.dwCaps & ddraw::DDSCAPS_SYSTEMMEMORY) d.now_options_ += TDXDrawOptions{doSystemMemory};
  d.clipper_ = std::make_unique<TDirectDrawClipper>(d.ddraw_.get());
  win::DWORD palCaps = ddraw::DDPCAPS_8BIT;
  if (d.Options().Contains(doAllowPalette256)) palCaps |= ddraw::DDPCAPS_ALLOW256;
  CreatePalette(palCaps);
  d.primary_->SetPalette(d.palette_.get());
  d.surface_->SetPalette(d.palette_.get());
  if (d.EffectiveOptions().Contains(do3D)) Initialize3D();
}

void TDXDrawDriverFlip::Flip() {
  TCustomDXDraw& d = *dxdraw_;
  if (d.OwnerForm() && d.OwnerForm()->Active()) {
    d.primary_->SetLastResult(d.primary_->ISurface()->Flip(nullptr, ddraw::DDFLIP_WAIT));
  } else {
    // An inactive full-screen form shows no new frames; that is not a failure.
    d.primary_->SetLastResult(ddraw::DD_OK);
  }
}

}  // namespace dx
