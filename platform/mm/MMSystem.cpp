#include "platform/mm/MMSystem.h"

#include <chrono>
#include <thread>

#include "platform/mm/MMSystemTesting.h"

namespace mm {

namespace {
bool g_virtual = false;
DWORD g_now = 0;
}  // namespace

DWORD timeGetTime() {
  if (g_virtual) return g_now;
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now().time_since_epoch())
                      .count();
  return static_cast<DWORD>(static_cast<std::uint64_t>(ms));
}

void SetVirtualTime(DWORD now) {
  g_virtual = true;
  g_now = now;
}

void AdvanceVirtualTime(DWORD milliseconds) {
  if (!g_virtual) SetVirtualTime(timeGetTime());
  g_now += milliseconds;  // unsigned: wraps like the real clock
}

void UseRealClock() { g_virtual = false; }
bool UsingVirtualClock() { return g_virtual; }

void WaitClock(DWORD milliseconds) {
  if (g_virtual)
    AdvanceVirtualTime(milliseconds);
  else
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace mm
