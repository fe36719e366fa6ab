// Surfaces and their canvas.
#include <algorithm>
#include <cstdlib>
#include <utility>

#include "dx/DIB.h"
#include "dx/DXConsts.h"
#include "dx/DXDraws.h"
#include "dx/DXKeyMaskInternal.h"
#include "framework/ClassBuilder.h"
#include "framework/SysUtils.h"
#include "platform/gdi/Gdi.h"
#include "platform/pixels/Pixels.h"

namespace dx {

FW_REGISTER(TDirectDrawSurface, nullptr)
FW_REGISTER(TDirectDrawSurfaceCanvas, nullptr)

using namespace ddraw;

namespace {

// Gives the canvas's device context back when a drawing step ends, whichever way it ends.
class CanvasReleaser {
 public:
  explicit CanvasReleaser(TDirectDrawSurfaceCanvas* c) : c_(c) {}
  ~CanvasReleaser() { c_->Release(); }
  CanvasReleaser(const CanvasReleaser&) = delete;
  CanvasReleaser& operator=(const CanvasReleaser&) = delete;

 private:
  TDirectDrawSurfaceCanvas* c_;
};

DDBLTFX EmptyFX() {
  DDBLTFX fx;
  fx.dwSize = sizeof(DDBLTFX);
  return fx;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Canvas

TDirectDrawSurfaceCanvas::~TDirectDrawSurfaceCanvas() { Release(); }

void TDirectDrawSurfaceCanvas::CreateHandle() {
  win::HDC dc = nullptr;
  if (surface_->ISurface()->GetDC(&dc) == DD_OK) {
    dc_ = dc;
    SetHandle(dc);
  }
}

void TDirectDrawSurfaceCanvas::Release() {
  if (surface_->IDDSurface() && dc_) {
    SetHandle(nullptr);
    surface_->IDDSurface()->ReleaseDC(dc_);
    dc_ = nullptr;
  }
}

// ---------------------------------------------------------------------------------------------
// Surface

TDirectDrawSurface::TDirectDrawSurface(TDirectDraw* ADirectDraw) : ddraw_(ADirectDraw) {
  ddraw_->surfaces_.push_back(this);
}

TDirectDrawSurface::~TDirectDrawSurface() {
  canvas_.reset();
  Bind(nullptr);
  auto& list = ddraw_->surfaces_;
  const auto it = std::find(list.begin(), list.end(), this);
  if (it != list.end()) list.erase(it);
}

void TDirectDrawSurface::ReleaseInterfaces() {
  if (canvas_) canvas_->Release();
  // An outstanding lock goes with the surface.
  if (isurface_ && lock_count_ > 0) isurface_->Unlock(locked_desc_.lpSurface);
  if (gamma_) std::exchange(gamma_, nullptr)->Release();
  if (isurface7_) std::exchange(isurface7_, nullptr)->Release();
  if (isurface4_) std::exchange(isurface4_, nullptr)->Release();
  if (isurface_) std::exchange(isurface_, nullptr)->Release();
}

void TDirectDrawSurface::Bind(IDirectDrawSurface* Value) {
  if (Value && Value == isurface_) return;
  ReleaseInterfaces();
  key_mask_.reset();
  has_clipper_ = false;
  lock_count_ = 0;
  surface_desc_ = DDSURFACEDESC{};
  if (!Value) return;
  Value->AddRef();
  isurface_ = Value;
  Value->QueryInterface(IID_IDirectDrawSurface4, reinterpret_cast<void**>(&isurface4_));
  if (ddraw_->IDDraw7()) Value->QueryInterface(IID_IDirectDrawSurface7, reinterpret_cast<void**>(&isurface7_));
  IDirectDrawClipper* clipper = nullptr;
  if (Value->GetClipper(&clipper) == DD_OK && clipper) {
    has_clipper_ = true;
    clipper->Release();
  }
  surface_desc_.dwSize = sizeof(DDSURFACEDESC);
  Value->GetSurfaceDesc(&surface_desc_);
  if (ddraw_->DriverCaps().dwCaps2 & DDCAPS2_PRIMARYGAMMA)
    if (Value->QueryInterface(IID_IDirectDrawGammaControl, reinterpret_cast<void**>(&gamma_)) != DD_OK) gamma_ = nullptr;
}

bool TDirectDrawSurface::CreateSurface(const DDSURFACEDESC& SurfaceDesc) {
  Bind(nullptr);
  DDSURFACEDESC d = SurfaceDesc;
  IDirectDrawSurface* s = nullptr;
  ddraw_->SetLastResult(ddraw_->IDraw()->CreateSurface(&d, &s, nullptr));
  SetLastResult(ddraw_->LastResult());
  if (LastResult() != DD_OK || !s) return false;
  Bind(s);
  s->Release();
  SetTransparentColor(0);
  return true;
}

void TDirectDrawSurface::SetSize(int AWidth, int AHeight) {
  if (AWidth <= 0 || AHeight <= 0) {
    Bind(nullptr);
    return;
  }
  DDSURFACEDESC d;
  d.dwSize = sizeof(DDSURFACEDESC);
  d.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
  d.dwHeight = static_cast<win::DWORD>(AHeight);
  d.dwWidth = static_cast<win::DWORD>(AWidth);
  d.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | (system_memory_ ? DDSCAPS_SYSTEMMEMORY : 0);
  bool made = CreateSurface(d);
  if (!made && !(d.ddsCaps.dwCaps & DDSCAPS_SYSTEMMEMORY)) {
    d.ddsCaps.dwCaps = (d.ddsCaps.dwCaps & ~DDSCAPS_VIDEOMEMORY) | DDSCAPS_SYSTEMMEMORY;
    made = CreateSurface(d);
    if (made) system_memory_ = true;
  }
  if (!made) throw EDirectDrawSurfaceError(fw::Format(SCannotMade, std::string(SSurface)));
}

void TDirectDrawSurface::LoadFromGraphic(fw::TGraphic* Graphic) {
  LoadFromGraphicRect(Graphic, 0, 0, fw::TRect{0, 0, Graphic->Width(), Graphic->Height()});
}

void TDirectDrawSurface::LoadFromGraphicRect(fw::TGraphic* Graphic, int AWidth, int AHeight, const fw::TRect& SrcRect) {
  const int rw = SrcRect.right - SrcRect.left, rh = SrcRect.bottom - SrcRect.top;
  if (AWidth == 0) AWidth = rw;
  if (AHeight == 0) AHeight = rh;
  SetSize(AWidth, AHeight);
  TDirectDrawSurfaceCanvas* canvas = Canvas();
  CanvasReleaser release(canvas);
  if (auto* dib = dynamic_cast<TDIB*>(Graphic)) {
    gdi::StretchBlt(canvas->Handle(), 0, 0, AWidth, AHeight, dib->Canvas()->Handle(), SrcRect.left, SrcRect.top, rw,
                    rh, SRCCOPY_ROP);
  } else if (AWidth == rw && AHeight == rh) {
    canvas->Draw(-SrcRect.left, -SrcRect.top, Graphic);
  } else {
    TDIB temp;
    temp.SetSize(rw, rh, 24);
    temp.Canvas()->Draw(-SrcRect.left, -SrcRect.top, Graphic);
    canvas->StretchDraw(fw::TRect{0, 0, AWidth, AHeight}, &temp);
  }
}

void TDirectDrawSurface::Assign(fw::TPersistent* Source) {
  if (!Source) {
    Bind(nullptr);
  } else if (auto* graphic = dynamic_cast<fw::TGraphic*>(Source)) {
    LoadFromGraphic(graphic);
  } else if (auto* picture = dynamic_cast<fw::TPicture*>(Source)) {
    LoadFromGraphic(picture->Graphic());
  } else if (auto* other = dynamic_cast<TDirectDrawSurface*>(Source)) {
    if (other->isurface_) {
      IDirectDrawSurface* dup = nullptr;
      ddraw_->SetLastResult(ddraw_->IDraw()->DuplicateSurface(other->isurface_, &dup));
      SetLastResult(ddraw_->LastResult());
      if (LastResult() == DD_OK && dup) {
        Bind(dup);
        dup->Release();
      }
    } else {
      Bind(nullptr);
    }
  } else {
    TDirectX::Assign(Source);
  }
}

void TDirectDrawSurface::AssignTo(fw::TPersistent* Dest) {
  if (auto* dib = dynamic_cast<TDIB*>(Dest)) {
    dib->SetSize(Width(), Height(), 24);
    TDirectDrawSurfaceCanvas* canvas = Canvas();
    CanvasReleaser release(canvas);
    dib->Canvas()->CopyRect(ClientRect(), *canvas, ClientRect());
  } else {
    TDirectX::AssignTo(Dest);
  }
}

bool TDirectDrawSurface::Blt(const fw::TRect* DestRect, const fw::TRect* SrcRect, win::DWORD Flags, const DDBLTFX& DF,
                             TDirectDrawSurface* Source) {
  if (!isurface_) return false;
  win::RECT d = DestRect ? *DestRect : win::RECT{};
  win::RECT s = SrcRect ? *SrcRect : win::RECT{};
  DDBLTFX fx = DF;
  SetLastResult(isurface_->Blt(DestRect ? &d : nullptr, Source ? Source->isurface_ : nullptr, SrcRect ? &s : nullptr,
                               Flags, &fx));
  return LastResult() == DD_OK;
}

bool TDirectDrawSurface::BltFast(int X, int Y, const fw::TRect& SrcRect, win::DWORD Flags, TDirectDrawSurface* Source) {
  if (!isurface_) return false;
  win::RECT s = SrcRect;
  SetLastResult(isurface_->BltFast(static_cast<win::DWORD>(X), static_cast<win::DWORD>(Y),
                                   Source ? Source->isurface_ : nullptr, &s, Flags));
  return LastResult() == DD_OK;
}

namespace {

// The pixels of a surface locked whole.
pixels::PixelView LockedView(const DDSURFACEDESC& d, int width, int height) {
  return pixels::PixelView{static_cast<std::uint8_t*>(d.lpSurface), d.lPitch, width, height,
                           d.ddpfPixelFormat.dwRGBBitCount};
}

}  // namespace

void TDirectDrawSurface::Draw(int X, int Y, fw::TRect SrcRect, TDirectDrawSurface* Source, bool Transparent) {
  const win::DWORD fastFlags = Transparent ? (DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT) : DDBLTFAST_WAIT;
  const win::DWORD bltFlags = Transparent ? (DDBLT_WAIT | DDBLT_KEYSRC) : DDBLT_WAIT;
  if (!Source || X > Width() || Y > Height()) return;
  fw::TRect& R = SrcRect;
  if (R.right >= R.left && R.bottom >= R.top) {
    fw::TRect D{X, Y, X + (R.right - R.left), Y + (R.bottom - R.top)};
    if (!pixels::ClipCopy(D, R, ClientRect(), Source->ClientRect())) return;
    if (has_clipper_) {
      Blt(&D, &R, bltFlags, EmptyFX(), Source);
    } else if (!BltFast(D.left, D.top, R, fastFlags, Source) && LastResult() == DDERR_BLTFASTCANTCLIP) {
      IDirectDrawClipper* clipper = nullptr;
      if (isurface_ && isurface_->GetClipper(&clipper) == DD_OK && clipper) {
        has_clipper_ = true;
        clipper->Release();
      }
      Blt(&D, &R, bltFlags, EmptyFX(), Source);
    }
    return;
  }
  if (std::abs(R.left - R.right) + X <= 0 || std::abs(R.top - R.bottom) + Y <= 0) return;
  win::DWORD effects = 0;
  if (R.right < R.left) {
    std::swap(R.left, R.right);
    effects |= DDBLTFX_MIRRORLEFTRIGHT;
  }
  if (R.bottom < R.top) {
    std::swap(R.top, R.bottom);
    effects |= DDBLTFX_MIRRORUPDOWN;
  }
  fw::TRect D{X, Y, X + (R.right - R.left), Y + (R.bottom - R.top)};
  if (!pixels::ClipCopy(D, R, ClientRect(), Source->ClientRect())) return;
  if (effects & DDBLTFX_MIRRORLEFTRIGHT) {
    const int l = R.left, r = R.right;
    R.left = Source->Width() - r;
    R.right = Source->Width() - l;
  }
  if (effects & DDBLTFX_MIRRORUPDOWN) {
    const int t = R.top, b = R.bottom;
    R.top = Source->Height() - b;
    R.bottom = Source->Height() - t;
  }
  DDBLTFX fx = EmptyFX();
  fx.dwDDFX = effects;
  Blt(&D, &R, bltFlags | DDBLT_DDFX, fx, Source);
}

bool TDirectDrawSurface::Fill(std::uint32_t DevColor) {
  DDBLTFX fx = EmptyFX();
  fx.dwFillColor = DevColor;
  return Blt(nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, fx, nullptr);
}

bool TDirectDrawSurface::Lock(const fw::TRect* Rect, DDSURFACEDESC& SurfaceDesc) {
  if (!isurface_ || lock_count_ > 0) return false;
  locked_desc_ = DDSURFACEDESC{};
  locked_desc_.dwSize = sizeof(DDSURFACEDESC);
  win::RECT r = Rect ? *Rect : win::RECT{};
  const bool part = Rect && !(r == ClientRect());
  SetLastResult(isurface_->Lock(part ? &r : nullptr, &locked_desc_, DDLOCK_WAIT, nullptr));
  if (LastResult() != DD_OK) return false;
  ++lock_count_;
  SurfaceDesc = locked_desc_;
  return true;
}

void TDirectDrawSurface::Unlock() {
  if (!isurface_ || lock_count_ <= 0) return;
  if (--lock_count_ == 0) SetLastResult(isurface_->Unlock(locked_desc_.lpSurface));
}

std::uint32_t TDirectDrawSurface::Pixels(int X, int Y) {
  if (!isurface_ || X < 0 || X >= Width() || Y < 0 || Y >= Height()) return 0;
  DDSURFACEDESC d;
  if (!Lock(nullptr, d)) return 0;
  const pixels::PixelView view = LockedView(d, Width(), Height());
  const std::uint32_t v = pixels::GetPixel(view, X, Y);
  Unlock();
  return v;
}

void TDirectDrawSurface::SetPixels(int X, int Y, std::uint32_t Value) {
  if (!isurface_ || X < 0 || X >= Width() || Y < 0 || Y >= Height()) return;
  DDSURFACEDESC d;
  if (!Lock(nullptr, d)) return;
  const pixels::PixelView view = LockedView(d, Width(), Height());
  // One bit per pixel: any value but 0 sets it.
  pixels::PutPixel(view, X, Y, view.BitCount == 1 ? (Value != 0 ? 1u : 0u) : Value);
  Unlock();
}

std::uint32_t TDirectDrawSurface::MatchColor(fw::TColor Color) {
  if (!isurface_) return 0;
  const std::uint32_t old = Pixels(0, 0);
  const fw::TColor rgb = fw::ColorToRGB(Color);
  {
    TDIB dib;
    dib.SetSize(1, 1, 8);
    dib.ColorTable()[0] = win::RGBQUAD{win::GetBValue(static_cast<win::COLORREF>(rgb)),
                                       win::GetGValue(static_cast<win::COLORREF>(rgb)),
                                       win::GetRValue(static_cast<win::COLORREF>(rgb)), 0};
    dib.UpdatePalette();
    dib.SetPixel(0, 0, 0);
    TDirectDrawSurfaceCanvas* canvas = Canvas();
    CanvasReleaser release(canvas);
    canvas->Draw(0, 0, &dib);
  }
  const std::uint32_t result = Pixels(0, 0);
  SetPixels(0, 0, old);
  return result;
}

void TDirectDrawSurface::SetTransparentColor(std::uint32_t Col) {
  DDCOLORKEY key{Col, Col};
  SetColorKey(DDCKEY_SRCBLT, key);
}

void TDirectDrawSurface::SetColorKey(win::DWORD Flags, const DDCOLORKEY& Value) {
  if (!isurface_) return;
  DDCOLORKEY key = Value;
  SetLastResult(isurface_->SetColorKey(Flags, &key));
}

void TDirectDrawSurface::SetClipper(TDirectDrawClipper* Value) {
  if (!isurface_) return;
  SetLastResult(isurface_->SetClipper(Value ? Value->IDDClipper() : nullptr));
  has_clipper_ = Value && LastResult() == DD_OK;
}

void TDirectDrawSurface::SetPalette(TDirectDrawPalette* Value) {
  if (!isurface_) return;
  SetLastResult(isurface_->SetPalette(Value ? Value->IDDPalette() : nullptr));
}

bool TDirectDrawSurface::Restore() {
  if (!isurface_) return false;
  SetLastResult(isurface_->Restore());
  return LastResult() == DD_OK;
}

TDirectDrawSurfaceCanvas* TDirectDrawSurface::Canvas() {
  if (!canvas_) canvas_ = std::make_unique<TDirectDrawSurfaceCanvas>(this);
  return canvas_.get();
}

IDirectDrawSurface* TDirectDrawSurface::ISurface() const {
  if (!isurface_) throw EDirectDrawSurfaceError(fw::Format(SNotMade, std::string("IDirectDrawSurface")));
  return isurface_;
}

IDirectDrawSurface4* TDirectDrawSurface::ISurface4() const {
  if (!isurface4_) throw EDirectDrawSurfaceError(fw::Format(SNotMade, std::string("IDirectDrawSurface4")));
  return isurface4_;
}

IDirectDrawSurface7* TDirectDrawSurface::ISurface7() const {
  if (!isurface7_) throw EDirectDrawSurfaceError(fw::Format(SNotMade, std::string("IDirectDrawSurface7")));
  return isurface7_;
}

}  // namespace dx
