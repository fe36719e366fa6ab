#pragma once
// Qt events delivered by tests as if the window system had sent them. Not for programs: no
// public header includes this one.
#include "platform/win/QtWindows.h"

class QEvent;

namespace win {

// Delivers a Qt event to the window's widget as if the window system had sent it. Returns
// whether a window procedure let it through to the default handling.
bool DeliverQtEvent(HWND hwnd, QEvent* event);

}  // namespace win
