// Palettes: their entries, and showing a change of them at once.
#include <algorithm>

#include "platform/ddraw/DDrawInternal.h"

namespace ddraw::detail {

PaletteObject::PaletteObject(DWORD caps, const PALETTEENTRY* entries, DWORD count) : caps_(caps), count_(count) {
  std::copy(entries, entries + count, entries_);
}

HRESULT PaletteObject::QueryInterface(REFIID riid, void** object) {
  if (!object) return DDERR_INVALIDPARAMS;
  *object = nullptr;
  if (!(riid == IID_IUnknown) && !(riid == IID_IDirectDrawPalette)) return win::E_NOINTERFACE;
  AddRef();
  *object = static_cast<IDirectDrawPalette*>(this);
  return DD_OK;
}

HRESULT PaletteObject::GetCaps(DWORD* caps) {
  if (!caps) return DDERR_INVALIDPARAMS;
  *caps = caps_;
  return DD_OK;
}

HRESULT PaletteObject::GetEntries(DWORD flags, DWORD base, DWORD count, PALETTEENTRY* entries) {
  if (flags != 0 || !entries || base > count_ || count > count_ - base) return DDERR_INVALIDPARAMS;
  std::copy(entries_ + base, entries_ + base + count, entries);
  return DD_OK;
}

HRESULT PaletteObject::Initialize(IUnknown* directDraw, DWORD flags, PALETTEENTRY* entries) {
  (void)directDraw, (void)flags, (void)entries;
  return DDERR_ALREADYINITIALIZED;
}

HRESULT PaletteObject::SetEntries(DWORD flags, DWORD start, DWORD count, const PALETTEENTRY* entries) {
  if (flags != 0 || !entries || start > count_ || count > count_ - start) return DDERR_INVALIDPARAMS;
  std::copy(entries, entries + count, entries_ + start);
  // What shows through this palette changes colour at once.
  for (SurfaceObject* s : Users)
    if (s->Visible()) PresentBuffer(s->Adapter(), *s->Memory(), nullptr, this);
  return DD_OK;
}

}  // namespace ddraw::detail
