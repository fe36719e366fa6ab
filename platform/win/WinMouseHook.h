#pragma once
// The mouse as a pointing device rather than a pointer: movement in screen pixels since the
// last event, wheel movement, and button changes, whatever window they happen over. Input devices
// that read the mouse directly listen here; the window system calls NotifyRawMouse for every
// mouse event a window of ours receives.
#include <functional>

#include "platform/win/WinTypes.h"

namespace win {

struct RawMouseEvent {
  int DX = 0, DY = 0;  // pixels, right and down positive
  int Wheel = 0;       // 120 per notch, away from the user positive
  int Button = -1;     // 0 left, 1 right, 2 middle, 3 and 4 the side buttons; -1 none changed
  bool Down = false;
  HWND Window = nullptr;
};

using RawMouseListener = std::function<void(const RawMouseEvent&)>;

int AddRawMouseListener(RawMouseListener listener);
void RemoveRawMouseListener(int id);
void NotifyRawMouse(const RawMouseEvent& ev);

// The pointer moved to (x, y) on the screen: reports the movement since the last position seen.
void NotifyPointerAt(int x, int y, HWND window);

}  // namespace win
