#pragma once
// Message boxes of the framework: the plain modal box with one OK button and the application's
// title as caption.
#include <string>

#include "platform/win/WinUser.h"

namespace fw {

void ShowMessage(const std::string& Msg);
template <class... Args>
void ShowMessageFmt(std::string_view Format, const Args&... args);

// Tests: every message box (also the default error handler's) goes to the hook instead of the
// window system; an empty hook restores the real box.
using win::MessageBoxHook;
inline void SetMessageBoxHook(MessageBoxHook Hook) { win::SetMessageBoxHook(std::move(Hook)); }

}  // namespace fw

#include "framework/SysUtils.h"

namespace fw {
template <class... Args>
void ShowMessageFmt(std::string_view Fmt, const Args&... args) {
  ShowMessage(Format(Fmt, args...));
}
}  // namespace fw
