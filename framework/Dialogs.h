#pragma once
// Message boxes of the framework: the plain modal box with one OK button and the application's
// title as caption.
#include <string>

#include "platform/win/WinUser.h"

namespace fw {

void ShowMessage(const std::string& Msg);
template <class... Args>
void ShowMessageFmt(std::string_view Format, const Args&... args);

}  // namespace fw

#include "framework/SysUtils.h"

namespace fw {
template <class... Args>
void ShowMessageFmt(std::string_view Fmt, const Args&... args) {
  ShowMessage(Format(Fmt, args...));
}
}  // namespace fw
