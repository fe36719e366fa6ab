#pragma once
// Message boxes answered by tests. Not for programs: no public header includes this one.
#include <utility>

#include "framework/Dialogs.h"
#include "platform/win/WinUserTesting.h"

namespace fw {

// Every message box (also the default error handler's) goes to the hook instead of the window
// system; an empty hook restores the real box.
using win::MessageBoxHook;
inline void SetMessageBoxHook(MessageBoxHook Hook) { win::SetMessageBoxHook(std::move(Hook)); }

}  // namespace fw
