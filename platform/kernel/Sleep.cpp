#include "platform/kernel/Sleep.h"

#include <chrono>
#include <thread>

namespace kernel {

void Sleep(win::DWORD milliseconds) {
  if (milliseconds == 0)
    std::this_thread::yield();
  else
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace kernel
