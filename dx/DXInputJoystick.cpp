// The joystick (a DirectInput game controller, or else the multimedia joystick functions) and
// the mouse (DirectInput only).
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "dx/DXConsts.h"
#include "dx/DXInput.h"

namespace dx {

using namespace dinput;

int MulDiv(int Value, int Numerator, int Denominator) {
  if (Denominator == 0) return -1;
  const std::int64_t product = std::int64_t{Value} * Numerator;
  const std::int64_t a = product < 0 ? -product : product;
  const std::int64_t d = Denominator < 0 ? -std::int64_t{Denominator} : Denominator;
  std::int64_t q = (a + d / 2) / d;  // halves away from zero
  if ((product < 0) != (Denominator < 0)) q = -q;
  if (q > INT32_MAX || q < INT32_MIN) return -1;
  return static_cast<int>(q);
}

int ScaleAxis(int Position, int Max, int Min, int Range, int DeadZone) {
  const std::int64_t half = (std::int64_t{Max} - Min) / 2;
  const std::int64_t v = Position - half;  // the centre is half the span, counted from 0
  const std::int64_t dz = half * DeadZone / 100;
  if (half - dz == 0 || std::llabs(v) <= dz) return 0;
  const auto n = static_cast<int>(half - dz);
  return v > 0 ? MulDiv(static_cast<int>(v - dz), Range, n) : MulDiv(static_cast<int>(v + dz), Range, n);
}

// ---------------------------------------------------------------------------------------------
// Joystick

TJoystick::TJoystick(TCustomDXInput* DXInput) : TCustomInput(DXInput) {
  auto_center_ = true;
  id_ = 0;
  for (int ofs : {0, 4, 8}) {
    dead_zone_[static_cast<std::size_t>(ofs)] = 50;
    range_[static_cast<std::size_t>(ofs)] = 1000;
  }
}

void TJoystick::Finalize() {
  joystick_index_ = -1;
  joy_state_ = {};
  joy_caps_ = {};
  TCustomInput::Finalize();
}

void TJoystick::Initialize() {
  Finalize();
  if (!Enabled() || id_ < 0 || Designing()) return;

  bool opened = false;
  if (IDirectInput* di = dxinput_->DInput()) {
    try {
      found_ = false;
      counter_ = 0;
      di->EnumDevices(
          DIDEVTYPE_JOYSTICK,
          [](const DIDEVICEINSTANCEA* instance, void* ref) -> win::BOOL {
            auto* self = static_cast<TJoystick*>(ref);
            if (self->counter_ == self->id_) {
              self->device_guid_ = instance->guidInstance;
              self->found_ = true;
              return DIENUM_STOP;
            }
            ++self->counter_;
            return DIENUM_CONTINUE;
          },
          this, DIEDFL_ATTACHEDONLY);
      opened = found_ && OpenDevice(di);
    } catch (...) {
      Finalize();
      throw;
    }
  }

  if (!device_) {
    // The multimedia joysticks: the ID-th one that answers.
    joystick_index_ = -1;
    int answered = 0;
    for (unsigned j = 0; j < 256; ++j) {
      joy_caps_ = {};
      if (mm::joyGetDevCapsA(j, &joy_caps_, sizeof joy_caps_) != mm::JOYERR_NOERROR) continue;
      if (answered == id_) {
        joystick_index_ = static_cast<int>(j);
        break;
      }
      ++answered;
    }
    if (joystick_index_ != -1) {
      if (mm::joyGetDevCapsA(static_cast<unsigned>(joystick_index_), &joy_caps_, sizeof joy_caps_) == mm::JOYERR_NOERROR)
        button_count_ = static_cast<int>(joy_caps_.wNumButtons);
      else
        joystick_index_ = -1;
    }
  }

  if (opened || !dxinput_->DInput()) {
    initialized_ = true;
    Effects()->InitializeTree();
  }
}

bool TJoystick::OpenDevice(IDirectInput* DI) {
  if (DI->CreateDevice(device_guid_, &device_, nullptr) != DI_OK) {
    device_ = nullptr;
    return false;
  }
  DIDEVCAPS caps{};
  caps.dwSize = sizeof caps;
  if (device_->GetCapabilities(&caps) == DI_OK) {
    button_count_ = static_cast<int>(caps.dwButtons);
    force_feedback_device_ = (caps.dwFlags & DIDC_FORCEFEEDBACK) != 0;
  }
  // Opened again for reading: the controller that was found, not merely the first one.
  std::exchange(device_, nullptr)->Release();
  if (DI->CreateDevice(device_guid_, &device_, nullptr) != DI_OK) {
    device_ = nullptr;
    return false;
  }

  data_format_.dwFlags = DIDF_ABSAXIS;
  data_format_.dwDataSize = kStateSize;
  data_format_.dwNumObjs = 0;
  device_->EnumObjects(
      [](const DIDEVICEOBJECTINSTANCEA* object, void* ref) -> win::BOOL {
        auto* self = static_cast<TJoystick*>(ref);
        auto& n = self->data_format_.dwNumObjs;
        // Room for 256 objects; a device with more gives only its first ones.
        if (n >= self->data_format_objects_.size()) return DIENUM_STOP;
        if (object->guidType == GUID_Unknown || object->dwOfs >= kStateSize) return DIENUM_CONTINUE;
        self->data_format_guids_[n] = object->guidType;
        self->data_format_objects_[n] = {&self->data_format_guids_[n], object->dwOfs, object->dwType, 0};
        ++n;
        return DIENUM_CONTINUE;
      },
      this, DIDFT_ALL);
  if (ApplyDataFormat() != DI_OK) {
    std::exchange(device_, nullptr)->Release();
    return false;
  }

  SetAutoCenter(auto_center_);
  for (int ofs = 0; ofs < kStateSize; ++ofs) ApplyDeadZone(ofs);
  for (int ofs = 0; ofs < kStateSize; ++ofs) ApplyRange(ofs);

  void* second = nullptr;
  if (device_->QueryInterface(IID_IDirectInputDevice2A, &second) != DI_OK || !second)
    throw fw::EIntfCastError(fw::msg::IntfCastError);
  device2_ = static_cast<IDirectInputDevice2*>(second);
  return true;
}

void TJoystick::Update() {
  joy_state_ = {};
  states_ = {};
  if (!initialized_ || OutOfForeground()) return;
  if (device_) {
    if (device2_) device2_->Poll();
    GetDeviceState(&joy_state_, sizeof joy_state_);
  } else if (joystick_index_ != -1) {
    mm::JOYINFOEX info{};
    info.dwSize = sizeof info;
    info.dwFlags = mm::JOY_RETURNX | mm::JOY_RETURNY | mm::JOY_RETURNZ | mm::JOY_RETURNPOV |
                   mm::JOY_RETURNBUTTONS | mm::JOY_RETURNCENTERED;
    // A frame whose position cannot be read reports nothing.
    if (mm::joyGetPosEx(static_cast<unsigned>(joystick_index_), &info) == mm::JOYERR_NOERROR) {
      auto axis = [this](win::DWORD pos, unsigned hi, unsigned lo, int ofs) {
        return ScaleAxis(static_cast<int>(pos), static_cast<int>(hi), static_cast<int>(lo),
                         range_[static_cast<std::size_t>(ofs)], dead_zone_[static_cast<std::size_t>(ofs)]);
      };
      joy_state_.lX = axis(info.dwXpos, joy_caps_.wXmax, joy_caps_.wXmin, 0);
      joy_state_.lY = axis(info.dwYpos, joy_caps_.wYmax, joy_caps_.wYmin, 4);
      joy_state_.lZ = axis(info.dwZpos, joy_caps_.wZmax, joy_caps_.wZmin, 8);
      joy_state_.rgdwPOV[0] = info.dwPOV;
      const unsigned buttons = std::min<unsigned>(joy_caps_.wNumButtons, 128);
      for (unsigned i = 0; i < buttons; ++i)
        if (info.dwButtons & (win::DWORD{1} << (i % 32))) joy_state_.rgbButtons[i] = 0x80;
    }
  }
  for (int i = 0; i < 32; ++i)
    if (joy_state_.rgbButtons[i] & 0x80) states_.Include(static_cast<TInputState>(static_cast<int>(stButton1) + i));
  if (joy_state_.lX < 0) states_.Include(stLeft);
  else if (joy_state_.lX > 0) states_.Include(stRight);
  if (joy_state_.lY < 0) states_.Include(stUp);
  else if (joy_state_.lY > 0) states_.Include(stDown);
}

win::DWORD TJoystick::GetCooperativeLevel() {
  if (!auto_center_) return DISCL_EXCLUSIVE | DISCL_FOREGROUND;
  return TCustomInput::GetCooperativeLevel();
}

void TJoystick::SetAutoCenter(bool Value) {
  auto_center_ = Value;
  if (!device_) return;
  DIPROPDWORD p{{sizeof(DIPROPDWORD), sizeof(DIPROPHEADER), 0, DIPH_DEVICE},
                Value ? DIPROPAUTOCENTER_ON : DIPROPAUTOCENTER_OFF};
  device_->SetProperty(MAKEDIPROP(DIPROP_AUTOCENTER), &p.diph);  // a refusal changes nothing
}

void TJoystick::SetID(int Value) {
  if (id_ == Value) return;
  id_ = Value;
  Initialize();
}

int TJoystick::DeadZone(int Offset) const {
  return Offset >= 0 && Offset <= kStateSize - 2 ? dead_zone_[static_cast<std::size_t>(Offset)] : 0;
}

void TJoystick::SetDeadZone(int Offset, int Value) {
  if (Offset < 0 || Offset > kStateSize - 2) return;
  dead_zone_[static_cast<std::size_t>(Offset)] = std::clamp(Value, 0, 100);
  ApplyDeadZone(Offset);
}

// Sends the stored entry as it is (a refused one, -1, is sent again and refused again).
void TJoystick::ApplyDeadZone(int Offset) {
  if (Offset < 0 || Offset > kStateSize - 2) return;
  int& entry = dead_zone_[static_cast<std::size_t>(Offset)];
  if (Offset == 32) {
    entry = -1;  // the point-of-view hat has no dead zone
    return;
  }
  if (!device_) return;
  DIPROPDWORD p{{sizeof(DIPROPDWORD), sizeof(DIPROPHEADER), static_cast<win::DWORD>(Offset), DIPH_BYOFFSET},
                static_cast<win::DWORD>(entry * 100)};
  if (device_->SetProperty(MAKEDIPROP(DIPROP_DEADZONE), &p.diph) != DI_OK) entry = -1;
}

int TJoystick::Range(int Offset) const {
  return Offset >= 0 && Offset <= kStateSize - 2 ? range_[static_cast<std::size_t>(Offset)] : 0;
}

void TJoystick::SetRange(int Offset, int Value) {
  if (Offset < 0 || Offset > kStateSize - 2) return;
  range_[static_cast<std::size_t>(Offset)] = std::max(Value, 0);
  ApplyRange(Offset);
}

void TJoystick::ApplyRange(int Offset) {
  if (Offset < 0 || Offset > kStateSize - 2) return;
  int& entry = range_[static_cast<std::size_t>(Offset)];
  if (Offset == 32) {
    entry = -1;
    return;
  }
  if (!device_) return;
  DIPROPRANGE p{{sizeof(DIPROPRANGE), sizeof(DIPROPHEADER), static_cast<win::DWORD>(Offset), DIPH_BYOFFSET},
                -entry, entry};
  if (device_->SetProperty(MAKEDIPROP(DIPROP_RANGE), &p.diph) != DI_OK) entry = -1;
}

// ---------------------------------------------------------------------------------------------
// Mouse

TMouse::TMouse(TCustomDXInput* DXInput) : TCustomInput(DXInput) {
  SetBindInputStates(false);
  SetEnabled(false);
}

void TMouse::Finalize() {
  mouse_state_ = {};
  TCustomInput::Finalize();
}

void TMouse::Initialize() {
  Finalize();
  if (!Enabled() || Designing()) return;
  IDirectInput* di = dxinput_->DInput();
  if (!di) throw EDXInputError(SNecessaryDirectInputUseMouse);
  if (di->CreateDevice(GUID_SysMouse, &device_, nullptr) != DI_OK) {
    device_ = nullptr;
    return;
  }
  // Both movement axes, the wheel and the buttons, each at its place in the mouse record.
  data_format_.dwFlags = DIDF_RELAXIS;
  data_format_.dwDataSize = sizeof(DIMOUSESTATE);
  data_format_.dwNumObjs = 0;
  auto add = [this](const win::GUID* type, win::DWORD ofs, win::DWORD kind) {
    auto& n = data_format_.dwNumObjs;
    if (type) data_format_guids_[n] = *type;
    data_format_objects_[n] = {type ? &data_format_guids_[n] : nullptr, ofs, kind, 0};
    ++n;
  };
  add(&GUID_XAxis, 0, DIDFT_RELAXIS | DIDFT_ANYINSTANCE);
  add(&GUID_YAxis, 4, DIDFT_RELAXIS | DIDFT_ANYINSTANCE);
  add(&GUID_ZAxis, 8, DIDFT_RELAXIS | DIDFT_ANYINSTANCE | DIDFT_OPTIONAL);
  for (win::DWORD b = 0; b < 4; ++b)
    add(&GUID_Button, 12 + b, DIDFT_BUTTON | DIDFT_ANYINSTANCE | (b >= 2 ? DIDFT_OPTIONAL : 0));
  ApplyDataFormat();  // the mouse goes on without it
  button_count_ = 3;
  initialized_ = true;
  Effects()->InitializeTree();
}

void TMouse::Update() {
  mouse_state_ = {};
  states_ = {};
  if (!initialized_ || OutOfForeground()) return;
  if (device_) GetDeviceState(&mouse_state_, sizeof mouse_state_);
  if (mouse_state_.lX < 0) states_.Include(stLeft);
  else if (mouse_state_.lX > 0) states_.Include(stRight);
  if (mouse_state_.lY < 0) states_.Include(stUp);
  else if (mouse_state_.lY > 0) states_.Include(stDown);
  for (int b = 0; b < 3; ++b)
    if (mouse_state_.rgbButtons[b] & 0x80) states_.Include(static_cast<TInputState>(static_cast<int>(stButton1) + b));
}

}  // namespace dx
