// Activation of top-level windows, the application's switch to and from the front, and the
// input focus.
#include <QWidget>

#include "platform/win/QtWindows.h"
#include "platform/win/WinInternal.h"
#include "platform/win/WinUserTable.h"
#include "platform/win/WinUserTesting.h"

namespace win {

using namespace table;

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

}  // namespace win