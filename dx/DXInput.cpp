#include "dx/DXInput.h"

#include <cstring>
#include <utility>

#include "dx/DXConsts.h"
#include "framework/ClassBuilder.h"
#include "platform/kernel/Library.h"
#include "platform/win/WinUser.h"

namespace dx {

FW_REGISTER(TCustomInput, [](fw::TClassBuilder<TCustomInput>& b) {
  b.Boolean("BindInputStates", &TCustomInput::BindInputStates, &TCustomInput::SetBindInputStates).WithDefault(1);
  b.Object("Effects", &TCustomInput::Effects);
  b.Boolean("Enabled", &TCustomInput::Enabled, &TCustomInput::SetEnabled).WithDefault(1);
  b.Boolean("ForceFeedback", &TCustomInput::ForceFeedback, &TCustomInput::SetForceFeedback).WithDefault(0);
})

FW_REGISTER(TCustomDXInput, nullptr)

FW_REGISTER(TDXInput, [](fw::TClassBuilder<TDXInput>& b) {
  b.Boolean("ActiveOnly", &TDXInput::ActiveOnly, &TDXInput::SetActiveOnly).WithDefault(1);
  b.Object("Joystick", &TDXInput::Joystick);
  b.Object("Keyboard", &TDXInput::Keyboard);
  b.Object("Mouse", &TDXInput::Mouse);
  b.Boolean("UseDirectInput", &TDXInput::UseDirectInput, &TDXInput::SetUseDirectInput).WithDefault(1);
})

// Stored forms name the class; make it known before any of them is read.
[[maybe_unused]] static const fw::TClassInfo& kDXInputClass = TDXInput::StaticClass();

namespace {

// The one DirectInput object of the process, shared by every input component.
struct SharedDirectInput {
  dinput::IDirectInput* Object = nullptr;
  int Holds = 0;
  ~SharedDirectInput() {
    if (Object) std::exchange(Object, nullptr)->Release();
  }
};

SharedDirectInput& Shared() {
  static SharedDirectInput s;
  return s;
}

// A DirectInput that is missing or does not start is no error: the devices fall back on the
// window system.
dinput::IDirectInput* TakeDirectInput() {
  SharedDirectInput& s = Shared();
  if (!s.Object) {
    try {
      auto create =
          kernel::ProcAs<dinput::LPDIRECTINPUTCREATEA>(LoadProc("DInput.dll", "DirectInputCreateA"));
      dinput::IDirectInput* made = nullptr;
      if (create(kernel::GetModuleHandleA(nullptr), dinput::DIRECTINPUT_VERSION, &made, nullptr) == dinput::DI_OK)
        s.Object = made;
      else if (made)
        made->Release();
    } catch (const fw::Exception&) {
      s.Object = nullptr;
    }
  }
  if (!s.Object) return nullptr;
  s.Object->AddRef();
  ++s.Holds;
  return s.Object;
}

void DropDirectInput(dinput::IDirectInput*& Ref) {
  if (!Ref) return;
  std::exchange(Ref, nullptr)->Release();
  SharedDirectInput& s = Shared();
  if (--s.Holds <= 0) {
    s.Holds = 0;
    if (s.Object) std::exchange(s.Object, nullptr)->Release();
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Devices

TCustomInput::TCustomInput(TCustomDXInput* DXInput) : dxinput_(DXInput) {
  dxinput_->devices_.push_back(this);
  effects_ = std::make_unique<TForceFeedbackEffects>(this);
  enabled_ = true;
  bind_input_states_ = true;
}

TCustomInput::~TCustomInput() {
  // Derived parts are gone by now; what is left to close is the base's.
  TCustomInput::Finalize();
  auto& list = dxinput_->devices_;
  for (auto it = list.begin(); it != list.end(); ++it)
    if (*it == this) {
      list.erase(it);
      break;
    }
}

void TCustomInput::Initialize() { Finalize(); }

void TCustomInput::Finalize() {
  if (device_) device_->Unacquire();
  initialized_ = false;
  button_count_ = 0;
  if (effects_) effects_->Finalize();
  if (device2_) std::exchange(device2_, nullptr)->Release();
  if (device_) std::exchange(device_, nullptr)->Release();
  force_feedback_device_ = false;
  states_ = {};
}

win::DWORD TCustomInput::GetCooperativeLevel() {
  const win::DWORD force =
      force_feedback_device_ && force_feedback_ ? dinput::DISCL_EXCLUSIVE : dinput::DISCL_NONEXCLUSIVE;
  const win::DWORD window = dxinput_->ActiveOnly() ? dinput::DISCL_FOREGROUND : dinput::DISCL_BACKGROUND;
  return force | window;
}

void TCustomInput::Acquire() {
  if (OutOfForeground()) return;
  if (device_) device_->Acquire();
  effects_->Acquire();
}

void TCustomInput::SetEnabled(bool Value) {
  if (enabled_ == Value) return;
  enabled_ = Value;
  if (!LoadingOrReading()) Initialize();
}

void TCustomInput::SetForceFeedback(bool Value) {
  if (force_feedback_ == Value) return;
  force_feedback_ = Value;
  if (!LoadingOrReading()) Initialize();
}

bool TCustomInput::GetDeviceState(void* Data, win::DWORD Size) {
  std::memset(Data, 0, Size);
  if (!device_) return false;
  win::HRESULT hr = device_->GetDeviceState(Size, Data);
  if (hr == dinput::DIERR_INPUTLOST || hr == dinput::DIERR_NOTACQUIRED) {
    device_->Acquire();
    hr = device_->GetDeviceState(Size, Data);
  }
  return hr == dinput::DI_OK;
}

bool TCustomInput::OutOfForeground() const {
  return dxinput_->ActiveOnly() && dxinput_->Form() &&
         (!dxinput_->Form()->HandleAllocated() || dxinput_->Form()->Handle() != win::GetForegroundWindow());
}

bool TCustomInput::Designing() const { return dxinput_->ComponentState().Contains(fw::csDesigning); }

bool TCustomInput::LoadingOrReading() const {
  const fw::TComponentState s = dxinput_->ComponentState();
  return s.Contains(fw::csLoading) || s.Contains(fw::csReading);
}

win::HRESULT TCustomInput::ApplyDataFormat() {
  data_format_.dwSize = sizeof(dinput::DIDATAFORMAT);
  data_format_.dwObjSize = sizeof(dinput::DIOBJECTDATAFORMAT);
  data_format_.rgodf = data_format_objects_.data();
  return device_->SetDataFormat(&data_format_);
}

// ---------------------------------------------------------------------------------------------
// The component

TCustomDXInput::TCustomDXInput(fw::TComponent* AOwner) : TComponent(AOwner) {
  active_only_ = true;
  joystick_ = std::make_unique<TJoystick>(this);
  keyboard_ = std::make_unique<TKeyboard>(this);
  mouse_ = std::make_unique<TMouse>(this);
  use_direct_input_ = true;

  for (fw::TComponent* c = AOwner; c; c = c->Owner())
    if (auto* form = dynamic_cast<fw::TCustomForm*>(c)) {
      form_ = form;
      break;
    }
  if (!form_) throw EDXInputError(SNotFoundForm);
  subclass_ = std::make_unique<TControlSubClass>(
      form_, [this](fw::TMessage& Message, const fw::TWndMethod& Default) { FormWndProc(Message, Default); });
}

TCustomDXInput::~TCustomDXInput() {
  Finalize();
  joystick_.reset();
  keyboard_.reset();
  mouse_.reset();
  subclass_.reset();
}

void TCustomDXInput::Loaded() {
  TComponent::Loaded();
  Initialize();
}

void TCustomDXInput::Finalize() {
  for (TCustomInput* d : devices_) d->Finalize();
  DropDirectInput(dinput_);
}

void TCustomDXInput::Initialize() {
  Finalize();
  if (ComponentState().Contains(fw::csDesigning)) return;
  if (use_direct_input_) dinput_ = TakeDirectInput();
  for (TCustomInput* d : std::vector<TCustomInput*>(devices_)) d->Initialize();
  SetCooperativeLevel();
  Update();
}

void TCustomDXInput::SetCooperativeLevel() {
  if (!form_) return;
  for (TCustomInput* d : devices_)
    if (d->Device()) d->Device()->SetCooperativeLevel(form_->Handle(), d->GetCooperativeLevel());
}

void TCustomDXInput::Update() {
  TInputStates now;
  for (TCustomInput* d : std::vector<TCustomInput*>(devices_)) {
    d->Update();
    if (d->BindInputStates()) now += d->States();
  }
  // Only changes of the devices' union move the states, so that the application's own changes
  // to States last until the key concerned is pressed or released.
  for (int i = 0; i < kInputStateCount; ++i) {
    const auto s = static_cast<TInputState>(i);
    const bool in_now = now.Contains(s);
    const bool in_old = old_states_.Contains(s);
    if (in_now && !in_old) states_.Include(s);
    else if (!in_now && in_old) states_.Exclude(s);
  }
  old_states_ = now;
}

void TCustomDXInput::SetActiveOnly(bool Value) {
  if (active_only_ == Value) return;
  active_only_ = Value;
  const fw::TComponentState s = ComponentState();
  if (!s.Contains(fw::csLoading) && !s.Contains(fw::csReading)) SetCooperativeLevel();
}

void TCustomDXInput::SetUseDirectInput(bool Value) {
  if (use_direct_input_ == Value) return;
  use_direct_input_ = Value;
  Initialize();
}

void TCustomDXInput::SetJoystick(TJoystick* Value) { joystick_->Assign(Value); }
void TCustomDXInput::SetKeyboard(TKeyboard* Value) { keyboard_->Assign(Value); }
void TCustomDXInput::SetMouse(TMouse* Value) { mouse_->Assign(Value); }

int TCustomDXInput::DirectInputHoldCount() { return Shared().Holds; }

void TCustomDXInput::FormWndProc(fw::TMessage& Message, const fw::TWndMethod& Default) {
  Default(Message);
  switch (Message.Msg) {
    case win::WM_CREATE:
      // A new window: the devices must be tied to it.
      SetCooperativeLevel();
      break;
    case win::WM_ACTIVATE:
      if (win::LOWORD(static_cast<std::uintptr_t>(Message.WParam)) != 0)
        for (TCustomInput* d : devices_) d->Acquire();
      break;
    case win::WM_ACTIVATEAPP:
      if (Message.WParam != 0)
        for (TCustomInput* d : devices_) d->Acquire();
      break;
    default:
      break;
  }
}

}  // namespace dx
