#pragma once
// Keys as the keyboard reports them, before any layout or virtual-key translation: the position
// of the key (its set-1 scan code and the extended-key flag), whether it went down or up, and
// the window that had it. Input devices that read the keyboard directly listen here; the window
// system calls NotifyRawKey for every key event a window of ours receives.
#include <cstdint>
#include <functional>

#include "platform/win/WinTypes.h"

namespace win {

struct RawKeyEvent {
  BYTE Scan = 0;         // set-1 scan code, 0x01 .. 0x7F
  bool Extended = false; // the E0-prefixed keys (arrows, right Ctrl/Alt, keypad Enter and /, ...)
  bool Down = false;
  bool Repeat = false;   // typematic repeat of a key held down
  HWND Window = nullptr;
};

using RawKeyListener = std::function<void(const RawKeyEvent&)>;

// Listeners are called in the order they were added. The id removes the listener again.
int AddRawKeyListener(RawKeyListener listener);
void RemoveRawKeyListener(int id);

// A key event reached `window`. nativeScanCode is what the window system reported for the key
// (an X11/xkb key code, that is the evdev code plus 8; 0 when there is none, as on the offscreen
// platform); without one the key's position is taken from its virtual key `vk`. Keys whose
// position cannot be told are not reported.
void NotifyRawKey(std::uint32_t nativeScanCode, BYTE vk, bool down, bool repeat, HWND window);

// The position of a key: from an evdev key code, or else from a virtual key. False when unknown.
bool ScanFromEvdev(std::uint32_t evdev, BYTE& scan, bool& extended);
bool ScanFromVirtualKey(BYTE vk, BYTE& scan, bool& extended);

}  // namespace win
