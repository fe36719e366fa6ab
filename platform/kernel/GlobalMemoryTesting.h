#pragma once
// What tests reach inside global memory for. Not for programs: no public header includes this
// one.
#include "platform/kernel/GlobalMemory.h"

namespace kernel {

// Live blocks, for leak checks.
int GlobalBlockCount();

}  // namespace kernel
