// Showing and hiding windows, their rectangles, client areas and placement, and the full-screen
// state.
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <algorithm>

#include "platform/win/QtWindows.h"
#include "platform/win/WinInternal.h"
#include "platform/win/WinUserTable.h"

namespace win {

namespace table {

namespace {

RECT QRectToRect(const QRect& r) { return RECT{r.x(), r.y(), r.x() + r.width(), r.y() + r.height()}; }

Qt::WindowFlags FlagsFor(const Window& w) {
  Qt::WindowFlags f = (w.ExStyle & WS_EX_TOOLWINDOW) ? Qt::Tool : Qt::Window;
  if ((w.Style & WS_CAPTION) != WS_CAPTION) {
    f |= Qt::FramelessWindowHint;
    return f;
  }
  f |= Qt::CustomizeWindowHint | Qt::WindowTitleHint;
  if (w.Style & WS_SYSMENU) f |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  if (w.Style & WS_MINIMIZEBOX) f |= Qt::WindowMinimizeButtonHint;
  if (w.Style & WS_MAXIMIZEBOX) f |= Qt::WindowMaximizeButtonHint;
  return f;
}

}  // namespace

RECT OuterFromWidget(const Window& w) {
  QWidget* wg = w.Widget;
  if (!wg) return w.Rect;
  QRect g = wg->geometry();
  if (IsTopLevel(w)) {
    RECT m = NonClientMargins(w.Style, w.ExStyle, false);
    return RECT{g.x() - m.left, g.y() - m.top, g.x() + g.width() + m.right, g.y() + g.height() + m.bottom};
  }
  return QRectToRect(g);
}

void ApplyRectToWidget(Window& w) {
  QWidget* wg = w.Widget;
  if (!wg) return;
  const RECT& r = w.Rect;
  if (IsTopLevel(w)) {
    RECT m = NonClientMargins(w.Style, w.ExStyle, false);
    int cw = std::max<LONG>(0, r.right - r.left - m.left - m.right);
    int ch = std::max<LONG>(0, r.bottom - r.top - m.top - m.bottom);
    wg->setGeometry(r.left + m.left, r.top + m.top, cw, ch);
  } else {
    wg->setGeometry(r.left, r.top, std::max<LONG>(0, r.right - r.left), std::max<LONG>(0, r.bottom - r.top));
  }
}

void SendPosChanged(Window& w, UINT flags) {
  HWND h = w.Handle;
  WINDOWPOS pos;
  pos.hwnd = h;
  pos.x = w.Rect.left;
  pos.y = w.Rect.top;
  pos.cx = w.Rect.right - w.Rect.left;
  pos.cy = w.Rect.bottom - w.Rect.top;
  pos.flags = flags;
  GuardedCall([&] { SendMessageA(h, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&pos)); });
  Window* again = Find(h);
  if (!again) return;
  RECT c;
  GetClientRect(h, &c);
  if (!(flags & SWP_NOMOVE)) GuardedCall([&] { SendMessageA(h, WM_MOVE, 0, MAKELPARAM(static_cast<WORD>(pos.x), static_cast<WORD>(pos.y))); });
  if (!(flags & SWP_NOSIZE) && Find(h)) {
    WPARAM kind = again->Maximized ? SIZE_MAXIMIZED : again->Minimized ? SIZE_MINIMIZED : SIZE_RESTORED;
    GuardedCall([&] { SendMessageA(h, WM_SIZE, kind, MAKELPARAM(static_cast<WORD>(c.right), static_cast<WORD>(c.bottom))); });
  }
}

void NoteShown(Window& w, bool shown) {
  if (w.Shown == shown) return;
  w.Shown = shown;
  HWND h = w.Handle;
  GuardedCall([&] { SendMessageA(h, WM_SHOWWINDOW, shown ? 1 : 0, 0); });
  if (Window* again = Find(h))
    SendPosChanged(*again, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | (shown ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
}

void SyncGeometryFromWidget(Window& w) {
  if (w.Destroying) return;
  RECT r = OuterFromWidget(w);
  if (r == w.Rect) return;
  UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
  if (r.left == w.Rect.left && r.top == w.Rect.top) flags |= SWP_NOMOVE;
  if (r.right - r.left == w.Rect.right - w.Rect.left && r.bottom - r.top == w.Rect.bottom - w.Rect.top)
    flags |= SWP_NOSIZE;
  w.Rect = r;
  if (IsTopLevel(w) && !w.Maximized && !w.Minimized && !w.FullScreen) w.NormalRect = r;
  SendPosChanged(w, flags);
}

void ApplyStyles(Window& w) {
  QWidget* wg = w.Widget;
  if (!wg) return;
  if (IsTopLevel(w)) {
    Qt::WindowFlags f = FlagsFor(w);
    if (wg->windowFlags() != f) {
      if (wg->isVisible() && wg->windowHandle()) {
        // A shown window changes its frame in place (setWindowFlags would hide and show it,
        // which the window system would report as a loss of activation).
        wg->overrideWindowFlags(f);
        wg->windowHandle()->setFlags(f);
      } else {
        wg->setWindowFlags(f);
      }
      ApplyRectToWidget(w);
    }
  }
  wg->setEnabled((w.Style & WS_DISABLED) == 0);
}

}  // namespace table

using namespace table;

BOOL ShowWindow(HWND h, INT cmd) {
  Window* w = Find(h);
  if (!w || !w->Widget) return FALSE;
  QWidget* wg = w->Widget;
  BOOL wasVisible = !wg->isHidden();
  bool top = IsTopLevel(*w);
  auto leaveSpecial = [&] {
    if (w->Maximized || w->Minimized) {
      w->Maximized = false;
      w->Minimized = false;
      w->Rect = w->NormalRect;
      ApplyRectToWidget(*w);
      wg->setWindowState(Qt::WindowNoState);
      SendPosChanged(*w, SWP_NOZORDER);
    }
  };
  switch (cmd) {
    case SW_HIDE:
      wg->hide();
      if (Window* again = Find(h)) NoteShown(*again, false);
      if (S().Active == h) {
        // Activation goes to another visible top-level window, or nowhere.
        HWND next = nullptr;
        ForEachTopLevel([&](HWND o) {
          Window* ow = Find(o);
          if (!next && o != h && ow->Widget && ow->Widget->isVisible()) next = o;
        });
        if (next) SetActiveWindow(next);
        else {
          HWND old = S().Active;
          S().Active = nullptr;
          if (Find(old)) GuardedCall([&] { SendMessageA(old, WM_ACTIVATE, WA_INACTIVE, 0); });
        }
      }
      return wasVisible;
    case SW_MAXIMIZE:
      if (top && !w->Maximized) {
        if (!w->Minimized) w->NormalRect = w->Rect;
        w->Maximized = true;
        w->Minimized = false;
        QScreen* sc = QGuiApplication::primaryScreen();
        QRect g = sc ? sc->availableGeometry() : QRect(0, 0, 800, 600);
        w->Rect = RECT{g.x(), g.y(), g.x() + g.width(), g.y() + g.height()};
        ApplyRectToWidget(*w);
        wg->setWindowState(Qt::WindowMaximized);
        SendPosChanged(*w, SWP_NOZORDER);
        w = Find(h);
        if (!w) return wasVisible;
      }
      wg->show();
      if (Window* again = Find(h)) NoteShown(*again, true);
      if (top) SetActiveWindow(h);
      return wasVisible;
    case SW_MINIMIZE:
    case SW_SHOWMINIMIZED:
    case SW_SHOWMINNOACTIVE:
      if (top && !w->Minimized) {
        if (!w->Maximized) w->NormalRect = w->Rect;
        w->Minimized = true;
        wg->setWindowState(wg->windowState() | Qt::WindowMinimized);
        SendMessageA(h, WM_SIZE, SIZE_MINIMIZED, 0);
      }
      if (Find(h) && cmd == SW_SHOWMINIMIZED) {
        wg->show();
        if (Window* again = Find(h)) NoteShown(*again, true);
      }
      if (S().Active == h && cmd != SW_SHOWMINIMIZED) {
        S().Active = nullptr;
        GuardedCall([&] { SendMessageA(h, WM_ACTIVATE, WA_INACTIVE, 0); });
      }
      return wasVisible;
    case SW_RESTORE:
    case SW_SHOWNORMAL:
      leaveSpecial();
      [[fallthrough]];
    case SW_SHOW:
    case SW_SHOWNA:
    case SW_SHOWNOACTIVATE:
      w = Find(h);
      if (!w) return wasVisible;
      wg->show();
      if (Window* again = Find(h)) NoteShown(*again, true);
      if (top && cmd != SW_SHOWNA && cmd != SW_SHOWNOACTIVATE && Find(h)) SetActiveWindow(h);
      return wasVisible;
    default:
      return wasVisible;
  }
}

BOOL IsWindowVisible(HWND h) {
  Window* w = Find(h);
  return w && w->Widget && w->Widget->isVisible() ? TRUE : FALSE;
}
BOOL IsIconic(HWND h) {
  Window* w = Find(h);
  return w && w->Minimized ? TRUE : FALSE;
}
BOOL IsZoomed(HWND h) {
  Window* w = Find(h);
  return w && w->Maximized ? TRUE : FALSE;
}

BOOL EnableWindow(HWND h, BOOL enable) {
  Window* w = Find(h);
  if (!w) return FALSE;
  BOOL wasDisabled = (w->Style & WS_DISABLED) ? TRUE : FALSE;
  if (enable) w->Style &= ~WS_DISABLED;
  else w->Style |= WS_DISABLED;
  if (w->Widget) w->Widget->setEnabled(enable != 0);
  if (wasDisabled == (enable ? TRUE : FALSE)) SendMessageA(h, WM_ENABLE, enable ? 1 : 0, 0);
  return wasDisabled;
}

BOOL IsWindowEnabled(HWND h) {
  Window* w = Find(h);
  return w && !(w->Style & WS_DISABLED) ? TRUE : FALSE;
}

BOOL SetWindowPos(HWND h, HWND, INT x, INT y, INT cx, INT cy, UINT flags) {
  Window* w = Find(h);
  if (!w) return FALSE;
  RECT r = w->Rect;
  if (!(flags & SWP_NOMOVE)) {
    LONG wd = r.right - r.left, ht = r.bottom - r.top;
    r = RECT{x, y, x + wd, y + ht};
  }
  if (!(flags & SWP_NOSIZE)) {
    r.right = r.left + std::max(0, cx);
    r.bottom = r.top + std::max(0, cy);
  }
  UINT sent = flags & ~(SWP_SHOWWINDOW | SWP_HIDEWINDOW);
  if (r.left == w->Rect.left && r.top == w->Rect.top) sent |= SWP_NOMOVE;
  if (r.right - r.left == w->Rect.right - w->Rect.left && r.bottom - r.top == w->Rect.bottom - w->Rect.top)
    sent |= SWP_NOSIZE;
  bool changed = !(r == w->Rect);
  if (changed) {
    w->Rect = r;
    if (IsTopLevel(*w) && !w->Maximized && !w->Minimized && !w->FullScreen) w->NormalRect = r;
    ApplyRectToWidget(*w);
    SendPosChanged(*w, sent);
  }
  if (flags & SWP_SHOWWINDOW) ShowWindow(h, (flags & SWP_NOACTIVATE) ? SW_SHOWNA : SW_SHOW);
  if (flags & SWP_HIDEWINDOW) ShowWindow(h, SW_HIDE);
  if ((flags & SWP_FRAMECHANGED) && Find(h)) ApplyStyles(*Find(h));
  return TRUE;
}

BOOL MoveWindow(HWND h, INT x, INT y, INT width, INT height, BOOL) {
  return SetWindowPos(h, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL GetWindowRect(HWND h, RECT* rect) {
  Window* w = Find(h);
  if (!w || !rect) return FALSE;
  *rect = w->Rect;
  if (!IsTopLevel(*w)) {
    POINT p{0, 0};
    ClientToScreen(w->Parent, &p);
    rect->left += p.x;
    rect->right += p.x;
    rect->top += p.y;
    rect->bottom += p.y;
  }
  return TRUE;
}

BOOL GetClientRect(HWND h, RECT* rect) {
  Window* w = Find(h);
  if (!w || !rect) return FALSE;
  LONG wd = w->Rect.right - w->Rect.left, ht = w->Rect.bottom - w->Rect.top;
  RECT m = IsTopLevel(*w) ? NonClientMargins(w->Style, w->ExStyle, w->HasMenu) : RECT{};
  if (!IsTopLevel(*w) && (w->ExStyle & WS_EX_CLIENTEDGE)) m = RECT{2, 2, 2, 2};
  *rect = RECT{0, 0, std::max<LONG>(0, wd - m.left - m.right), std::max<LONG>(0, ht - m.top - m.bottom)};
  return TRUE;
}

BOOL ClientToScreen(HWND h, POINT* point) {
  Window* w = Find(h);
  if (!w || !point) return FALSE;
  if (IsTopLevel(*w)) {
    RECT m = NonClientMargins(w->Style, w->ExStyle, w->HasMenu);
    point->x += w->Rect.left + m.left;
    point->y += w->Rect.top + m.top;
    return TRUE;
  }
  point->x += w->Rect.left;
  point->y += w->Rect.top;
  return ClientToScreen(w->Parent, point);
}

BOOL ScreenToClient(HWND h, POINT* point) {
  if (!point) return FALSE;
  POINT o{0, 0};
  if (!ClientToScreen(h, &o)) return FALSE;
  point->x -= o.x;
  point->y -= o.y;
  return TRUE;
}

BOOL InvalidateRect(HWND h, const RECT* rect, BOOL) {
  Window* w = Find(h);
  if (!w || !w->Widget) return FALSE;
  if (rect)
    ClientOf(*w)->update(rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top);
  else
    w->Widget->update();
  return TRUE;
}

BOOL UpdateWindow(HWND h) {
  Window* w = Find(h);
  if (!w || !w->Widget) return FALSE;
  w->Widget->repaint();
  return TRUE;
}

INT GetSystemMetrics(INT index) {
  switch (index) {
    case SM_CXSCREEN:
    case SM_CYSCREEN: {
      QScreen* sc = QGuiApplication::instance() ? QGuiApplication::primaryScreen() : nullptr;
      QRect g = sc ? sc->geometry() : QRect(0, 0, 800, 600);
      return index == SM_CXSCREEN ? g.width() : g.height();
    }
    case SM_CXVSCROLL: case SM_CYHSCROLL: return 16;
    case SM_CYCAPTION: return 19;
    case SM_CXBORDER: case SM_CYBORDER: return 1;
    case SM_CXDLGFRAME: case SM_CYDLGFRAME: return 3;
    case SM_CXFRAME: case SM_CYFRAME: return 4;
    case SM_CYMENU: return 19;
    default: return 0;
  }
}

RECT NonClientMargins(DWORD style, DWORD exStyle, bool hasMenu) {
  RECT m{0, 0, 0, 0};
  LONG frame = 0;
  if (style & WS_THICKFRAME) frame = GetSystemMetrics(SM_CXFRAME);
  else if ((style & WS_CAPTION) == WS_CAPTION || (style & WS_DLGFRAME) || (exStyle & WS_EX_DLGMODALFRAME))
    frame = GetSystemMetrics(SM_CXDLGFRAME);
  else if (style & WS_BORDER) frame = GetSystemMetrics(SM_CXBORDER);
  m = RECT{frame, frame, frame, frame};
  if ((style & WS_CAPTION) == WS_CAPTION)
    m.top += (exStyle & WS_EX_TOOLWINDOW) ? 15 : GetSystemMetrics(SM_CYCAPTION);
  if (hasMenu) m.top += GetSystemMetrics(SM_CYMENU);
  return m;
}

BOOL GetWindowPlacement(HWND h, WINDOWPLACEMENT* p) {
  Window* w = Find(h);
  if (!w || !p || p->length != sizeof(WINDOWPLACEMENT)) return FALSE;
  p->flags = 0;
  p->showCmd = w->Minimized ? SW_SHOWMINIMIZED : w->Maximized ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL;
  if (w->Minimized && w->Maximized) p->flags |= WPF_RESTORETOMAXIMIZED;
  p->ptMinPosition = POINT{-1, -1};
  p->ptMaxPosition = POINT{-1, -1};
  p->rcNormalPosition = (IsTopLevel(*w) && !w->Maximized && !w->Minimized && !w->FullScreen) ? w->Rect : w->NormalRect;
  if (w->FullScreen) p->rcNormalPosition = w->SavedRect;
  return TRUE;
}

BOOL SetWindowPlacement(HWND h, const WINDOWPLACEMENT* p) {
  Window* w = Find(h);
  if (!w || !p || p->length != sizeof(WINDOWPLACEMENT)) return FALSE;
  w->NormalRect = p->rcNormalPosition;
  switch (p->showCmd) {
    case SW_HIDE:
      ShowWindow(h, SW_HIDE);
      SetWindowPos(h, nullptr, p->rcNormalPosition.left, p->rcNormalPosition.top,
                   p->rcNormalPosition.right - p->rcNormalPosition.left,
                   p->rcNormalPosition.bottom - p->rcNormalPosition.top, SWP_NOZORDER | SWP_NOACTIVATE);
      break;
    case SW_SHOWMAXIMIZED:
      ShowWindow(h, SW_MAXIMIZE);
      break;
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
    case SW_SHOWMINNOACTIVE:
      ShowWindow(h, SW_SHOWMINIMIZED);
      break;
    default: {
      if (w->Maximized || w->Minimized) {
        ShowWindow(h, SW_RESTORE);
        w = Find(h);
        if (!w) return FALSE;
      }
      SetWindowPos(h, nullptr, p->rcNormalPosition.left, p->rcNormalPosition.top,
                   p->rcNormalPosition.right - p->rcNormalPosition.left,
                   p->rcNormalPosition.bottom - p->rcNormalPosition.top, SWP_NOZORDER | SWP_NOACTIVATE);
      if (p->showCmd == SW_SHOWNOACTIVATE || p->showCmd == SW_SHOWNA) ShowWindow(h, SW_SHOWNA);
      else ShowWindow(h, SW_SHOW);
      break;
    }
  }
  return TRUE;
}

void SetFullScreenWindow(HWND h, bool fullScreen) {
  Window* w = Find(h);
  if (!w || !IsTopLevel(*w) || w->FullScreen == fullScreen) return;
  if (fullScreen) {
    w->SavedStyle = w->Style;
    w->SavedRect = w->Maximized ? w->NormalRect : w->Rect;
    w->FullScreen = true;
    SetWindowLongPtrA(h, GWL_STYLE, static_cast<LONG_PTR>((w->Style & ~(WS_CAPTION | WS_THICKFRAME | WS_BORDER)) | WS_POPUP |
                                                          (IsWindowVisible(h) ? WS_VISIBLE : 0)));
    SetWindowPos(h, nullptr, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                 SWP_NOZORDER | SWP_NOACTIVATE);
  } else {
    w->FullScreen = false;
    RECT r = w->SavedRect;
    SetWindowLongPtrA(h, GWL_STYLE, static_cast<LONG_PTR>(w->SavedStyle | (IsWindowVisible(h) ? WS_VISIBLE : 0)));
    SetWindowPos(h, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

bool IsFullScreenWindow(HWND h) {
  Window* w = Find(h);
  return w && w->FullScreen;
}

}  // namespace win