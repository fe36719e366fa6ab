#pragma once
// Suspending the calling thread.
#include "platform/win/WinTypes.h"

namespace kernel {

// Gives up the processor for at least `milliseconds`; 0 only yields.
void Sleep(win::DWORD milliseconds);

}  // namespace kernel
