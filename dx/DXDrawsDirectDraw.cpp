// The DirectDraw object, palettes and clippers.
#include <algorithm>
#include <utility>

#include "dx/DXConsts.h"
#include "dx/DXDraws.h"
#include "framework/ClassBuilder.h"
#include "framework/SysUtils.h"

namespace dx {

FW_REGISTER(TDirectDraw, nullptr)
FW_REGISTER(TDirectDrawPalette, nullptr)
FW_REGISTER(TDirectDrawClipper, nullptr)

namespace {

template <class T>
void Forget(std::vector<T*>& list, T* item) {
  const auto it = std::find(list.begin(), list.end(), item);
  if (it != list.end()) list.erase(it);
}

template <class T>
void SafeRelease(T*& p) {
  if (p) std::exchange(p, nullptr)->Release();
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TDirectDraw

TDirectDraw::TDirectDraw(win::GUID* GUID) : TDirectDraw(GUID, true) {}

TDirectDraw::TDirectDraw(win::GUID* GUID, bool DirectX7Mode) {
  try {
    Open(GUID, DirectX7Mode);
  } catch (...) {
    ReleaseInterfaces();
    throw;
  }
}

void TDirectDraw::Open(win::GUID* GUID, bool DirectX7Mode) {
  using namespace ddraw;
  if (DirectX7Mode) {
    auto create = kernel::ProcAs<LPDIRECTDRAWCREATEEX>(LoadProc("DDraw.dll", "DirectDrawCreateEx"));
    void* dd7 = nullptr;
    SetLastResult(create(GUID, &dd7, IID_IDirectDraw7, nullptr));
    if (LastResult() != DD_OK || !dd7)
      throw EDirectDrawError(fw::Format(SCannotInitialized, std::string(SDirectDraw)));
    idraw7_ = static_cast<IDirectDraw7*>(dd7);
    if (idraw7_->QueryInterface(IID_IDirectDraw, reinterpret_cast<void**>(&idraw_)) != DD_OK ||
        idraw7_->QueryInterface(IID_IDirectDraw4, reinterpret_cast<void**>(&idraw4_)) != DD_OK)
      throw EDirectDrawError(SSinceDirectX7);
  } else {
    auto create = kernel::ProcAs<LPDIRECTDRAWCREATE>(LoadProc("DDraw.dll", "DirectDrawCreate"));
    SetLastResult(create(GUID, &idraw_, nullptr));
    if (LastResult() != DD_OK || !idraw_)
      throw EDirectDrawError(fw::Format(SCannotInitialized, std::string(SDirectDraw)));
    if (idraw_->QueryInterface(IID_IDirectDraw4, reinterpret_cast<void**>(&idraw4_)) != DD_OK)
      throw EDirectDrawError(SSinceDirectX6);
  }
  driver_caps_.dwSize = sizeof(DDCAPS);
  hel_caps_.dwSize = sizeof(DDCAPS);
  idraw_->GetCaps(&driver_caps_, &hel_caps_);
}

TDirectDraw::~TDirectDraw() {
  // Whatever is still made on this object goes with it: surfaces first (the last made first),
  // then palettes, then clippers. Each takes itself out of its list as it goes.
  while (!surfaces_.empty()) delete surfaces_.back();
  while (!palettes_.empty()) delete palettes_.back();
  while (!clippers_.empty()) delete clippers_.back();
  ReleaseInterfaces();
}

void TDirectDraw::ReleaseInterfaces() {
  SafeRelease(idraw7_);
  SafeRelease(idraw4_);
  SafeRelease(idraw_);
}

ddraw::IDirectDraw* TDirectDraw::IDraw() const {
  if (!idraw_) throw EDirectDrawError(fw::Format(SNotMade, std::string("IDirectDraw")));
  return idraw_;
}

ddraw::IDirectDraw4* TDirectDraw::IDraw4() const {
  if (!idraw4_) throw EDirectDrawError(fw::Format(SNotMade, std::string("IDirectDraw4")));
  return idraw4_;
}

ddraw::IDirectDraw7* TDirectDraw::IDraw7() const {
  if (!idraw7_) throw EDirectDrawError(fw::Format(SNotMade, std::string("IDirectDraw7")));
  return idraw7_;
}

// ---------------------------------------------------------------------------------------------
// TDirectDrawPalette

TDirectDrawPalette::TDirectDrawPalette(TDirectDraw* ADirectDraw) : ddraw_(ADirectDraw) {
  ddraw_->palettes_.push_back(this);
}

TDirectDrawPalette::~TDirectDrawPalette() {
  SafeRelease(ipalette_);
  Forget(ddraw_->palettes_, this);
}

bool TDirectDrawPalette::CreatePalette(win::DWORD Caps, const win::PALETTEENTRY (&Entries)[256]) {
  SafeRelease(ipalette_);
  win::PALETTEENTRY copy[256];
  std::copy(Entries, Entries + 256, copy);
  ddraw::IDirectDrawPalette* p = nullptr;
  ddraw_->SetLastResult(ddraw_->IDraw()->CreatePalette(Caps, copy, &p, nullptr));
  SetLastResult(ddraw_->LastResult());
  if (LastResult() == ddraw::DD_OK) ipalette_ = p;
  return LastResult() == ddraw::DD_OK;
}

bool TDirectDrawPalette::SetEntries(int StartIndex, int NumEntries, const win::PALETTEENTRY* Entries) {
  if (!ipalette_) return false;
  SetLastResult(ipalette_->SetEntries(0, static_cast<win::DWORD>(StartIndex), static_cast<win::DWORD>(NumEntries), Entries));
  return LastResult() == ddraw::DD_OK;
}

bool TDirectDrawPalette::GetEntries(int StartIndex, int NumEntries, win::PALETTEENTRY* Entries) {
  if (!ipalette_) return false;
  SetLastResult(ipalette_->GetEntries(0, static_cast<win::DWORD>(StartIndex), static_cast<win::DWORD>(NumEntries), Entries));
  return LastResult() == ddraw::DD_OK;
}

ddraw::IDirectDrawPalette* TDirectDrawPalette::IPalette() const {
  if (!ipalette_) throw EDirectDrawPaletteError(fw::Format(SNotMade, std::string("IDirectDrawPalette")));
  return ipalette_;
}

// ---------------------------------------------------------------------------------------------
// TDirectDrawClipper

TDirectDrawClipper::TDirectDrawClipper(TDirectDraw* ADirectDraw) : ddraw_(ADirectDraw) {
  ddraw_->clippers_.push_back(this);
  ddraw::IDirectDrawClipper* c = nullptr;
  ddraw_->SetLastResult(ddraw_->IDraw()->CreateClipper(0, &c, nullptr));
  if (ddraw_->LastResult() != ddraw::DD_OK) {
    Forget(ddraw_->clippers_, this);
    throw EDirectDrawClipperError(fw::Format(SCannotMade, std::string(SClipper)));
  }
  iclipper_ = c;
}

TDirectDrawClipper::~TDirectDrawClipper() {
  SafeRelease(iclipper_);
  Forget(ddraw_->clippers_, this);
}

void TDirectDrawClipper::SetWindow(win::HWND Value) { SetLastResult(IClipper()->SetHWnd(0, Value)); }

ddraw::IDirectDrawClipper* TDirectDrawClipper::IClipper() const {
  if (!iclipper_) throw EDirectDrawClipperError(fw::Format(SNotMade, std::string("IDirectDrawClipper")));
  return iclipper_;
}

}  // namespace dx
