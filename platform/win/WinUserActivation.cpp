// Activation of top-level windows, the application's switch to and from the front, and the
// input focus.
#include <QWidget>

#include "platform/win/QtWindows.h"
#include "platform/win/WinInternal.h"
#include "platform/win/WinUserTable.h"
#include "platform/win/WinUserTesting.h"

namespace win {

using namespace table;

HWND GetForegroundWindow() { return S().AppActive ? S().Active : nullptr; }

BOOL SetForegroundWindow(HWND h) {
  if (!Find(h)) return FALSE;
  if (!S().AppActive) SimulateAppSwitch(h);
  else SetActiveWindow(h);
  return TRUE;
}

HWND GetActiveWindow() { return S().Active; }

HWND SetActiveWindow(HWND h) {
  Window* w = Find(h);
  HWND old = S().Active;
  if (!w || !IsTopLevel(*w)) return old;
  if (!S().AppActive) {
    // Activating one of our windows brings the application to the front.
    S().AppActive = true;
    ForEachTopLevel([](HWND t) { GuardedCall([&] { SendMessageA(t, WM_ACTIVATEAPP, TRUE, 0); }); });
    old = S().Active;
  }
  if (old == h) return old;
  S().Active = h;
  if (Find(old)) GuardedCall([&] { SendMessageA(old, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(h)); });
  if (Find(h)) {
    GuardedCall([&] { SendMessageA(h, WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(old)); });
    GuardedCall([&] { SendMessageA(h, WM_QUERYNEWPALETTE, 0, 0); });
  }
  if (Window* again = Find(h); again && again->Widget && again->Widget->isVisible()) again->Widget->activateWindow();
  return old;
}

void SimulateAppSwitch(HWND activate) {
  if (!activate) {
    if (!S().AppActive) return;
    HWND old = S().Active;
    S().AppActive = false;
    if (Find(old)) GuardedCall([&] { SendMessageA(old, WM_ACTIVATE, WA_INACTIVE, 0); });
    ForEachTopLevel([](HWND t) { GuardedCall([&] { SendMessageA(t, WM_ACTIVATEAPP, FALSE, 0); }); });
    return;
  }
  if (S().AppActive) {
    SetActiveWindow(activate);
    return;
  }
  S().Active = nullptr;  // the window gets WA_ACTIVE; nobody of ours loses activation
  SetActiveWindow(activate);
}

void BroadcastPaletteChanged(HWND source) {
  ForEachTopLevel([source](HWND t) {
    GuardedCall([&] { SendMessageA(t, WM_PALETTECHANGED, reinterpret_cast<WPARAM>(source), 0); });
  });
}

HWND GetFocus() { return S().Focus; }

HWND SetFocus(HWND h) {
  HWND old = S().Focus;
  Window* w = Find(h);
  if (!w) return old;
  if (w->Widget) w->Widget->setFocus();
  if (S().Focus != h) {
    S().Focus = h;
    if (Find(old)) GuardedCall([&] { SendMessageA(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(h), 0); });
    if (Find(h)) GuardedCall([&] { SendMessageA(h, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0); });
  }
  return old;
}

}  // namespace win