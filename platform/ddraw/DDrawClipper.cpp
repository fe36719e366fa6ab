// Clippers: a list of rectangles, or the visible part of a window.
#include <algorithm>
#include <cstring>

#include "platform/ddraw/DDrawInternal.h"

namespace ddraw::detail {

HRESULT ClipperObject::QueryInterface(REFIID riid, void** object) {
  if (!object) return DDERR_INVALIDPARAMS;
  *object = nullptr;
  if (!(riid == IID_IUnknown) && !(riid == IID_IDirectDrawClipper)) return win::E_NOINTERFACE;
  AddRef();
  *object = static_cast<IDirectDrawClipper*>(this);
  return DD_OK;
}

bool ClipperObject::ClipRects(LONG width, LONG height, std::vector<RECT>& rects) const {
  rects.clear();
  const RECT whole{0, 0, width, height};
  if (window_) {
    Presenter* p = CurrentPresenter();
    if (p && p->VisibleRects(window_, rects)) return true;
    rects.push_back(whole);
    return true;
  }
  if (!has_list_) return false;
  rects = list_;
  return true;
}

HRESULT ClipperObject::GetClipList(RECT* rect, RGNDATA* clipList, DWORD* size) {
  if (!size) return DDERR_INVALIDPARAMS;
  std::vector<RECT> rects;
  if (window_) {
    Presenter* p = CurrentPresenter();
    if (!p || !p->VisibleRects(window_, rects)) return DDERR_NOCLIPLIST;
  } else {
    if (!has_list_) return DDERR_NOCLIPLIST;
    rects = list_;
  }
  if (rect) {
    std::vector<RECT> cut;
    for (const RECT& r : rects) {
      const RECT c{std::max(r.left, rect->left), std::max(r.top, rect->top), std::min(r.right, rect->right),
                   std::min(r.bottom, rect->bottom)};
      if (c.left < c.right && c.top < c.bottom) cut.push_back(c);
    }
    rects = std::move(cut);
  }
  const DWORD needed = static_cast<DWORD>(sizeof(RGNDATAHEADER) + rects.size() * sizeof(RECT));
  if (!clipList) {
    *size = needed;
    return DD_OK;
  }
  if (*size < needed) {
    *size = needed;
    return DDERR_REGIONTOOSMALL;
  }
  RGNDATAHEADER h;
  h.nCount = static_cast<DWORD>(rects.size());
  h.nRgnSize = static_cast<DWORD>(rects.size() * sizeof(RECT));
  RECT bound{};
  for (std::size_t i = 0; i < rects.size(); ++i) {
    const RECT& r = rects[i];
    if (i == 0) {
      bound = r;
    } else {
      bound = RECT{std::min(bound.left, r.left), std::min(bound.top, r.top), std::max(bound.right, r.right),
                   std::max(bound.bottom, r.bottom)};
    }
  }
  h.rcBound = bound;
  auto* bytes = reinterpret_cast<unsigned char*>(clipList);
  std::memcpy(bytes, &h, sizeof(h));
  if (!rects.empty()) std::memcpy(bytes + sizeof(h), rects.data(), rects.size() * sizeof(RECT));
  *size = needed;
  return DD_OK;
}

HRESULT ClipperObject::GetHWnd(HWND* window) {
  if (!window) return DDERR_INVALIDPARAMS;
  *window = window_;
  return DD_OK;
}

HRESULT ClipperObject::Initialize(IUnknown* directDraw, DWORD flags) {
  (void)directDraw, (void)flags;
  return DDERR_ALREADYINITIALIZED;
}

HRESULT ClipperObject::IsClipListChanged(BOOL* changed) {
  if (!changed) return DDERR_INVALIDPARAMS;
  *changed = win::FALSE;
  return DD_OK;
}

HRESULT ClipperObject::SetClipList(RGNDATA* clipList, DWORD flags) {
  if (flags != 0) return DDERR_INVALIDPARAMS;
  if (window_) return DDERR_CLIPPERISUSINGHWND;
  if (!clipList) {
    list_.clear();
    has_list_ = false;
    return DD_OK;
  }
  RGNDATAHEADER h;
  std::memcpy(static_cast<void*>(&h), clipList, sizeof(h));
  if (h.dwSize != sizeof(RGNDATAHEADER) || h.iType != 1 || h.nCount > 65536) return DDERR_INVALIDCLIPLIST;
  list_.resize(h.nCount);
  if (h.nCount) std::memcpy(list_.data(), reinterpret_cast<unsigned char*>(clipList) + sizeof(h), h.nCount * sizeof(RECT));
  list_.erase(std::remove_if(list_.begin(), list_.end(),
                             [](const RECT& r) { return r.left >= r.right || r.top >= r.bottom; }),
              list_.end());
  has_list_ = true;
  return DD_OK;
}

HRESULT ClipperObject::SetHWnd(DWORD flags, HWND window) {
  if (flags != 0) return DDERR_INVALIDPARAMS;
  window_ = window;
  list_.clear();
  has_list_ = false;
  return DD_OK;
}

}  // namespace ddraw::detail
