#pragma once
// How the window system's sources work together; not an interface of the platform. Each source
// keeps its own state to itself; the others reach it only through the calls below.
#include <cstdint>
#include <functional>

#include "platform/win/WinUser.h"

class QObject;
class QWidget;
class QKeyEvent;

namespace win {

// ---- The handle table and the window API (WinUser.cpp, WinUserTable.h) ---------------------

bool WindowExists(HWND h);
void ForEachTopLevel(const std::function<void(HWND)>& f);
// The window whose events `source` delivers, if it is alive and not being destroyed.
HWND EventWindow(const QObject* source);
// Whether `obj` is the window's own widget (or, with `orClient`, its client widget).
bool IsWindowWidget(HWND h, const QObject* obj, bool orClient = false);
bool IsTopLevelWindow(HWND h);
bool ApplicationActive();
// The window system reports: the widget was shown or hidden; it moved or changed size.
void NoteShown(HWND h, bool shown);
void NoteGeometryFromWidget(HWND h);
// Input focus went to `h`; true (with the window that had it) when that is a change.
bool TakeFocus(HWND h, HWND& previous);
// The user minimised the window (or undid it) through the window manager; true when the
// window was not minimised before.
bool NoteUserMinimized(HWND h, bool minimized);

// ---- Qt events into messages (WinUserEvents.cpp) --------------------------------------------

// Installs the counter of delivered events (once there is an application object).
void EnsureEventCounter();
// Events of `source` are translated from now on / no more.
void StartTranslating(QWidget* source);
void StopTranslating(QWidget* source);
// DefWindowProc was reached for a message that a Qt event was translated into.
void NoteDefaultReached(HWND h, UINT msg);

// ---- The message queue and timers (WinMessages.cpp) -----------------------------------------

void NoteEventDelivered();
void DropPostedMessages(HWND h);
void KillTimersOf(HWND h);

// ---- The keyboard (WinUserKeyboard.cpp) -----------------------------------------------------

bool IsExtendedKey(BYTE vk);
// Virtual key of an X11 key code (evdev + 8) by its place on a US keyboard; 0 if unknown.
BYTE VkFromX11Keycode(std::uint32_t keycode);
// The key message of a key event (message, wParam and lParam set), after recording the key in
// the key table; false for keys without a virtual key and for the releases of auto-repeat.
bool TranslateKeyEvent(const QKeyEvent& event, MSG& message);

// ---- Cursors (WinUserCursors.cpp) -----------------------------------------------------------

void ApplyCursorToWidget(QWidget* widget, HCURSOR cursor);

}  // namespace win
