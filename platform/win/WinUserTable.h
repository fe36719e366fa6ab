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

State& S();
Window* Find(HWND h);
inline bool IsTopLevel(const Window& w) { return (w.style & WS_CHILD) == 0 || !w.parent; }
inline QWidget* ClientOf(const Window& w) { return w.client ? w.client.data() : w.widget.data(); }

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
