// Surfaces: blits, fills, flips, locks, device contexts, colour keys, attachments, loss and
// restoring.
#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/ddraw/DDrawInternal.h"
#include "platform/mm/MMSystem.h"
#include "platform/gdi/Gdi.h"

namespace ddraw::detail {

namespace {

using pixels::Inside;
using pixels::Intersect;
using pixels::IsEmpty;
using pixels::Union;
using pixels::ValueMask;

blit::KeyRange KeyFor(const DDCOLORKEY& k, DWORD bits) {
  const DWORD mask = ValueMask(bits);
  return blit::KeyRange{k.dwColorSpaceLowValue & mask, k.dwColorSpaceHighValue & mask};
}

}  // namespace

SurfaceObject::SurfaceObject(DirectDrawObject* owner, const DDSURFACEDESC2& desc, std::shared_ptr<Buffer> memory)
    : owner_(owner), held_(owner), adapter_(owner->Adapter()), desc_(desc), memory_(std::move(memory)) {
  held_->Hold();
  owner_->Adopt(this);
  adapter_->Surfaces.push_back(this);
  created_mode_ = adapter_->Mode;
}

SurfaceObject::~SurfaceObject() { held_->Unhold(); }

SurfaceObject* SurfaceObject::From(IUnknown* any) { return any ? dynamic_cast<SurfaceObject*>(any) : nullptr; }

void SurfaceObject::DetachEverything() {
  if (dc_) {
    gdi::DeleteDC(dc_);
    dc_ = nullptr;
  }
  if (palette_) {
    auto& users = palette_->Users;
    users.erase(std::remove(users.begin(), users.end(), this), users.end());
    std::exchange(palette_, nullptr)->Release();
  }
  if (clipper_) std::exchange(clipper_, nullptr)->Release();
  for (SurfaceObject* s : std::exchange(attached_, {})) s->Release();
  std::vector<SurfaceObject*> chain = std::exchange(chain_, {});
  for (std::size_t i = 1; i < chain.size(); ++i) {
    chain[i]->front_ = nullptr;
    chain[i]->Release();
  }
}

void SurfaceObject::LastReleased() {
  DetachEverything();
  auto& list = adapter_->Surfaces;
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
  if (owner_) owner_->Forget(this);
}

HRESULT SurfaceObject::QueryInterface(REFIID riid, void** object) {
  if (!object) return DDERR_INVALIDPARAMS;
  *object = nullptr;
  const AdapterConfig& c = adapter_->Config;
  if (riid == IID_IUnknown || riid == IID_IDirectDrawSurface) {
    *object = V1();
  } else if (riid == IID_IDirectDrawSurface4 && c.HasDirectDraw4) {
    *object = V4();
  } else if (riid == IID_IDirectDrawSurface7 && c.HasDirectDraw7) {
    *object = V7();
  } else if (riid == IID_IDirectDrawGammaControl && IsPrimary() && (c.DriverCaps.dwCaps2 & DDCAPS2_PRIMARYGAMMA)) {
    *object = static_cast<IDirectDrawGammaControl*>(this);
  } else {
    return win::E_NOINTERFACE;
  }
  AddRef();
  return DD_OK;
}

void SurfaceObject::MakeChain(std::vector<SurfaceObject*> backs) {
  chain_.clear();
  chain_.push_back(this);
  front_ = this;
  for (SurfaceObject* b : backs) {
    b->front_ = this;
    chain_.push_back(b);
  }
}

SurfaceObject* SurfaceObject::Duplicate() {
  auto* d = new SurfaceObject(owner_ ? owner_ : held_, desc_, memory_);
  d->src_key_ = src_key_;
  d->dest_key_ = dest_key_;
  d->has_src_key_ = has_src_key_;
  d->has_dest_key_ = has_dest_key_;
  d->lost_ = lost_;
  return d;
}

bool SurfaceObject::Visible() const { return IsPrimary() && !lost_ && adapter_->IsPrimaryDriver; }

pixels::PixelView SurfaceObject::View() const {
  return pixels::PixelView{memory_->Memory.get(), memory_->Pitch, static_cast<LONG>(desc_.dwWidth),
                         static_cast<LONG>(desc_.dwHeight), desc_.ddpfPixelFormat.dwRGBBitCount};
}

const blit::KeySpans* SurfaceObject::SpansFor(const blit::KeyRange& key) {
  const pixels::PixelView v = View();
  if (spans_ && spans_->Describes(v, memory_->Version, key)) return spans_.get();
  // Contents drawn once are not worth the scan; contents drawn again and again are.
  if (keyed_version_ != memory_->Version) {
    keyed_version_ = memory_->Version;
    keyed_blits_ = 0;
  }
  if (++keyed_blits_ < 2) return nullptr;
  if (!spans_) spans_ = std::make_unique<blit::KeySpans>();
  blit::BuildSpans(v, memory_->Version, key, *spans_);
  return spans_.get();
}

void SurfaceObject::Touched(const RECT* changed) {
  ++uniqueness_;
  ++memory_->Version;
  if (Visible()) PresentBuffer(*adapter_, *memory_, changed, palette_);
}

void SurfaceObject::FillDesc(DDSURFACEDESC2& d) const {
  const DWORD size = d.dwSize;
  d = desc_;
  d.dwSize = size;
  d.lPitch = memory_->Pitch;
  d.lpSurface = nullptr;
  if (has_src_key_) {
    d.dwFlags |= DDSD_CKSRCBLT;
    d.ddckCKSrcBlt = src_key_;
  }
  if (has_dest_key_) {
    d.dwFlags |= DDSD_CKDESTBLT;
    d.ddckCKDestBlt = dest_key_;
  }
}

// --- blits -----------------------------------------------------------------------------------

HRESULT SurfaceObject::BltImpl(RECT* destRect, SurfaceObject* src, RECT* sourceRect, DWORD flags, DDBLTFX* fx) {
  if (lost_) return DDERR_SURFACELOST;
  if (Busy()) return DDERR_SURFACEBUSY;
  constexpr DWORD needsFx = DDBLT_COLORFILL | DDBLT_DEPTHFILL | DDBLT_DDFX | DDBLT_ROP | DDBLT_KEYSRCOVERRIDE |
                            DDBLT_KEYDESTOVERRIDE | DDBLT_ROTATIONANGLE;
  if (flags & needsFx) {
    if (!fx || fx->dwSize != sizeof(DDBLTFX)) return DDERR_INVALIDPARAMS;
  }
  if (flags & (DDBLT_ROTATIONANGLE | DDBLT_ZBUFFER | DDBLT_DDROPS)) return DDERR_UNSUPPORTED;
  if ((flags & DDBLT_ROP) && fx->dwROP != SRCCOPY_ROP) return DDERR_UNSUPPORTED;

  const LONG w = static_cast<LONG>(desc_.dwWidth), h = static_cast<LONG>(desc_.dwHeight);
  const RECT whole{0, 0, w, h};
  RECT dr = destRect ? *destRect : whole;
  if (dr.left >= dr.right || dr.top >= dr.bottom) return DDERR_INVALIDRECT;
  std::vector<RECT> clips;
  if (clipper_) {
    if (!clipper_->ClipRects(w, h, clips)) return DDERR_NOCLIPLIST;
  } else {
    if (!Inside(dr, w, h)) return DDERR_INVALIDRECT;
    clips.push_back(whole);
  }
  const pixels::PixelView dv = View();
  const DWORD bits = desc_.ddpfPixelFormat.dwRGBBitCount;

  RECT changed{};
  if (flags & (DDBLT_COLORFILL | DDBLT_DEPTHFILL)) {
    const DWORD value = (flags & DDBLT_COLORFILL) ? fx->dwFillColor : fx->dwFillDepth;
    for (const RECT& c : clips) {
      const RECT r = Intersect(Intersect(c, dr), whole);
      if (IsEmpty(r)) continue;
      pixels::Fill(dv, r, value & ValueMask(bits));
      changed = Union(changed, r);
    }
    Touched(&changed);
    return DD_OK;
  }

  if (!src) return DDERR_INVALIDPARAMS;
  if (src->lost_) return DDERR_SURFACELOST;
  if (src != this && src->Busy()) return DDERR_SURFACEBUSY;
  const LONG sw = static_cast<LONG>(src->desc_.dwWidth), sh = static_cast<LONG>(src->desc_.dwHeight);
  const RECT sr = sourceRect ? *sourceRect : RECT{0, 0, sw, sh};
  if (!Inside(sr, sw, sh)) return DDERR_INVALIDRECT;
  if (!SameFormat(desc_.ddpfPixelFormat, src->desc_.ddpfPixelFormat)) return DDERR_INVALIDPIXELFORMAT;

  blit::BltParams p;
  p.Dest = dr;
  p.Source = sr;
  blit::KeyRange srcKey, destKey;
  if (flags & DDBLT_KEYSRCOVERRIDE) {
    srcKey = KeyFor(fx->ddckSrcColorkey, bits);
    p.SourceKey = &srcKey;
  } else if (flags & DDBLT_KEYSRC) {
    if (!src->has_src_key_) return DDERR_NOCOLORKEY;
    srcKey = KeyFor(src->src_key_, bits);
    p.SourceKey = &srcKey;
  }
  if (flags & DDBLT_KEYDESTOVERRIDE) {
    destKey = KeyFor(fx->ddckDestColorkey, bits);
    p.DestKey = &destKey;
  } else if (flags & DDBLT_KEYDEST) {
    if (!has_dest_key_) return DDERR_NOCOLORKEY;
    destKey = KeyFor(dest_key_, bits);
    p.DestKey = &destKey;
  }
  if (flags & DDBLT_DDFX) {
    if (fx->dwDDFX & ~(DDBLTFX_MIRRORLEFTRIGHT | DDBLTFX_MIRRORUPDOWN | DDBLTFX_ROTATE180 | DDBLTFX_NOTEARING |
                       DDBLTFX_ARITHSTRETCHY))
      return DDERR_UNSUPPORTED;
    const bool rotate = (fx->dwDDFX & DDBLTFX_ROTATE180) != 0;
    p.MirrorLeftRight = ((fx->dwDDFX & DDBLTFX_MIRRORLEFTRIGHT) != 0) != rotate;
    p.MirrorUpDown = ((fx->dwDDFX & DDBLTFX_MIRRORUPDOWN) != 0) != rotate;
  }
  const pixels::PixelView sv = src->View();
  if (p.SourceKey && src != this && !p.DestKey && !p.MirrorLeftRight && !p.MirrorUpDown) p.SourceSpans = src->SpansFor(*p.SourceKey);
  for (const RECT& c : clips) {
    const RECT r = Intersect(Intersect(c, dr), whole);
    if (IsEmpty(r)) continue;
    p.Clip = r;
    blit::Blit(dv, sv, p);
    changed = Union(changed, r);
  }
  Touched(&changed);
  return DD_OK;
}

HRESULT SurfaceObject::BltFastImpl(DWORD x, DWORD y, SurfaceObject* src, RECT* sourceRect, DWORD flags) {
  if (lost_) return DDERR_SURFACELOST;
  if (clipper_) return DDERR_BLTFASTCANTCLIP;
  if (Busy()) return DDERR_SURFACEBUSY;
  if (!src) return DDERR_INVALIDPARAMS;
  if (src->lost_) return DDERR_SURFACELOST;
  if (src != this && src->Busy()) return DDERR_SURFACEBUSY;
  if ((flags & DDBLTFAST_SRCCOLORKEY) && (flags & DDBLTFAST_DESTCOLORKEY)) return DDERR_INVALIDPARAMS;
  const LONG sw = static_cast<LONG>(src->desc_.dwWidth), sh = static_cast<LONG>(src->desc_.dwHeight);
  const RECT sr = sourceRect ? *sourceRect : RECT{0, 0, sw, sh};
  if (!Inside(sr, sw, sh)) return DDERR_INVALIDRECT;
  const LONG w = static_cast<LONG>(desc_.dwWidth), h = static_cast<LONG>(desc_.dwHeight);
  if (x > static_cast<DWORD>(w) || y > static_cast<DWORD>(h)) return DDERR_INVALIDRECT;
  const RECT dr{static_cast<LONG>(x), static_cast<LONG>(y), static_cast<LONG>(x) + pixels::Width(sr),
                static_cast<LONG>(y) + pixels::Height(sr)};
  if (!Inside(dr, w, h)) return DDERR_INVALIDRECT;
  if (!SameFormat(desc_.ddpfPixelFormat, src->desc_.ddpfPixelFormat)) return DDERR_INVALIDPIXELFORMAT;
  const DWORD bits = desc_.ddpfPixelFormat.dwRGBBitCount;
  if (flags & DDBLTFAST_DESTCOLORKEY) {
    if (!has_dest_key_) return DDERR_NOCOLORKEY;
    blit::BltParams p;
    p.Dest = p.Clip = dr;
    p.Source = sr;
    const blit::KeyRange k = KeyFor(dest_key_, bits);
    p.DestKey = &k;
    blit::Blit(View(), src->View(), p);
  } else if (flags & DDBLTFAST_SRCCOLORKEY) {
    if (!src->has_src_key_) return DDERR_NOCOLORKEY;
    const blit::KeyRange k = KeyFor(src->src_key_, bits);
    blit::Copy(View(), dr.left, dr.top, src->View(), sr, &k, src == this ? nullptr : src->SpansFor(k));
  } else {
    blit::Copy(View(), dr.left, dr.top, src->View(), sr, nullptr);
  }
  Touched(&dr);
  return DD_OK;
}

HRESULT SurfaceObject::Blt(RECT* d, IDirectDrawSurface* s, RECT* r, DWORD f, DDBLTFX* fx) {
  return BltImpl(d, From(s), r, f, fx);
}
HRESULT SurfaceObject::Blt(RECT* d, IDirectDrawSurface4* s, RECT* r, DWORD f, DDBLTFX* fx) {
  return BltImpl(d, From(s), r, f, fx);
}
HRESULT SurfaceObject::Blt(RECT* d, IDirectDrawSurface7* s, RECT* r, DWORD f, DDBLTFX* fx) {
  return BltImpl(d, From(s), r, f, fx);
}
HRESULT SurfaceObject::BltFast(DWORD x, DWORD y, IDirectDrawSurface* s, RECT* r, DWORD f) {
  return BltFastImpl(x, y, From(s), r, f);
}
HRESULT SurfaceObject::BltFast(DWORD x, DWORD y, IDirectDrawSurface4* s, RECT* r, DWORD f) {
  return BltFastImpl(x, y, From(s), r, f);
}
HRESULT SurfaceObject::BltFast(DWORD x, DWORD y, IDirectDrawSurface7* s, RECT* r, DWORD f) {
  return BltFastImpl(x, y, From(s), r, f);
}

HRESULT SurfaceObject::GetBltStatus(DWORD flags) {
  if (flags != DDGBS_CANBLT && flags != DDGBS_ISBLTDONE) return DDERR_INVALIDPARAMS;
  return lost_ ? DDERR_SURFACELOST : DD_OK;
}

// --- flipping --------------------------------------------------------------------------------

HRESULT SurfaceObject::FlipImpl(SurfaceObject* target, DWORD flags) {
  if (front_ != this || chain_.size() < 2) return DDERR_NOTFLIPPABLE;
  for (SurfaceObject* s : chain_) {
    if (s->lost_) return DDERR_SURFACELOST;
    if (s->Busy()) return DDERR_SURFACEBUSY;
  }
  if (IsPrimary() && owner_ && (adapter_->Exclusive != owner_ || !adapter_->ExclusiveActive))
    return DDERR_NOEXCLUSIVEMODE;
  // The screen shows a flipped buffer from the next retrace on, and the buffer it replaces stays
  // in use until then: a second flip before that retrace waits for it (or is refused without
  // DDFLIP_WAIT). This is what keeps a frame loop to the display's rate.
  const bool vsync = IsPrimary() && owner_ && !(flags & DDFLIP_NOVSYNC);
  if (vsync) {
    AdapterState& a = *adapter_;
    const Refresh r(RefreshRate(a));
    const double now = mm::timeGetTime();
    const double ahead = a.FlipDue - now;
    // A due time further away than one frame belongs to a clock that wrapped or was set back.
    if (a.FlipPending && ahead > 0 && ahead <= r.Period + 1e-6) {
      if (!(flags & DDFLIP_WAIT)) return DDERR_WASSTILLDRAWING;
      WaitUntil(a.FlipDue, now);
    }
    const double shown = mm::timeGetTime();
    a.FlipDue = r.NextRetrace(shown);
    a.FlipPending = true;
  }
  if (target) {
    const auto it = std::find(chain_.begin() + 1, chain_.end(), target);
    if (it == chain_.end()) return DDERR_INVALIDPARAMS;
    std::swap(memory_, (*it)->memory_);
  } else {
    std::shared_ptr<Buffer> first = memory_;
    for (std::size_t i = 0; i + 1 < chain_.size(); ++i) chain_[i]->memory_ = chain_[i + 1]->memory_;
    chain_.back()->memory_ = std::move(first);
  }
  for (SurfaceObject* s : chain_) ++s->uniqueness_;
  if (Visible()) PresentBuffer(*adapter_, *memory_, nullptr, palette_);
  return DD_OK;
}

HRESULT SurfaceObject::Flip(IDirectDrawSurface* t, DWORD f) { return FlipImpl(t ? From(t) : nullptr, f); }
HRESULT SurfaceObject::Flip(IDirectDrawSurface4* t, DWORD f) { return FlipImpl(t ? From(t) : nullptr, f); }
HRESULT SurfaceObject::Flip(IDirectDrawSurface7* t, DWORD f) { return FlipImpl(t ? From(t) : nullptr, f); }

HRESULT SurfaceObject::GetFlipStatus(DWORD flags) {
  if (flags != DDGFS_CANFLIP && flags != DDGFS_ISFLIPDONE) return DDERR_INVALIDPARAMS;
  if (!front_) return DDERR_NOTFLIPPABLE;
  return lost_ ? DDERR_SURFACELOST : DD_OK;
}

// --- attachments -----------------------------------------------------------------------------

SurfaceObject* SurfaceObject::FindAttached(DWORD caps) const {
  if (front_) {
    const auto& chain = front_->chain_;
    const auto it = std::find(chain.begin(), chain.end(), this);
    if (it != chain.end()) {
      SurfaceObject* next = chain[static_cast<std::size_t>((it - chain.begin() + 1) % static_cast<long>(chain.size()))];
      if (next != this && (next->desc_.ddsCaps.dwCaps & caps) == caps) return next;
    }
  }
  for (SurfaceObject* s : attached_)
    if ((s->desc_.ddsCaps.dwCaps & caps) == caps) return s;
  return nullptr;
}

HRESULT SurfaceObject::GetAttachedSurface(DDSCAPS* caps, IDirectDrawSurface** surface) {
  if (!caps || !surface) return DDERR_INVALIDPARAMS;
  *surface = nullptr;
  SurfaceObject* s = FindAttached(caps->dwCaps);
  if (!s) return DDERR_NOTFOUND;
  s->AddRef();
  *surface = s->V1();
  return DD_OK;
}
HRESULT SurfaceObject::GetAttachedSurface(DDSCAPS2* caps, IDirectDrawSurface4** surface) {
  if (!caps || !surface) return DDERR_INVALIDPARAMS;
  *surface = nullptr;
  SurfaceObject* s = FindAttached(caps->dwCaps);
  if (!s) return DDERR_NOTFOUND;
  s->AddRef();
  *surface = s->V4();
  return DD_OK;
}
HRESULT SurfaceObject::GetAttachedSurface(DDSCAPS2* caps, IDirectDrawSurface7** surface) {
  if (!caps || !surface) return DDERR_INVALIDPARAMS;
  *surface = nullptr;
  SurfaceObject* s = FindAttached(caps->dwCaps);
  if (!s) return DDERR_NOTFOUND;
  s->AddRef();
  *surface = s->V7();
  return DD_OK;
}

HRESULT SurfaceObject::AddAttachedImpl(SurfaceObject* s) {
  if (!s || s == this) return DDERR_INVALIDPARAMS;
  if (std::find(attached_.begin(), attached_.end(), s) != attached_.end()) return DDERR_SURFACEALREADYATTACHED;
  if (s->front_) return DDERR_SURFACEALREADYATTACHED;
  const bool zbuffer = (s->desc_.ddsCaps.dwCaps & DDSCAPS_ZBUFFER) != 0;
  if (!zbuffer || s->desc_.dwWidth != desc_.dwWidth || s->desc_.dwHeight != desc_.dwHeight)
    return DDERR_CANNOTATTACHSURFACE;
  for (SurfaceObject* a : attached_)
    if (a->desc_.ddsCaps.dwCaps & DDSCAPS_ZBUFFER) return DDERR_SURFACEALREADYATTACHED;
  s->AddRef();
  attached_.push_back(s);
  return DD_OK;
}

HRESULT SurfaceObject::AddAttachedSurface(IDirectDrawSurface* s) { return AddAttachedImpl(From(s)); }
HRESULT SurfaceObject::AddAttachedSurface(IDirectDrawSurface4* s) { return AddAttachedImpl(From(s)); }
HRESULT SurfaceObject::AddAttachedSurface(IDirectDrawSurface7* s) { return AddAttachedImpl(From(s)); }

HRESULT SurfaceObject::DeleteAttachedImpl(DWORD flags, SurfaceObject* s) {
  if (flags != 0) return DDERR_INVALIDPARAMS;
  if (!s) {
    for (SurfaceObject* a : std::exchange(attached_, {})) a->Release();
    return DD_OK;
  }
  const auto it = std::find(attached_.begin(), attached_.end(), s);
  if (it == attached_.end()) {
    if (front_ && s->front_ == front_) return DDERR_CANNOTDETACHSURFACE;
    return DDERR_SURFACENOTATTACHED;
  }
  attached_.erase(it);
  s->Release();
  return DD_OK;
}

HRESULT SurfaceObject::DeleteAttachedSurface(DWORD f, IDirectDrawSurface* s) { return DeleteAttachedImpl(f, From(s)); }
HRESULT SurfaceObject::DeleteAttachedSurface(DWORD f, IDirectDrawSurface4* s) { return DeleteAttachedImpl(f, From(s)); }
HRESULT SurfaceObject::DeleteAttachedSurface(DWORD f, IDirectDrawSurface7* s) { return DeleteAttachedImpl(f, From(s)); }

HRESULT SurfaceObject::EnumAttachedSurfaces(void* context, LPDDENUMSURFACESCALLBACK callback) {
  if (!callback) return DDERR_INVALIDPARAMS;
  std::vector<SurfaceObject*> list;
  if (SurfaceObject* next = FindAttached(0); next && front_) list.push_back(next);
  for (SurfaceObject* a : attached_)
    if (std::find(list.begin(), list.end(), a) == list.end()) list.push_back(a);
  for (SurfaceObject* s : list) {
    s->AddRef();
    DDSURFACEDESC d{};
    d.dwSize = sizeof(d);
    s->GetSurfaceDesc(&d);
    if (callback(s->V1(), &d, context) == static_cast<HRESULT>(DDENUMRET_CANCEL)) break;
  }
  return DD_OK;
}

// --- description, caps, format ---------------------------------------------------------------

HRESULT SurfaceObject::GetCaps(DDSCAPS* caps) {
  if (!caps) return DDERR_INVALIDPARAMS;
  caps->dwCaps = desc_.ddsCaps.dwCaps;
  return DD_OK;
}
HRESULT SurfaceObject::GetCaps(DDSCAPS2* caps) {
  if (!caps) return DDERR_INVALIDPARAMS;
  *caps = desc_.ddsCaps;
  return DD_OK;
}
HRESULT SurfaceObject::GetPixelFormat(DDPIXELFORMAT* format) {
  if (!format) return DDERR_INVALIDPARAMS;
  *format = desc_.ddpfPixelFormat;
  return DD_OK;
}
HRESULT SurfaceObject::GetSurfaceDesc(DDSURFACEDESC* desc) {
  if (!desc || desc->dwSize != sizeof(DDSURFACEDESC)) return DDERR_INVALIDPARAMS;
  DDSURFACEDESC2 d;
  d.dwSize = sizeof(d);
  FillDesc(d);
  *desc = ToDesc1(d);
  return DD_OK;
}
HRESULT SurfaceObject::GetSurfaceDesc(DDSURFACEDESC2* desc) {
  if (!desc || desc->dwSize != sizeof(DDSURFACEDESC2)) return DDERR_INVALIDPARAMS;
  FillDesc(*desc);
  return DD_OK;
}
HRESULT SurfaceObject::Initialize(IUnknown* directDraw, DDSURFACEDESC* desc) {
  (void)directDraw, (void)desc;
  return DDERR_ALREADYINITIALIZED;
}

// --- locks and device contexts ---------------------------------------------------------------

HRESULT SurfaceObject::LockImpl(RECT* rect, DDSURFACEDESC2& d, DWORD flags) {
  if (lost_) return DDERR_SURFACELOST;
  if (Busy()) return DDERR_SURFACEBUSY;
  const LONG w = static_cast<LONG>(desc_.dwWidth), h = static_cast<LONG>(desc_.dwHeight);
  const RECT r = rect ? *rect : RECT{0, 0, w, h};
  if (!Inside(r, w, h)) return DDERR_INVALIDRECT;
  FillDesc(d);
  const DWORD bits = desc_.ddpfPixelFormat.dwRGBBitCount;
  std::uint8_t* p = memory_->Memory.get() + static_cast<std::ptrdiff_t>(r.top) * memory_->Pitch +
                    (static_cast<std::ptrdiff_t>(r.left) * bits) / 8;
  d.dwFlags |= DDSD_LPSURFACE;
  d.lpSurface = p;
  locked_ = true;
  read_only_lock_ = (flags & DDLOCK_READONLY) != 0;
  lock_rect_ = r;
  lock_pointer_ = p;
  return DD_OK;
}

HRESULT SurfaceObject::Lock(RECT* rect, DDSURFACEDESC* desc, DWORD flags, HANDLE event) {
  (void)event;
  if (!desc || desc->dwSize != sizeof(DDSURFACEDESC)) return DDERR_INVALIDPARAMS;
  DDSURFACEDESC2 d;
  d.dwSize = sizeof(d);
  const HRESULT hr = LockImpl(rect, d, flags);
  if (hr == DD_OK) *desc = ToDesc1(d);
  return hr;
}

HRESULT SurfaceObject::Lock(RECT* rect, DDSURFACEDESC2* desc, DWORD flags, HANDLE event) {
  (void)event;
  if (!desc || desc->dwSize != sizeof(DDSURFACEDESC2)) return DDERR_INVALIDPARAMS;
  return LockImpl(rect, *desc, flags);
}

HRESULT SurfaceObject::UnlockImpl() {
  if (!locked_) return DDERR_NOTLOCKED;
  locked_ = false;
  lock_pointer_ = nullptr;
  if (!read_only_lock_) {
    const RECT r = lock_rect_;
    Touched(&r);
  }
  return DD_OK;
}

HRESULT SurfaceObject::Unlock(void* surfaceData) {
  if (locked_ && surfaceData && surfaceData != lock_pointer_) return DDERR_INVALIDPARAMS;
  return UnlockImpl();
}

HRESULT SurfaceObject::Unlock(RECT* rect) {
  if (locked_ && rect && !(*rect == lock_rect_)) return DDERR_INVALIDRECT;
  return UnlockImpl();
}

HRESULT SurfaceObject::GetDC(HDC* dc) {
  if (!dc) return DDERR_INVALIDPARAMS;
  *dc = nullptr;
  if (lost_) return DDERR_SURFACELOST;
  if (dc_) return DDERR_DCALREADYCREATED;
  if (locked_) return DDERR_SURFACEBUSY;
  const DDPIXELFORMAT& f = desc_.ddpfPixelFormat;
  if (f.dwFlags & DDPF_ZBUFFER) return DDERR_CANTCREATEDC;
  gdi::MemoryFormat m;
  m.Width = static_cast<LONG>(desc_.dwWidth);
  m.Height = static_cast<LONG>(desc_.dwHeight);
  m.BitCount = static_cast<WORD>(f.dwRGBBitCount);
  if (!IsPalettized(f) && (f.dwRGBBitCount == 16 || f.dwRGBBitCount == 32)) {
    m.RedMask = f.dwRBitMask;
    m.GreenMask = f.dwGBitMask;
    m.BlueMask = f.dwBBitMask;
  }
  m.Pitch = memory_->Pitch;
  m.TopDown = true;
  m.Bits = memory_->Memory.get();
  win::RGBQUAD table[256];
  const PaletteObject* pal = palette_ ? palette_ : (front_ && front_->palette_ ? front_->palette_ : nullptr);
  if (IsPalettized(f) && pal) {
    for (DWORD i = 0; i < pal->Count(); ++i) {
      const PALETTEENTRY& e = pal->Entries()[i];
      table[i] = win::RGBQUAD{e.peBlue, e.peGreen, e.peRed, 0};
    }
    m.ColorTable = table;
    m.ColorCount = pal->Count();
  }
  HDC h = gdi::CreateMemoryFormatDC(m);
  if (!h) return DDERR_CANTCREATEDC;
  dc_ = h;
  *dc = h;
  return DD_OK;
}

HRESULT SurfaceObject::ReleaseDC(HDC dc) {
  if (!dc_) return DDERR_NODC;
  if (dc != dc_) return DDERR_INVALIDPARAMS;
  gdi::DeleteDC(dc_);
  dc_ = nullptr;
  Touched(nullptr);
  return DD_OK;
}

// --- colour keys, palette, clipper -----------------------------------------------------------

HRESULT SurfaceObject::SetColorKey(DWORD flags, DDCOLORKEY* key) {
  const DWORD which = flags & (DDCKEY_DESTBLT | DDCKEY_SRCBLT | DDCKEY_DESTOVERLAY | DDCKEY_SRCOVERLAY);
  if (which == 0 || (which & (which - 1)) != 0 || (flags & ~(which | DDCKEY_COLORSPACE))) return DDERR_INVALIDPARAMS;
  if (which & (DDCKEY_DESTOVERLAY | DDCKEY_SRCOVERLAY)) return DDERR_UNSUPPORTED;
  bool& has = which == DDCKEY_SRCBLT ? has_src_key_ : has_dest_key_;
  DDCOLORKEY& stored = which == DDCKEY_SRCBLT ? src_key_ : dest_key_;
  if (!key) {
    has = false;
    stored = DDCOLORKEY{};
    return DD_OK;
  }
  stored = *key;
  // One colour unless a range is asked for.
  if (!(flags & DDCKEY_COLORSPACE)) stored.dwColorSpaceHighValue = stored.dwColorSpaceLowValue;
  has = true;
  return DD_OK;
}

HRESULT SurfaceObject::GetColorKey(DWORD flags, DDCOLORKEY* key) {
  if (!key) return DDERR_INVALIDPARAMS;
  if (flags == DDCKEY_SRCBLT) {
    if (!has_src_key_) return DDERR_NOCOLORKEY;
    *key = src_key_;
    return DD_OK;
  }
  if (flags == DDCKEY_DESTBLT) {
    if (!has_dest_key_) return DDERR_NOCOLORKEY;
    *key = dest_key_;
    return DD_OK;
  }
  if (flags == DDCKEY_SRCOVERLAY || flags == DDCKEY_DESTOVERLAY) return DDERR_NOCOLORKEY;
  return DDERR_INVALIDPARAMS;
}

HRESULT SurfaceObject::SetPalette(IDirectDrawPalette* palette) {
  PaletteObject* p = palette ? dynamic_cast<PaletteObject*>(palette) : nullptr;
  if (palette && !p) return DDERR_INVALIDPARAMS;
  const DDPIXELFORMAT& f = desc_.ddpfPixelFormat;
  if (p) {
    if (!IsPalettized(f)) return DDERR_INVALIDPIXELFORMAT;
    const DWORD needed = 1u << f.dwRGBBitCount;
    if (p->Count() < needed) return DDERR_INVALIDPIXELFORMAT;
  }
  if (p == palette_) return DD_OK;
  if (p) {
    p->AddRef();
    p->Users.push_back(this);
  }
  if (palette_) {
    auto& users = palette_->Users;
    users.erase(std::remove(users.begin(), users.end(), this), users.end());
    palette_->Release();
  }
  palette_ = p;
  if (Visible()) PresentBuffer(*adapter_, *memory_, nullptr, palette_);
  return DD_OK;
}

HRESULT SurfaceObject::GetPalette(IDirectDrawPalette** palette) {
  if (!palette) return DDERR_INVALIDPARAMS;
  *palette = nullptr;
  if (!palette_) return DDERR_NOPALETTEATTACHED;
  palette_->AddRef();
  *palette = palette_;
  return DD_OK;
}

HRESULT SurfaceObject::SetClipper(IDirectDrawClipper* clipper) {
  ClipperObject* c = clipper ? dynamic_cast<ClipperObject*>(clipper) : nullptr;
  if (clipper && !c) return DDERR_INVALIDPARAMS;
  if (c == clipper_) return DD_OK;
  if (c) c->AddRef();
  if (clipper_) clipper_->Release();
  clipper_ = c;
  return DD_OK;
}

HRESULT SurfaceObject::GetClipper(IDirectDrawClipper** clipper) {
  if (!clipper) return DDERR_INVALIDPARAMS;
  *clipper = nullptr;
  if (!clipper_) return DDERR_NOCLIPPERATTACHED;
  clipper_->AddRef();
  *clipper = clipper_;
  return DD_OK;
}

// --- loss and restoring ----------------------------------------------------------------------

HRESULT SurfaceObject::IsLost() { return lost_ ? DDERR_SURFACELOST : DD_OK; }

HRESULT SurfaceObject::RestoreChain() {
  const std::vector<SurfaceObject*> members = chain_.empty() ? std::vector<SurfaceObject*>{this} : chain_;
  if (IsPrimary()) {
    // The desktop buffer of the mode in force replaces the one of the chain that showed the
    // desktop (the buffer of the old mode, after a switch).
    SurfaceObject* shows = this;
    for (SurfaceObject* m : members)
      if (!m->memory_->Video) shows = m;
    shows->memory_ = adapter_->Screen;
  }
  for (SurfaceObject* m : members) {
    std::memset(m->memory_->Memory.get(), 0, m->memory_->Bytes);
    ++m->memory_->Version;
    m->lost_ = false;
    ++m->uniqueness_;
  }
  return DD_OK;
}

HRESULT SurfaceObject::Restore() {
  if (!lost_) return DD_OK;
  if (front_ && front_ != this) return front_->Restore();
  if (owner_ && adapter_->Exclusive == owner_ && !adapter_->ExclusiveActive) return DDERR_NOEXCLUSIVEMODE;
  if (IsPrimary()) {
    if (!(adapter_->Mode == created_mode_)) return DDERR_WRONGMODE;
    if (!adapter_->Screen) return DDERR_WRONGMODE;
  }
  return RestoreChain();
}

// --- the rest --------------------------------------------------------------------------------

HRESULT SurfaceObject::GetDDInterface(void** directDraw) {
  if (!directDraw) return DDERR_INVALIDPARAMS;
  *directDraw = nullptr;
  if (!owner_) return DDERR_INVALIDOBJECT;
  owner_->AddRef();
  *directDraw = static_cast<IUnknown*>(owner_->V1());
  return DD_OK;
}
HRESULT SurfaceObject::PageLock(DWORD flags) { return flags == 0 ? DD_OK : DDERR_INVALIDPARAMS; }
HRESULT SurfaceObject::PageUnlock(DWORD flags) { return flags == 0 ? DD_OK : DDERR_INVALIDPARAMS; }
HRESULT SurfaceObject::GetUniquenessValue(DWORD* value) {
  if (!value) return DDERR_INVALIDPARAMS;
  if (memory_.get() != seen_buffer_ || memory_->Version != seen_version_) {
    if (seen_buffer_) ++uniqueness_;
    seen_buffer_ = memory_.get();
    seen_version_ = memory_->Version;
  }
  *value = uniqueness_;
  return DD_OK;
}
HRESULT SurfaceObject::ChangeUniquenessValue() {
  ++uniqueness_;
  return DD_OK;
}

HRESULT SurfaceObject::GetGammaRamp(DWORD flags, DDGAMMARAMP* ramp) {
  (void)flags;
  if (!ramp) return DDERR_INVALIDPARAMS;
  if (adapter_->GammaSet) {
    *ramp = adapter_->Gamma;
  } else {
    for (int i = 0; i < 256; ++i)
      ramp->red[i] = ramp->green[i] = ramp->blue[i] = static_cast<WORD>(i * 257);
  }
  return DD_OK;
}

HRESULT SurfaceObject::SetGammaRamp(DWORD flags, const DDGAMMARAMP* ramp) {
  (void)flags;
  if (!ramp) return DDERR_INVALIDPARAMS;
  adapter_->Gamma = *ramp;
  adapter_->GammaSet = true;
  if (Visible()) PresentBuffer(*adapter_, *memory_, nullptr, palette_);
  return DD_OK;
}

}  // namespace ddraw::detail
