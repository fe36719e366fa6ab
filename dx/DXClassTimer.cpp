#include <cfenv>
#include <cmath>

#include "dx/DXClass.h"
#include "framework/ClassBuilder.h"
#include "platform/mm/MMSystem.h"

namespace dx {

namespace {

// The timer whose IdleStep sits in the application's idle handler slot, if any.
TCustomDXTimer* g_idleOwner = nullptr;

}  // namespace

FW_REGISTER(TCustomDXTimer, nullptr)

FW_REGISTER(TDXTimer, [](fw::TClassBuilder<TDXTimer>& b) {
  // Every property is stored with the form, default or not.
  b.Boolean("ActiveOnly", &TDXTimer::ActiveOnly, &TDXTimer::SetActiveOnly);
  b.Boolean("Enabled", &TDXTimer::Enabled, &TDXTimer::SetEnabled);
  b.Integer("Interval", &TDXTimer::Interval, &TDXTimer::SetInterval);
  b.Event<fw::TNotifyEvent::Signature>("OnActivate", &TDXTimer::OnActivate);
  b.Event<fw::TNotifyEvent::Signature>("OnDeactivate", &TDXTimer::OnDeactivate);
  b.Event<TDXTimerEvent::Signature>("OnTimer", &TDXTimer::OnTimer);
})

// Stored forms name the class; make it known before any of them is read.
[[maybe_unused]] static const fw::TClassInfo& kDXTimerClass = TDXTimer::StaticClass();

TCustomDXTimer::TCustomDXTimer(fw::TComponent* AOwner) : TComponent(AOwner) {
  active_only_ = true;
  enabled_ = true;  // takes effect in Loaded, or when set again
  interval_ = 1;    // so that the setter sees a change
  SetInterval(1000);
  app_ = fw::GetApplication();
  app_->FreeNotification(this);
  hook_id_ = app_->HookMainWindow([this](fw::TMessage& Message) { return AppHook(Message); });
}

TCustomDXTimer::~TCustomDXTimer() {
  Stop();
  StopIdleLoop();  // whatever happened, the slot must not keep a timer that is gone
  if (app_) {
    app_->UnhookMainWindow(hook_id_);
    app_->RemoveFreeNotification(this);
  }
}

void TCustomDXTimer::Notification(fw::TComponent* AComponent, fw::TOperation Operation) {
  inherited::Notification(AComponent, Operation);
  if (Operation == fw::opRemove && AComponent == app_) {
    // The application goes first: its hooks and its idle slot go with it.
    if (g_idleOwner == this) g_idleOwner = nullptr;
    app_ = nullptr;
    hook_id_ = -1;
  }
}

void TCustomDXTimer::SetActiveOnly(bool Value) {
  if (Value == active_only_) return;
  active_only_ = Value;
  if (!initialized_) return;
  // A started timer follows at once: an active-only one stops while another application is in
  // front, one that is no longer active-only resumes a loop paused for that reason.
  if (Value && !AppActive())
    StopIdleLoop();
  else if (!Value && !AppActive())
    StartIdleLoop();
}

void TCustomDXTimer::SetEnabled(bool Value) {
  if (Value == enabled_) return;
  enabled_ = Value;
  if (ComponentState().Contains(fw::csLoading)) return;  // Loaded starts it
  if (enabled_)
    Start();
  else
    Stop();
}

void TCustomDXTimer::SetInterval(std::uint32_t Value) {
  if (Value == interval_) return;
  const std::int32_t v = static_cast<std::int32_t>(Value);
  interval_ = static_cast<std::uint32_t>(Max(v, 0));
  divisor_ = static_cast<std::uint32_t>(Max(v, 1));
}

void TCustomDXTimer::Loaded() {
  inherited::Loaded();
  if (!ComponentState().Contains(fw::csDesigning) && enabled_) Start();
}

void TCustomDXTimer::DoActivate() {
  if (OnActivate) OnActivate(this);
}

void TCustomDXTimer::DoDeactivate() {
  if (OnDeactivate) OnDeactivate(this);
}

void TCustomDXTimer::DoTimer(std::int32_t LagCount) {
  if (OnTimer) OnTimer(this, LagCount);
}

bool TCustomDXTimer::AppActive() const { return app_ && app_->Active(); }

void TCustomDXTimer::Start() {
  Stop();
  if (!active_only_ || AppActive()) StartIdleLoop();
  // Also while paused: activation starts the loop.
  initialized_ = true;
}

void TCustomDXTimer::Stop() {
  if (!initialized_) return;
  StopIdleLoop();
  initialized_ = false;
}

void TCustomDXTimer::StartIdleLoop() {
  if (!app_) return;
  old_time_ = mm::timeGetTime();
  old_time_fps_ = old_time_;
  app_->OnIdle = [this](fw::TObject* Sender, bool& Done) { IdleStep(Sender, Done); };
  g_idleOwner = this;
}

void TCustomDXTimer::StopIdleLoop() {
  // Only the loop this timer installed: a timer that has lost the slot to one started later
  // must not stop that one's frames.
  if (g_idleOwner != this) return;
  g_idleOwner = nullptr;
  if (app_) app_->OnIdle.Clear();
}

void TCustomDXTimer::IdleStep(fw::TObject*, bool& Done) {
  Done = false;  // called again at once: the loop runs while installed
  const std::uint32_t now = mm::timeGetTime();
  const std::uint32_t elapsed = now - old_time_;
  if (elapsed < interval_) return;
  old_time_ = now;

  std::uint32_t lag = elapsed / divisor_;
  if (static_cast<std::int32_t>(lag) < 1) lag = 1;

  ++frame_count_;
  const std::int32_t span = Max(static_cast<std::int32_t>(now - old_time_fps_), 1);
  if (span >= 1000) {
    // Rounded to nearest, halves to the even neighbour.
    const long double rate = static_cast<long double>(frame_count_) * 1000.0L / span;
    frames_per_second_ = static_cast<std::int32_t>(std::nearbyintl(rate));
    frame_count_ = 0;
    old_time_fps_ = now;
  }

  DoTimer(static_cast<std::int32_t>(lag));
}

bool TCustomDXTimer::AppHook(fw::TMessage& Message) {
  switch (Message.Msg) {
    case fw::CM_ACTIVATE:
      DoActivate();
      if (initialized_ && active_only_) StartIdleLoop();
      break;
    case fw::CM_DEACTIVATE:
      DoDeactivate();
      if (initialized_ && active_only_) StopIdleLoop();
      break;
    default:
      break;
  }
  return false;  // the application handles every message as usual
}

}  // namespace dx
