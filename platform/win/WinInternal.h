#pragma once
// Shared between the window-system sources; not an interface of the platform.
#include <cstdint>
#include <deque>
#include <functional>

#include "platform/win/WinUser.h"

class QWidget;

namespace win {

bool WindowExists(HWND h);
void ForEachTopLevel(const std::function<void(HWND)>& f);
std::uint64_t& DeliveredCounter();
std::deque<MSG>& PostedQueue();
BYTE* KeyTable();
MessageBoxHook& TheMessageBoxHook();
void EnsureEventCounter();
void KillTimersOf(HWND h);
void ApplyCursorToWidget(QWidget* widget, HCURSOR cursor);
bool IsExtendedKey(BYTE vk);
// Virtual key of an X11 key code (evdev + 8) by its place on a US keyboard; 0 if unknown.
BYTE VkFromX11Keycode(std::uint32_t keycode);

}  // namespace win
