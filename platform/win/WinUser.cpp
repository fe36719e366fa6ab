// Window handles over Qt widgets: the handle table, window procedures, styles, placement,
// activation and focus.
#include "platform/win/WinUser.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <map>
#include <memory>
#include <unordered_map>
#include <vector>

#include "platform/win/QtWindows.h"
#include "platform/win/WinInternal.h"

namespace win {

namespace {

struct Window {
  HWND hwnd = nullptr;
  QPointer<QWidget> widget;
  QPointer<QWidget> client;
  bool ownsWidget = false;
  WNDPROC proc = nullptr;
  DWORD style = 0;
  DWORD exStyle = 0;
  LONG_PTR userData = 0;
  LONG_PTR id = 0;
  HWND parent = nullptr;
  std::string text;
  RECT rect;        // outer rectangle: parent client coordinates, screen for top-level windows
  RECT normalRect;  // the restored rectangle of a top-level window
  bool shown = false;  // visible on screen as last reported
  bool minimized = false;
  bool maximized = false;
  bool hasMenu = false;
  bool fullScreen = false;
  DWORD savedStyle = 0;
  RECT savedRect;
  bool destroying = false;
  HCURSOR cursor = nullptr;
  bool cursorSet = false;
  std::vector<QPointer<QWidget>> sources;
};

// The handle table: the windows, the widgets whose events they receive, the window classes,
// and which window is active and has the focus.
struct State {
  std::unordered_map<std::uintptr_t, std::unique_ptr<Window>> windows;
  std::unordered_map<const QObject*, HWND> sources;
  std::map<std::string, WNDCLASSA> classes;
  std::uintptr_t nextHandle = 0x10000;
  HWND active = nullptr;
  bool appActive = false;
  HWND focus = nullptr;
  std::function<void(std::exception_ptr)> exceptionHandler;
};

State& S() {
  static State* s = new State;  // lives as long as the program; widgets may outlive statics
  return *s;
}

Window* Find(HWND h) {
  if (!h) return nullptr;
  auto& w = S().windows;
  auto it = w.find(reinterpret_cast<std::uintptr_t>(h));
  return it == w.end() ? nullptr : it->second.get();
}

bool IsTopLevel(const Window& w) { return (w.style & WS_CHILD) == 0 || !w.parent; }

QWidget* ClientOf(const Window& w) { return w.client ? w.client.data() : w.widget.data(); }


void Forget(HWND h);

RECT QRectToRect(const QRect& r) { return RECT{r.x(), r.y(), r.x() + r.width(), r.y() + r.height()}; }

RECT OuterFromWidget(const Window& w) {
  QWidget* wg = w.widget;
  if (!wg) return w.rect;
  QRect g = wg->geometry();
  if (IsTopLevel(w)) {
    RECT m = NonClientMargins(w.style, w.exStyle, false);
    return RECT{g.x() - m.left, g.y() - m.top, g.x() + g.width() + m.right, g.y() + g.height() + m.bottom};
  }
  return QRectToRect(g);
}

void ApplyRectToWidget(Window& w) {
  QWidget* wg = w.widget;
  if (!wg) return;
  const RECT& r = w.rect;
  if (IsTopLevel(w)) {
    RECT m = NonClientMargins(w.style, w.exStyle, false);
    int cw = std::max<LONG>(0, r.right - r.left - m.left - m.right);
    int ch = std::max<LONG>(0, r.bottom - r.top - m.top - m.bottom);
    wg->setGeometry(r.left + m.left, r.top + m.top, cw, ch);
  } else {
    wg->setGeometry(r.left, r.top, std::max<LONG>(0, r.right - r.left), std::max<LONG>(0, r.bottom - r.top));
  }
}

void SendPosChanged(Window& w, UINT flags) {
  HWND h = w.hwnd;
  WINDOWPOS pos;
  pos.hwnd = h;
  pos.x = w.rect.left;
  pos.y = w.rect.top;
  pos.cx = w.rect.right - w.rect.left;
  pos.cy = w.rect.bottom - w.rect.top;
  pos.flags = flags;
  GuardedCall([&] { SendMessageA(h, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&pos)); });
  Window* again = Find(h);
  if (!again) return;
  RECT c;
  GetClientRect(h, &c);
  if (!(flags & SWP_NOMOVE)) GuardedCall([&] { SendMessageA(h, WM_MOVE, 0, MAKELPARAM(static_cast<WORD>(pos.x), static_cast<WORD>(pos.y))); });
  if (!(flags & SWP_NOSIZE) && Find(h)) {
    WPARAM kind = again->maximized ? SIZE_MAXIMIZED : again->minimized ? SIZE_MINIMIZED : SIZE_RESTORED;
    GuardedCall([&] { SendMessageA(h, WM_SIZE, kind, MAKELPARAM(static_cast<WORD>(c.right), static_cast<WORD>(c.bottom))); });
  }
}

void NoteShown(Window& w, bool shown) {
  if (w.shown == shown) return;
  w.shown = shown;
  HWND h = w.hwnd;
  GuardedCall([&] { SendMessageA(h, WM_SHOWWINDOW, shown ? 1 : 0, 0); });
  if (Window* again = Find(h))
    SendPosChanged(*again, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | (shown ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
}

void SyncGeometryFromWidget(Window& w) {
  if (w.destroying) return;
  RECT r = OuterFromWidget(w);
  if (r == w.rect) return;
  UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
  if (r.left == w.rect.left && r.top == w.rect.top) flags |= SWP_NOMOVE;
  if (r.right - r.left == w.rect.right - w.rect.left && r.bottom - r.top == w.rect.bottom - w.rect.top)
    flags |= SWP_NOSIZE;
  w.rect = r;
  if (IsTopLevel(w) && !w.maximized && !w.minimized && !w.fullScreen) w.normalRect = r;
  SendPosChanged(w, flags);
}

Qt::WindowFlags FlagsFor(const Window& w) {
  Qt::WindowFlags f = (w.exStyle & WS_EX_TOOLWINDOW) ? Qt::Tool : Qt::Window;
  if ((w.style & WS_CAPTION) != WS_CAPTION) {
    f |= Qt::FramelessWindowHint;
    return f;
  }
  f |= Qt::CustomizeWindowHint | Qt::WindowTitleHint;
  if (w.style & WS_SYSMENU) f |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  if (w.style & WS_MINIMIZEBOX) f |= Qt::WindowMinimizeButtonHint;
  if (w.style & WS_MAXIMIZEBOX) f |= Qt::WindowMaximizeButtonHint;
  return f;
}

void ApplyStyles(Window& w) {
  QWidget* wg = w.widget;
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
  wg->setEnabled((w.style & WS_DISABLED) == 0);
}

void Register(Window& w, QWidget* source) {
  S().sources[source] = w.hwnd;
  w.sources.push_back(source);
  StartTranslating(source);
  HWND h = w.hwnd;
  QObject::connect(source, &QObject::destroyed, [h, source](QObject*) {
    S().sources.erase(source);
    Window* win = Find(h);
    if (win && !win->destroying && source == win->widget.data()) Forget(h);
  });
}

HWND NewHandle() {
  S().nextHandle += 0x10;
  return reinterpret_cast<HWND>(S().nextHandle);
}

void Forget(HWND h) {
  Window* w = Find(h);
  if (!w) return;
  for (auto& src : w->sources)
    if (src) {
      StopTranslating(src.data());
      S().sources.erase(src.data());
    }
  if (S().active == h) S().active = nullptr;
  if (S().focus == h) S().focus = nullptr;
  KillTimersOf(h);
  DropPostedMessages(h);
  S().windows.erase(reinterpret_cast<std::uintptr_t>(h));
}

HWND Create(QWidget* widget, bool owns, WNDPROC proc, DWORD style, DWORD exStyle, HWND parent,
            void* param, const char* className, const char* title, RECT rect) {
  EnsureEventCounter();
  auto w = std::make_unique<Window>();
  HWND h = NewHandle();
  w->hwnd = h;
  w->widget = widget;
  w->ownsWidget = owns;
  w->proc = proc;
  w->style = style & ~WS_VISIBLE;
  w->exStyle = exStyle;
  w->parent = parent;
  if (title) w->text = title;
  Window* pw = Find(parent);
  if (pw && (style & WS_CHILD)) {
    QWidget* pc = ClientOf(*pw);
    if (widget->parentWidget() != pc) widget->setParent(pc);
  } else {
    w->style &= ~WS_CHILD;
    if (widget->parentWidget()) widget->setParent(nullptr);
  }
  widget->setAttribute(Qt::WA_NoMousePropagation, true);
  Window& ref = *w;
  S().windows[reinterpret_cast<std::uintptr_t>(h)] = std::move(w);
  Register(ref, widget);
  if (!ref.text.empty() && IsTopLevel(ref)) widget->setWindowTitle(QString::fromStdString(ref.text));
  if (rect.right > rect.left || rect.bottom > rect.top) {
    ref.rect = rect;
    ApplyRectToWidget(ref);
  } else {
    ref.rect = OuterFromWidget(ref);
  }
  ref.normalRect = ref.rect;
  ApplyStyles(ref);
  CREATESTRUCTA cs;
  cs.lpCreateParams = param;
  cs.hwndParent = parent;
  cs.x = rect.left;
  cs.y = rect.top;
  cs.cx = rect.right - rect.left;
  cs.cy = rect.bottom - rect.top;
  cs.style = static_cast<LONG>(style);
  cs.dwExStyle = exStyle;
  cs.lpszName = title;
  cs.lpszClass = className;
  LRESULT r = 0;
  GuardedCall([&] { r = SendMessageA(h, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)); });
  if (r == -1) {
    DestroyWindow(h);
    return nullptr;
  }
  if (style & WS_VISIBLE) ShowWindow(h, SW_SHOW);
  return h;
}

}  // namespace

// ---- Internal helpers shared with the other window-system sources --------------------------

bool WindowExists(HWND h) { return Find(h) != nullptr; }

void ForEachTopLevel(const std::function<void(HWND)>& f) {
  std::vector<HWND> tops;
  for (auto& [k, w] : S().windows)
    if (IsTopLevel(*w) && !w->destroying) tops.push_back(w->hwnd);
  std::sort(tops.begin(), tops.end());
  for (HWND h : tops)
    if (Find(h)) f(h);
}

HWND EventWindow(const QObject* source) {
  auto it = S().sources.find(source);
  if (it == S().sources.end()) return nullptr;
  Window* w = Find(it->second);
  if (!w || w->destroying || !w->widget) return nullptr;
  return w->hwnd;
}

bool IsWindowWidget(HWND h, const QObject* obj, bool orClient) {
  Window* w = Find(h);
  if (!w || !obj) return false;
  return obj == w->widget.data() || (orClient && obj == w->client.data());
}

bool IsTopLevelWindow(HWND h) {
  Window* w = Find(h);
  return w && IsTopLevel(*w);
}

bool ApplicationActive() { return S().appActive; }

void NoteShown(HWND h, bool shown) {
  if (Window* w = Find(h)) NoteShown(*w, shown);
}

void NoteGeometryFromWidget(HWND h) {
  if (Window* w = Find(h)) SyncGeometryFromWidget(*w);
}

bool TakeFocus(HWND h, HWND& previous) {
  if (S().focus == h) return false;
  previous = S().focus;
  S().focus = h;
  return true;
}

bool NoteUserMinimized(HWND h, bool minimized) {
  Window* w = Find(h);
  if (!w) return false;
  if (minimized && !w->minimized) {
    w->minimized = true;
    return true;
  }
  if (!minimized) w->minimized = false;
  return false;
}

// ---- Classes and windows ---------------------------------------------------------------------

ATOM RegisterClassA(const WNDCLASSA* wc) {
  if (!wc || !wc->lpszClassName) return 0;
  S().classes[wc->lpszClassName] = *wc;
  return static_cast<ATOM>(S().classes.size());
}

HWND CreateWindowExA(DWORD exStyle, const char* className, const char* windowName, DWORD style,
                     INT x, INT y, INT width, INT height, HWND parent, HMENU, HINSTANCE, void* param) {
  if (!className) return nullptr;
  auto it = S().classes.find(className);
  if (it == S().classes.end()) return nullptr;
  if (!QApplication::instance()) return nullptr;
  auto* widget = new QWidget;
  return Create(widget, true, it->second.lpfnWndProc, style, exStyle, parent, param, className,
                windowName, RECT{x, y, x + width, y + height});
}

HWND AttachWindow(QWidget* widget, WNDPROC proc, DWORD style, DWORD exStyle, HWND parent, void* param) {
  if (!widget) return nullptr;
  return Create(widget, false, proc, style, exStyle, parent, param, nullptr, nullptr, RECT{});
}

BOOL DestroyWindow(HWND h) {
  Window* w = Find(h);
  if (!w || w->destroying) return FALSE;
  w->destroying = true;
  // Children first, as the window system destroys them after the parent's WM_DESTROY.
  GuardedCall([&] { SendMessageA(h, WM_DESTROY, 0, 0); });
  std::vector<HWND> children;
  for (auto& [k, c] : S().windows)
    if (c->parent == h) children.push_back(c->hwnd);
  for (HWND c : children) DestroyWindow(c);
  w = Find(h);
  if (!w) return TRUE;
  GuardedCall([&] { SendMessageA(h, WM_NCDESTROY, 0, 0); });
  w = Find(h);
  if (!w) return TRUE;
  QPointer<QWidget> widget = w->widget;
  bool owns = w->ownsWidget;
  Forget(h);
  if (owns && widget) delete widget.data();
  return TRUE;
}

BOOL IsWindow(HWND h) { return Find(h) ? TRUE : FALSE; }

int LiveWindowCount() { return static_cast<int>(S().windows.size()); }

LRESULT DefWindowProcA(HWND h, UINT msg, WPARAM wParam, LPARAM lParam) {
  NoteDefaultReached(h, msg);
  Window* w = Find(h);
  if (!w) return 0;
  switch (msg) {
    case WM_CLOSE:
      DestroyWindow(h);
      return 0;
    case WM_SYSCOMMAND:
      switch (wParam & 0xFFF0) {
        case SC_MINIMIZE: ShowWindow(h, SW_MINIMIZE); break;
        case SC_MAXIMIZE: ShowWindow(h, SW_MAXIMIZE); break;
        case SC_RESTORE: ShowWindow(h, SW_RESTORE); break;
        case SC_CLOSE: SendMessageA(h, WM_CLOSE, 0, 0); break;
        default: break;
      }
      return 0;
    case WM_SETTEXT:
      w->text = lParam ? reinterpret_cast<const char*>(lParam) : "";
      if (w->widget && IsTopLevel(*w)) w->widget->setWindowTitle(QString::fromStdString(w->text));
      return TRUE;
    case WM_SETCURSOR:
      return FALSE;
    case WM_QUERYNEWPALETTE:
      return FALSE;
    case WM_MOUSEACTIVATE:
      return 1;  // MA_ACTIVATE
    case WM_ERASEBKGND:
      return 1;
    default:
      return 0;
  }
}

LRESULT CallWindowProcA(WNDPROC proc, HWND h, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (!proc) return DefWindowProcA(h, msg, wParam, lParam);
  return proc(h, msg, wParam, lParam);
}

LRESULT SendMessageA(HWND h, UINT msg, WPARAM wParam, LPARAM lParam) {
  Window* w = Find(h);
  if (!w) return 0;
  WNDPROC proc = w->proc;
  return CallWindowProcA(proc, h, msg, wParam, lParam);
}

LONG_PTR GetWindowLongPtrA(HWND h, INT index) {
  Window* w = Find(h);
  if (!w) return 0;
  switch (index) {
    case GWLP_WNDPROC: return reinterpret_cast<LONG_PTR>(w->proc);
    case GWL_STYLE: {
      DWORD s = w->style;
      if (w->widget && !w->widget->isHidden()) s |= WS_VISIBLE;
      if (w->minimized) s |= WS_MINIMIZE;
      if (w->maximized) s |= WS_MAXIMIZE;
      return static_cast<LONG_PTR>(static_cast<LONG>(s));
    }
    case GWL_EXSTYLE: return static_cast<LONG_PTR>(static_cast<LONG>(w->exStyle));
    case GWLP_USERDATA: return w->userData;
    case GWLP_ID: return w->id;
    default: return 0;
  }
}

LONG_PTR SetWindowLongPtrA(HWND h, INT index, LONG_PTR value) {
  Window* w = Find(h);
  if (!w) return 0;
  LONG_PTR old = GetWindowLongPtrA(h, index);
  switch (index) {
    case GWLP_WNDPROC: w->proc = reinterpret_cast<WNDPROC>(value); break;
    case GWL_STYLE: {
      DWORD s = static_cast<DWORD>(value);
      bool vis = (s & WS_VISIBLE) != 0;
      w->style = (s & ~(WS_VISIBLE | WS_MINIMIZE | WS_MAXIMIZE)) | (w->parent ? (w->style & WS_CHILD) : 0);
      ApplyStyles(*w);
      bool wasVis = (static_cast<DWORD>(old) & WS_VISIBLE) != 0;
      if (vis != wasVis) ShowWindow(h, vis ? SW_SHOWNA : SW_HIDE);
      break;
    }
    case GWL_EXSTYLE:
      w->exStyle = static_cast<DWORD>(value);
      ApplyStyles(*w);
      break;
    case GWLP_USERDATA: w->userData = value; break;
    case GWLP_ID: w->id = value; break;
    default: return 0;
  }
  return old;
}

HWND GetParent(HWND h) {
  Window* w = Find(h);
  return w ? w->parent : nullptr;
}

BOOL SetWindowTextA(HWND h, const char* text) {
  if (!Find(h)) return FALSE;
  SendMessageA(h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text ? text : ""));
  return TRUE;
}

