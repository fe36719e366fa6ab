#pragma once
// What tests reach inside the application object for: choosing or forgetting the main form,
// running the loop again after Terminate, a wait that does not block, and the loop's counts.
// Not for programs: no public header includes this one.
#include <functional>
#include <utility>

#include "framework/Forms.h"

namespace fw {

struct TApplicationTesting {
  // Forgets (null) or chooses the main form.
  static void SetMainForm(TApplication& App, TCustomForm* Form) { App.main_form_ = Form; }
  // Lets Run run again after Terminate.
  static void ResetTerminated(TApplication& App) { App.terminated_ = false; }
  // Called instead of waiting for the next event when the idle handler is done (a wait with
  // nothing to come would block); an empty hook restores the real wait.
  static void SetWaitHook(TApplication& App, std::function<void()> Hook) { App.wait_hook_ = std::move(Hook); }
  // Idle passes, and the waits among them, so far.
  static int IdleCount(const TApplication& App) { return App.idle_count_; }
  static int WaitCount(const TApplication& App) { return App.wait_count_; }
};

}  // namespace fw
