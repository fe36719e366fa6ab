// The sound component: DirectSound for the form that owns it, and the listeners it tells.
#include <algorithm>
#include <exception>

#include "dx/DXConsts.h"
#include "dx/DXSounds.h"
#include "framework/ClassBuilder.h"
#include "framework/SysUtils.h"

namespace dx {

namespace {

const std::vector<std::string> kSoundOptionNames = {"soGlobalFocus", "soStickyFocus", "soExclusive"};

}  // namespace

FW_REGISTER(TCustomDXSound, nullptr)

FW_REGISTER(TDXSound, [](fw::TClassBuilder<TDXSound>& b) {
  b.Boolean("AutoInitialize", &TDXSound::AutoInitialize, &TDXSound::SetAutoInitialize).WithDefault(1);
  b.Set("Options", kSoundOptionNames, &TDXSound::Options, &TDXSound::SetOptions).WithDefault(0);
  b.Event<fw::TNotifyEvent::Signature>("OnFinalize", &TDXSound::OnFinalize);
  b.Event<fw::TNotifyEvent::Signature>("OnInitialize", &TDXSound::OnInitialize);
  b.Event<fw::TNotifyEvent::Signature>("OnInitializing", &TDXSound::OnInitializing);
  b.Event<fw::TNotifyEvent::Signature>("OnRestore", &TDXSound::OnRestore);
})

// Stored forms name the class; make it known before any of them is read.
[[maybe_unused]] static const fw::TClassInfo& kDXSoundClass = TDXSound::StaticClass();

TCustomDXSound::TCustomDXSound(fw::TComponent* AOwner) : TComponent(AOwner) {
  auto_initialize_ = true;
  SetOptions(TDXSoundOptions{});
}

TCustomDXSound::~TCustomDXSound() {
  Finalize();
  NotifyEventList(sntDestroying);
  listeners_.clear();
}

// ---------------------------------------------------------------------------------------------
// Events and listeners

void TCustomDXSound::DoFinalize() {
  if (OnFinalize) OnFinalize(this);
}
void TCustomDXSound::DoInitialize() {
  if (OnInitialize) OnInitialize(this);
}
void TCustomDXSound::DoInitializing() {
  if (OnInitializing) OnInitializing(this);
}
void TCustomDXSound::DoRestore() {
  if (OnRestore) OnRestore(this);
}

void TCustomDXSound::NotifyEventList(TSoundNotifyType Kind) {
  // A listener may add or remove listeners while it is told; each is told at most once.
  const std::vector<Listener> snapshot = listeners_;
  for (auto it = snapshot.rbegin(); it != snapshot.rend(); ++it) {
    const bool still = std::any_of(listeners_.begin(), listeners_.end(), [&](const Listener& l) {
      return l.Callback == it->Callback && l.Object == it->Object;
    });
    if (still) it->Callback(it->Object, this, Kind);
  }
}

void TCustomDXSound::RegisterNotifyEvent(TDXSoundNotifyEvent Callback, void* Object) {
  UnregisterNotifyEvent(Callback, Object);
  listeners_.push_back({Callback, Object});
  if (initialized_) {
    Callback(Object, this, sntInitialize);
    Callback(Object, this, sntRestore);
  }
}

void TCustomDXSound::UnregisterNotifyEvent(TDXSoundNotifyEvent Callback, void* Object) {
  const auto it = std::find_if(listeners_.begin(), listeners_.end(),
                               [&](const Listener& l) { return l.Callback == Callback && l.Object == Object; });
  if (it == listeners_.end()) return;
  listeners_.erase(it);
  if (initialized_) Callback(Object, this, sntFinalize);
}

// ---------------------------------------------------------------------------------------------
// Options

void TCustomDXSound::SetOptions(TDXSoundOptions Value) {
  options_ = Value;
  if (!initialized_) {
    now_options_ = Value;
    return;
  }
  // Exclusive use is a cooperative level: it changes only with the next Initialize.
  const TDXSoundOptions exclusive{soExclusive};
  now_options_ = (Value - exclusive) + (now_options_ * exclusive);
  dsound_->SetGlobalFocus(now_options_.Contains(soGlobalFocus));
  dsound_->SetStickyFocus(now_options_.Contains(soStickyFocus));
}

// ---------------------------------------------------------------------------------------------
// Life cycle

void TCustomDXSound::Initialize() {
  Finalize();
  fw::TCustomForm* form = nullptr;
  for (fw::TComponent* c = Owner(); c && !form; c = c->Owner()) form = dynamic_cast<fw::TCustomForm*>(c);
  if (!form) throw EDXSoundError(SNotFoundForm);
  NotifyEventList(sntInitializing);
  DoInitializing();
  internal_initialized_ = true;
  try {
    dsound_ = std::make_unique<TDXSoundDirectSound>(this, driver_guid_);
    dsound_->SetGlobalFocus(now_options_.Contains(soGlobalFocus));
    dsound_->SetStickyFocus(now_options_.Contains(soStickyFocus));
    primary_ = std::make_unique<TDirectSoundBuffer>(dsound_.get());
    dsound::DSBUFFERDESC desc{};
    desc.dwSize = sizeof(dsound::DSBUFFERDESC);
    desc.dwFlags = dsound::DSBCAPS_PRIMARYBUFFER;
    if (!primary_->CreateBuffer(desc)) throw EDXSoundError(fw::Format(SCannotMade, std::string(SPrimaryBuffer)));
    initialized_ = true;
    AttachForm(form);
  } catch (...) {
    Finalize();
    throw;
  }
  NotifyEventList(sntInitialize);
  called_do_initialize_ = true;
  DoInitialize();
  Restore();
}

void TCustomDXSound::Finalize() {
  if (!internal_initialized_) return;
  subclass_.reset();
  std::exception_ptr first;
  try {
    if (called_do_initialize_) {
      called_do_initialize_ = false;
      DoFinalize();
    }
  } catch (...) {
    first = std::current_exception();
  }
  try {
    NotifyEventList(sntFinalize);
  } catch (...) {
    if (!first) first = std::current_exception();
  }
  initialized_ = false;
  internal_initialized_ = false;
  SetOptions(options_);
  primary_.reset();
  dsound_.reset();
  if (first) std::rethrow_exception(first);
}

void TCustomDXSound::Restore() {
  if (!initialized_) return;
  NotifyEventList(sntRestore);
  DoRestore();
}

void TCustomDXSound::Loaded() {
  TComponent::Loaded();
  if (!auto_initialize_ || ComponentState().Contains(fw::csDesigning)) return;
  try {
    Initialize();
  } catch (const EDirectSoundError&) {
    // No sound device: the form comes up silent.
  }
}

// ---------------------------------------------------------------------------------------------
// The form

void TCustomDXSound::AttachForm(fw::TCustomForm* Form) {
  form_ = Form;
  subclass_ = std::make_unique<TControlSubClass>(
      Form, [this](fw::TMessage& Message, const fw::TWndMethod& Default) { FormWndProc(Message, Default); });
  if (!initialized_) return;
  const win::DWORD level = now_options_.Contains(soExclusive) ? dsound::DSSCL_EXCLUSIVE : dsound::DSSCL_NORMAL;
  dsound_->SetLastResult(dsound_->ISound()->SetCooperativeLevel(Form->Handle(), level));
}

void TCustomDXSound::FormWndProc(fw::TMessage& Message, const fw::TWndMethod& Default) {
  Default(Message);
  if (Message.Msg != win::WM_CREATE || !initialized_ || !form_) return;
  // The form has a new window: the cooperative level goes to it. The interceptor running now
  // already sits on this form, so it stays.
  const win::DWORD level = now_options_.Contains(soExclusive) ? dsound::DSSCL_EXCLUSIVE : dsound::DSSCL_NORMAL;
  dsound_->SetLastResult(dsound_->ISound()->SetCooperativeLevel(form_->Handle(), level));
}

}  // namespace dx