std::string GetWindowText(HWND h) {
  Window* w = Find(h);
  return w ? w->text : std::string();
}

BOOL ShowWindow(HWND h, INT cmd) {
  Window* w = Find(h);
  if (!w || !w->widget) return FALSE;
  QWidget* wg = w->widget;
  BOOL wasVisible = !wg->isHidden();
  bool top = IsTopLevel(*w);
  auto leaveSpecial = [&] {
    if (w->maximized || w->minimized) {
      w->maximized = false;
      w->minimized = false;
      w->rect = w->normalRect;
      ApplyRectToWidget(*w);
      wg->setWindowState(Qt::WindowNoState);
      SendPosChanged(*w, SWP_NOZORDER);
    }
  };
  switch (cmd) {
    case SW_HIDE:
      wg->hide();
      if (Window* again = Find(h)) NoteShown(*again, false);
      if (S().active == h) {
        // Activation goes to another visible top-level window, or nowhere.
        HWND next = nullptr;
        ForEachTopLevel([&](HWND o) {
          Window* ow = Find(o);
          if (!next && o != h && ow->widget && ow->widget->isVisible()) next = o;
        });
        if (next) SetActiveWindow(next);
        else {
          HWND old = S().active;
          S().active = nullptr;
          if (Find(old)) GuardedCall([&] { SendMessageA(old, WM_ACTIVATE, WA_INACTIVE, 0); });
        }
      }
      return wasVisible;
    case SW_MAXIMIZE:
      if (top && !w->maximized) {
        if (!w->minimized) w->normalRect = w->rect;
        w->maximized = true;
        w->minimized = false;
        QScreen* sc = QGuiApplication::primaryScreen();
        QRect g = sc ? sc->availableGeometry() : QRect(0, 0, 800, 600);
        w->rect = RECT{g.x(), g.y(), g.x() + g.width(), g.y() + g.height()};
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
      if (top && !w->minimized) {
        if (!w->maximized) w->normalRect = w->rect;
        w->minimized = true;
        wg->setWindowState(wg->windowState() | Qt::WindowMinimized);
        SendMessageA(h, WM_SIZE, SIZE_MINIMIZED, 0);
      }
      if (Find(h) && cmd == SW_SHOWMINIMIZED) {
        wg->show();
        if (Window* again = Find(h)) NoteShown(*again, true);
      }
      if (S().active == h && cmd != SW_SHOWMINIMIZED) {
        S().active = nullptr;
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
  return w && w->widget && w->widget->isVisible() ? TRUE : FALSE;
}
BOOL IsIconic(HWND h) {
  Window* w = Find(h);
  return w && w->minimized ? TRUE : FALSE;
}
BOOL IsZoomed(HWND h) {
  Window* w = Find(h);
  return w && w->maximized ? TRUE : FALSE;
}

BOOL EnableWindow(HWND h, BOOL enable) {
  Window* w = Find(h);
  if (!w) return FALSE;
  BOOL wasDisabled = (w->style & WS_DISABLED) ? TRUE : FALSE;
  if (enable) w->style &= ~WS_DISABLED;
  else w->style |= WS_DISABLED;
  if (w->widget) w->widget->setEnabled(enable != 0);
  if (wasDisabled == (enable ? TRUE : FALSE)) SendMessageA(h, WM_ENABLE, enable ? 1 : 0, 0);
  return wasDisabled;
}

BOOL IsWindowEnabled(HWND h) {
  Window* w = Find(h);
  return w && !(w->style & WS_DISABLED) ? TRUE : FALSE;
}

BOOL SetWindowPos(HWND h, HWND, INT x, INT y, INT cx, INT cy, UINT flags) {
  Window* w = Find(h);
  if (!w) return FALSE;
  RECT r = w->rect;
  if (!(flags & SWP_NOMOVE)) {
    LONG wd = r.right - r.left, ht = r.bottom - r.top;
    r = RECT{x, y, x + wd, y + ht};
  }
  if (!(flags & SWP_NOSIZE)) {
    r.right = r.left + std::max(0, cx);
    r.bottom = r.top + std::max(0, cy);
  }
  UINT sent = flags & ~(SWP_SHOWWINDOW | SWP_HIDEWINDOW);
  if (r.left == w->rect.left && r.top == w->rect.top) sent |= SWP_NOMOVE;
  if (r.right - r.left == w->rect.right - w->rect.left && r.bottom - r.top == w->rect.bottom - w->rect.top)
    sent |= SWP_NOSIZE;
  bool changed = !(r == w->rect);
  if (changed) {
    w->rect = r;
    if (IsTopLevel(*w) && !w->maximized && !w->minimized && !w->fullScreen) w->normalRect = r;
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
  *rect = w->rect;
  if (!IsTopLevel(*w)) {
    POINT p{0, 0};
    ClientToScreen(w->parent, &p);
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
  LONG wd = w->rect.right - w->rect.left, ht = w->rect.bottom - w->rect.top;
  RECT m = IsTopLevel(*w) ? NonClientMargins(w->style, w->exStyle, w->hasMenu) : RECT{};
  if (!IsTopLevel(*w) && (w->exStyle & WS_EX_CLIENTEDGE)) m = RECT{2, 2, 2, 2};
  *rect = RECT{0, 0, std::max<LONG>(0, wd - m.left - m.right), std::max<LONG>(0, ht - m.top - m.bottom)};
  return TRUE;
}

BOOL ClientToScreen(HWND h, POINT* point) {
  Window* w = Find(h);
  if (!w || !point) return FALSE;
  if (IsTopLevel(*w)) {
    RECT m = NonClientMargins(w->style, w->exStyle, w->hasMenu);
    point->x += w->rect.left + m.left;
    point->y += w->rect.top + m.top;
    return TRUE;
  }
  point->x += w->rect.left;
  point->y += w->rect.top;
  return ClientToScreen(w->parent, point);
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
  if (!w || !w->widget) return FALSE;
  if (rect)
    ClientOf(*w)->update(rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top);
  else
    w->widget->update();
  return TRUE;
}

BOOL UpdateWindow(HWND h) {
  Window* w = Find(h);
  if (!w || !w->widget) return FALSE;
  w->widget->repaint();
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
  p->showCmd = w->minimized ? SW_SHOWMINIMIZED : w->maximized ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL;
  if (w->minimized && w->maximized) p->flags |= WPF_RESTORETOMAXIMIZED;
  p->ptMinPosition = POINT{-1, -1};
  p->ptMaxPosition = POINT{-1, -1};
  p->rcNormalPosition = (IsTopLevel(*w) && !w->maximized && !w->minimized && !w->fullScreen) ? w->rect : w->normalRect;
  if (w->fullScreen) p->rcNormalPosition = w->savedRect;
  return TRUE;
}

BOOL SetWindowPlacement(HWND h, const WINDOWPLACEMENT* p) {
  Window* w = Find(h);
  if (!w || !p || p->length != sizeof(WINDOWPLACEMENT)) return FALSE;
  w->normalRect = p->rcNormalPosition;
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
      if (w->maximized || w->minimized) {
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

// ---- Activation ------------------------------------------------------------------------------

HWND GetForegroundWindow() { return S().appActive ? S().active : nullptr; }

BOOL SetForegroundWindow(HWND h) {
  if (!Find(h)) return FALSE;
  if (!S().appActive) SimulateAppSwitch(h);
  else SetActiveWindow(h);
  return TRUE;
}

HWND GetActiveWindow() { return S().active; }

HWND SetActiveWindow(HWND h) {
  Window* w = Find(h);
  HWND old = S().active;
  if (!w || !IsTopLevel(*w)) return old;
  if (!S().appActive) {
    // Activating one of our windows brings the application to the front.
    S().appActive = true;
    ForEachTopLevel([](HWND t) { GuardedCall([&] { SendMessageA(t, WM_ACTIVATEAPP, TRUE, 0); }); });
    old = S().active;
  }
  if (old == h) return old;
  S().active = h;
  if (Find(old)) GuardedCall([&] { SendMessageA(old, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(h)); });
  if (Find(h)) {
    GuardedCall([&] { SendMessageA(h, WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(old)); });
    GuardedCall([&] { SendMessageA(h, WM_QUERYNEWPALETTE, 0, 0); });
  }
  if (Window* again = Find(h); again && again->widget && again->widget->isVisible()) again->widget->activateWindow();
  return old;
}

void SimulateAppSwitch(HWND activate) {
  if (!activate) {
    if (!S().appActive) return;
    HWND old = S().active;
    S().appActive = false;
    if (Find(old)) GuardedCall([&] { SendMessageA(old, WM_ACTIVATE, WA_INACTIVE, 0); });
    ForEachTopLevel([](HWND t) { GuardedCall([&] { SendMessageA(t, WM_ACTIVATEAPP, FALSE, 0); }); });
    return;
  }
  if (S().appActive) {
    SetActiveWindow(activate);
    return;
  }
  S().active = nullptr;  // the window gets WA_ACTIVE; nobody of ours loses activation
  SetActiveWindow(activate);
}

void BroadcastPaletteChanged(HWND source) {
  ForEachTopLevel([source](HWND t) {
    GuardedCall([&] { SendMessageA(t, WM_PALETTECHANGED, reinterpret_cast<WPARAM>(source), 0); });
  });
}

HWND GetFocus() { return S().focus; }

HWND SetFocus(HWND h) {
  HWND old = S().focus;
  Window* w = Find(h);
  if (!w) return old;
  if (w->widget) w->widget->setFocus();
  if (S().focus != h) {
    S().focus = h;
    if (Find(old)) GuardedCall([&] { SendMessageA(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(h), 0); });
    if (Find(h)) GuardedCall([&] { SendMessageA(h, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0); });
  }
  return old;
}

// ---- Qt side ---------------------------------------------------------------------------------

QWidget* WindowWidget(HWND h) {
  Window* w = Find(h);
  return w ? w->widget.data() : nullptr;
}

HWND WindowFromWidget(const QWidget* widget) {
  for (const QWidget* p = widget; p; p = p->parentWidget()) {
    auto it = S().sources.find(p);
    if (it != S().sources.end()) return it->second;
  }
  return nullptr;
}

void AddEventSource(HWND h, QWidget* source) {
  Window* w = Find(h);
  if (!w || !source || S().sources.count(source)) return;
  source->setAttribute(Qt::WA_NoMousePropagation, true);
  Register(*w, source);
}

void SetClientWidget(HWND h, QWidget* client) {
  Window* w = Find(h);
  if (!w) return;
  w->client = client;
  if (client && client != w->widget.data()) AddEventSource(h, client);
}

QWidget* ClientWidget(HWND h) {
  Window* w = Find(h);
  return w ? ClientOf(*w) : nullptr;
}

void SetWindowHasMenu(HWND h, bool hasMenu) {
  Window* w = Find(h);
  if (w) w->hasMenu = hasMenu;
}

void SetFullScreenWindow(HWND h, bool fullScreen) {
  Window* w = Find(h);
  if (!w || !IsTopLevel(*w) || w->fullScreen == fullScreen) return;
  if (fullScreen) {
    w->savedStyle = w->style;
    w->savedRect = w->maximized ? w->normalRect : w->rect;
    w->fullScreen = true;
    SetWindowLongPtrA(h, GWL_STYLE, static_cast<LONG_PTR>((w->style & ~(WS_CAPTION | WS_THICKFRAME | WS_BORDER)) | WS_POPUP |
                                                          (IsWindowVisible(h) ? WS_VISIBLE : 0)));
    SetWindowPos(h, nullptr, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                 SWP_NOZORDER | SWP_NOACTIVATE);
  } else {
    w->fullScreen = false;
    RECT r = w->savedRect;
    SetWindowLongPtrA(h, GWL_STYLE, static_cast<LONG_PTR>(w->savedStyle | (IsWindowVisible(h) ? WS_VISIBLE : 0)));
    SetWindowPos(h, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

bool IsFullScreenWindow(HWND h) {
  Window* w = Find(h);
  return w && w->fullScreen;
}

void SetExceptionHandler(std::function<void(std::exception_ptr)> handler) {
  S().exceptionHandler = std::move(handler);
}

void GuardedCall(const std::function<void()>& f) {
  try {
    f();
  } catch (...) {
    auto& h = S().exceptionHandler;
    if (h) {
      try {
        h(std::current_exception());
      } catch (...) {
      }
    }
  }
}

// ---- Cursor per window -----------------------------------------------------------------------

void SetWindowCursor(HWND h, HCURSOR cursor) {
  Window* w = Find(h);
  if (!w) return;
  w->cursor = cursor;
  w->cursorSet = true;
  if (w->widget) ApplyCursorToWidget(ClientOf(*w), cursor);
}

HCURSOR GetWindowCursor(HWND h) {
  Window* w = Find(h);
  if (!w) return nullptr;
  return w->cursorSet ? w->cursor : LoadCursorA(nullptr, IDC_ARROW);
}

}  // namespace win
