#pragma once
// What tests reach inside the window system for: window timers on a clock they move, the user
// switching applications, keys put into the key table, message boxes answered by a hook, and
// the counts that show leaks. Not for programs: no public header includes this one.
#include <cstdint>
#include <functional>
#include <string>

#include "platform/win/WinUser.h"

namespace win {

// Number of Qt events and posted messages delivered so far ("the queue was empty").
std::uint64_t DeliveredEventCount();
// Window handles and window timers alive (leak checks).
int LiveWindowCount();
int LiveTimerCount();

// The user switched to another application (null) or back to one of our windows.
void SimulateAppSwitch(HWND activate);

// In virtual mode no window timer fires by itself: AdvanceTimers moves the timer clock on and
// fires what became due, in time order, so that runs are deterministic.
void SetVirtualTimers(bool on);
bool VirtualTimers();
// Returns how many ticks were delivered.
int AdvanceTimers(DWORD milliseconds);

// Records a key going down or up in the key table (also the generic VK_SHIFT/CONTROL/MENU for
// the left and right variants), as the key messages of the windows do.
void RecordKey(BYTE vk, bool down);

// A hook sees every message box (UTF-8 texts) instead of the window system and gives the
// answer; an empty hook restores the real box.
using MessageBoxHook = std::function<INT(const std::string& text, const std::string& caption, UINT type)>;
void SetMessageBoxHook(MessageBoxHook hook);

}  // namespace win
