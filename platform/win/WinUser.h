#pragma once
// Window handles, window procedures, the message queue, timers, placement, cursors, the keyboard
// table and the message box of the window system, over Qt widgets.
//
// Every window is an entry in a handle table: a QWidget, its window procedure (replaceable with
// SetWindowLongPtr(GWLP_WNDPROC) and chained with CallWindowProc), its styles and a user-data
// slot. Qt events reaching a window's widget are translated into the platform's messages and sent
// through the window procedure; what reaches DefWindowProc is then left to Qt's own handling of
// the event, what a procedure answers itself is not.
#include <string>

#include "platform/win/WinTypes.h"

namespace win {

// ---- Window classes and windows --------------------------------------------------------------

struct WNDCLASSA {
  UINT style = 0;
  WNDPROC lpfnWndProc = nullptr;
  INT cbClsExtra = 0;
  INT cbWndExtra = 0;
  HINSTANCE hInstance = nullptr;
  HICON hIcon = nullptr;
  HCURSOR hCursor = nullptr;
  HBRUSH hbrBackground = nullptr;
  const char* lpszMenuName = nullptr;
  const char* lpszClassName = nullptr;
};

ATOM RegisterClassA(const WNDCLASSA* wc);
// A window of a registered class over a plain widget of its own (a top-level one unless
// WS_CHILD is given with a parent). Sends WM_CREATE through the class's procedure; a procedure
// answering -1 refuses the creation (null comes back). Texts are UTF-8.
HWND CreateWindowExA(DWORD exStyle, const char* className, const char* windowName, DWORD style,
                     INT x, INT y, INT width, INT height, HWND parent, HMENU menu, HINSTANCE instance,
                     void* param);
// Sends WM_DESTROY, destroys the child windows first, then forgets the handle. Widgets the
// platform made are deleted; widgets given to AttachWindow stay with their owner.
BOOL DestroyWindow(HWND hwnd);
BOOL IsWindow(HWND hwnd);

LRESULT DefWindowProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT CallWindowProcA(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT SendMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Queued; delivered by the message loop (GetMessage/PeekMessage/DispatchMessage).
BOOL PostMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(INT exitCode);

inline constexpr UINT PM_NOREMOVE = 0;
inline constexpr UINT PM_REMOVE = 1;
// Gives the next queued message. Qt events waiting in the window system are processed first
// (they are delivered to their windows' procedures directly); then a posted message, if any.
// WM_QUIT comes back as a message like any other.
BOOL PeekMessageA(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeMsg);
LRESULT DispatchMessageA(const MSG* msg);
BOOL TranslateMessage(const MSG* msg);
// Waits in the window system until an event or a posted message arrives.
BOOL WaitMessage();
// Lets Qt deliver what it has pending without waiting; true when anything was delivered.
bool ProcessPendingEvents();

LONG_PTR GetWindowLongPtrA(HWND hwnd, INT index);
// GWLP_WNDPROC replaces the procedure and returns the previous one; GWL_STYLE and GWL_EXSTYLE
// take effect on the widget (border, caption, visibility, enabled, tool-window flag).
LONG_PTR SetWindowLongPtrA(HWND hwnd, INT index, LONG_PTR value);
inline LONG GetWindowLongA(HWND hwnd, INT index) { return static_cast<LONG>(GetWindowLongPtrA(hwnd, index)); }
inline LONG SetWindowLongA(HWND hwnd, INT index, LONG value) {
  return static_cast<LONG>(SetWindowLongPtrA(hwnd, index, value));
}

HWND GetParent(HWND hwnd);
BOOL SetWindowTextA(HWND hwnd, const char* text);  // UTF-8
std::string GetWindowText(HWND hwnd);

// Sends WM_WINDOWPOSCHANGED (with SWP_SHOWWINDOW when a hidden window is shown), WM_SHOWWINDOW
// and, for a top-level window becoming visible, activates it.
BOOL ShowWindow(HWND hwnd, INT cmd);
BOOL IsWindowVisible(HWND hwnd);
BOOL IsIconic(HWND hwnd);
BOOL IsZoomed(HWND hwnd);
BOOL EnableWindow(HWND hwnd, BOOL enable);
BOOL IsWindowEnabled(HWND hwnd);
// Moves and sizes in the parent's client coordinates (screen coordinates for top-level windows).
// The size of a top-level window is its outer size, frame included.
BOOL SetWindowPos(HWND hwnd, HWND insertAfter, INT x, INT y, INT cx, INT cy, UINT flags);
BOOL MoveWindow(HWND hwnd, INT x, INT y, INT width, INT height, BOOL repaint);
BOOL GetWindowRect(HWND hwnd, RECT* rect);  // screen coordinates, frame included
BOOL GetClientRect(HWND hwnd, RECT* rect);  // (0, 0, client width, client height)
BOOL ClientToScreen(HWND hwnd, POINT* point);
BOOL ScreenToClient(HWND hwnd, POINT* point);
BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase);
BOOL UpdateWindow(HWND hwnd);
INT GetSystemMetrics(INT index);

// The window's frame as this platform draws it around the client area, from its styles.
RECT NonClientMargins(DWORD style, DWORD exStyle, bool hasMenu);

BOOL GetWindowPlacement(HWND hwnd, WINDOWPLACEMENT* placement);  // length must be 44
BOOL SetWindowPlacement(HWND hwnd, const WINDOWPLACEMENT* placement);

// Activation. Activating a top-level window sends WM_ACTIVATE to the one losing activation
// (WA_INACTIVE) and then to the new one; WM_ACTIVATEAPP goes to every top-level window when the
// application as a whole gains or loses activation.
HWND GetForegroundWindow();
BOOL SetForegroundWindow(HWND hwnd);
HWND GetActiveWindow();
HWND SetActiveWindow(HWND hwnd);
HWND GetFocus();
HWND SetFocus(HWND hwnd);
// A window realized a palette into the system palette: WM_PALETTECHANGED (wParam the window)
// goes to every top-level window. Activation sends WM_QUERYNEWPALETTE to the new active window.
void BroadcastPaletteChanged(HWND source);

// ---- Timers -----------------------------------------------------------------------------------
// WM_TIMER is sent to the window's procedure (wParam the id) every `elapse` milliseconds.
UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc);
BOOL KillTimer(HWND hwnd, UINT_PTR id);
bool TimerExists(HWND hwnd, UINT_PTR id);

