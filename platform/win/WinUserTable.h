#pragma once
// The handle table behind the window API, shared by the sources that implement that API
// (WinUser.cpp: handles, classes, window procedures and window data; WinUserGeometry.cpp:
// showing, sizes, placement and full screen; WinUserActivation.cpp: activation and focus).
// The rest of the window system reaches it through WinInternal.h only.
#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/win/WinUser.h"

namespace win::table {

struct Window {
  HWND Handle = nullptr;
  QPointer<QWidget> Widget;
  QPointer<QWidget> Client;
  bool OwnsWidget = false;
  WNDPROC Proc = nullptr;
  DWORD Style = 0;
  DWORD ExStyle = 0;
  LONG_PTR UserData = 0;
  LONG_PTR Id = 0;
  HWND Parent = nullptr;
  std::string Text;
  RECT Rect;        // outer rectangle: parent client coordinates, screen for top-level windows
  RECT NormalRect;  // the restored rectangle of a top-level window
  bool Shown = false;  // visible on screen as last reported
  bool Minimized = false;
  bool Maximized = false;
  bool HasMenu = false;
  bool FullScreen = false;
  DWORD SavedStyle = 0;
  RECT SavedRect;
  bool Destroying = false;
  HCURSOR Cursor = nullptr;
  bool CursorSet = false;
  std::vector<QPointer<QWidget>> Sources;
};

// The handle table: the windows, the widgets whose events they receive, the window classes,
// and which window is active and has the focus.
struct State {
  std::unordered_map<std::uintptr_t, std::unique_ptr<Window>> Windows;
  std::unordered_map<const QObject*, HWND> Sources;
  std::map<std::string, WNDCLASSA> Classes;
  std::uintptr_t NextHandle = 0x10000;
  HWND Active = nullptr;
  bool AppActive = false;
  HWND Focus = nullptr;
  std::function<void(std::exception_ptr)> ExceptionHandler;
};

State& S();
Window* Find(HWND h);
inline bool IsTopLevel(const Window& w) { return (w.Style & WS_CHILD) == 0 || !w.Parent; }
inline QWidget* ClientOf(const Window& w) { return w.Client ? w.Client.data() : w.Widget.data(); }

// ---- Geometry and styles (WinUserGeometry.cpp) -----------------------------------------------

// The outer rectangle the widget's geometry stands for.
RECT OuterFromWidget(const Window& w);
// Moves and sizes the widget to the window's rectangle.
void ApplyRectToWidget(Window& w);
// WM_WINDOWPOSCHANGED, then WM_MOVE and WM_SIZE as the flags allow.
void SendPosChanged(Window& w, UINT flags);
void NoteShown(Window& w, bool shown);
void SyncGeometryFromWidget(Window& w);
// The widget's frame and enabled state after a change of style.
void ApplyStyles(Window& w);

}  // namespace win::table
