#pragma once
// Suspending the calling thread.
#include "platform/base/Types.h"

namespace kernel {

// Gives up the processor for at least `milliseconds`; 0 only yields.
void Sleep(win::DWORD milliseconds);

}  // namespace kernel