// ---- Keyboard ---------------------------------------------------------------------------------
// The key table is fed by the key messages the windows receive (bit 7: down, bit 0: toggled).
BOOL GetKeyboardState(BYTE* keyState256);
BOOL SetKeyboardState(const BYTE* keyState256);
SHORT GetKeyState(INT vk);
SHORT GetAsyncKeyState(INT vk);
UINT MapVirtualKeyA(UINT code, UINT mapType);

// ---- Cursors ----------------------------------------------------------------------------------
// IDC_* as the name; null instance. A "none" cursor is a null HCURSOR.
HCURSOR LoadCursorA(HINSTANCE instance, UINT_PTR name);
HCURSOR SetCursor(HCURSOR cursor);
HCURSOR GetCursor();
INT ShowCursor(BOOL show);
// The cursor shown over a window (null: hidden).
void SetWindowCursor(HWND hwnd, HCURSOR cursor);
HCURSOR GetWindowCursor(HWND hwnd);

// ---- Message box ------------------------------------------------------------------------------
// Texts are code page 1251, as the ANSI interface takes them. Modal; returns the button pressed.
INT MessageBoxA(HWND owner, const char* text, const char* caption, UINT type);
// The same with UTF-8 texts.
INT MessageBoxUtf8(HWND owner, const std::string& text, const std::string& caption, UINT type);

}  // namespace win
