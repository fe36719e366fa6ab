// Window handles over Qt widgets: the handle table, window classes, window procedures and the
// data a window keeps (styles, text, user data, cursor), and the widgets behind the handles.
#include "platform/win/WinUser.h"

#include <QApplication>
#include <QPointer>
#include <QWidget>

#include <algorithm>
#include <memory>
#include <vector>

#include "platform/win/QtWindows.h"
#include "platform/win/WinInternal.h"
#include "platform/win/WinUserTable.h"
#include "platform/win/WinUserTesting.h"

namespace win {

namespace table {

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

}  // namespace table

using namespace table;

namespace {

void Forget(HWND h);

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
