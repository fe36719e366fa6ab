#pragma once
// The Qt side of window handles, for the framework and the platform's own presentation code:
// giving a widget a handle, finding the widget of a handle, the client-area widget, and the
// borderless full-screen state.
#include <exception>
#include <functional>

#include "platform/win/WinUser.h"

class QWidget;
class QMouseEvent;

namespace win {

// Gives `widget` a handle with the window procedure `proc`; `parent` null makes it a top-level
// window. Sends WM_CREATE (lParam: CREATESTRUCTA with `param`). The widget stays its owner's:
// DestroyWindow forgets the handle but does not delete it. If the widget is deleted first, the
// handle is forgotten then (no messages).
HWND AttachWindow(QWidget* widget, WNDPROC proc, DWORD style, DWORD exStyle, HWND parent,
                  void* param = nullptr);
QWidget* WindowWidget(HWND hwnd);
// The nearest window whose widget is `widget` or one of its ancestors.
HWND WindowFromWidget(const QWidget* widget);
// Events of `source` (a part of a composite widget, e.g. the text field inside a spin box) are
// translated as events of `hwnd`.
void AddEventSource(HWND hwnd, QWidget* source);

// The widget that holds the child windows and whose size is the client rectangle; by default
// the window's own widget. A form puts its menu bar above it.
void SetClientWidget(HWND hwnd, QWidget* client);
QWidget* ClientWidget(HWND hwnd);
// Whether the window shows a menu bar (counted in its frame for the outer size).
void SetWindowHasMenu(HWND hwnd, bool hasMenu);

// Borderless and covering the whole screen, or back to the styles it had before.
void SetFullScreenWindow(HWND hwnd, bool fullScreen);
bool IsFullScreenWindow(HWND hwnd);

// Exceptions escaping a window procedure called from the window system's event delivery (or a
// timer) cannot travel through Qt; they are handed to this handler (the application object's
// default error handler). Without one they are dropped.
void SetExceptionHandler(std::function<void(std::exception_ptr)> handler);
// Runs f; an exception goes to the handler above.
void GuardedCall(const std::function<void()>& f);

// The message of a mouse event at (x, y) of the receiving window's client area: WM_MOUSEMOVE or
// the button's down, up or double-click message, with the MK_ key flags. False for a button the
// window system has no message for. Used for windows and for the controls without one alike.
bool TranslateMouseEvent(const QMouseEvent& event, int x, int y, MSG& message);

}  // namespace win
