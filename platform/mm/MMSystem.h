#pragma once
// The multimedia clock: milliseconds since the system started, 32 bits, wrapping after about
// 49.7 days. Tests replace the clock by a virtual one they set and advance.
#include <cstdint>

namespace mm {

using DWORD = std::uint32_t;

DWORD timeGetTime();

// Switches to a virtual clock showing `now`; timeGetTime then returns it until changed.
void SetVirtualTime(DWORD now);
// Moves the virtual clock on (wrapping); switches to it first if the real clock was in use.
void AdvanceVirtualTime(DWORD milliseconds);
// Back to the real monotonic clock.
void UseRealClock();
bool UsingVirtualClock();

}  // namespace mm
