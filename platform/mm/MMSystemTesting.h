#pragma once
// The virtual multimedia clock that tests set and advance, so that everything timed by
// timeGetTime runs deterministically. Not for programs: no public header includes this one.
#include "platform/mm/MMSystem.h"

namespace mm {

// Switches to a virtual clock showing `now`; timeGetTime then returns it until changed.
void SetVirtualTime(DWORD now);
// Moves the virtual clock on (wrapping); switches to it first if the real clock was in use.
void AdvanceVirtualTime(DWORD milliseconds);
// Back to the real monotonic clock.
void UseRealClock();
bool UsingVirtualClock();

}  // namespace mm
