// Game controllers and the system mouse.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>

#include "platform/dinput/DInput.h"
#include "platform/dinput/DInputInternal.h"
#include "platform/dinput/DInputTesting.h"
#include "platform/joy/Joy.h"
#include "platform/win/WinMouseHook.h"

namespace dinput {

namespace {

constexpr const GUID* kAxisGuids[8] = {&GUID_XAxis,  &GUID_YAxis,  &GUID_ZAxis,  &GUID_RxAxis,
                                       &GUID_RyAxis, &GUID_RzAxis, &GUID_Slider, &GUID_Slider};
constexpr const char* kAxisNames[8] = {"X Axis",     "Y Axis",     "Z Axis", "X Rotation",
                                       "Y Rotation", "Z Rotation", "Slider", "Slider"};

void PutLong(BYTE* p, LONG v) { std::memcpy(p, &v, 4); }

}  // namespace

// ---------------------------------------------------------------------------------------------
// Joysticks

Joystick::Joystick(int axes, int buttons, int hats)
    : axes_(std::clamp(axes, 0, 8)), buttons_(std::clamp(buttons, 0, 128)), hats_(std::clamp(hats, 0, 4)) {
  DevType = DIDEVTYPE_JOYSTICK | (2 << 8) | DIDEVTYPE_HID;  // a game pad
  StateSize = sizeof(DIJOYSTATE2);
  for (int i = 0; i < axes_; ++i)
    Objects.push_back({*kAxisGuids[i], static_cast<DWORD>(4 * i),
                       DIDFT_ABSAXIS | DIDFT_MAKEINSTANCE(static_cast<DWORD>(i)), 0, kAxisNames[i]});
  for (int i = 0; i < hats_; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "Hat Switch %d", i + 1);
    Objects.push_back({GUID_POV, static_cast<DWORD>(32 + 4 * i),
                       DIDFT_POV | DIDFT_MAKEINSTANCE(static_cast<DWORD>(i)), 0, name});
  }
  for (int i = 0; i < buttons_; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "Button %d", i + 1);
    Objects.push_back({GUID_Button, static_cast<DWORD>(48 + i),
                       DIDFT_PSHBUTTON | DIDFT_MAKEINSTANCE(static_cast<DWORD>(i)), 0, name});
  }
}

void Joystick::ReadState(BYTE* state) {
  LONG axes[8] = {32767, 32767, 32767, 32767, 32767, 32767, 32767, 32767};
  DWORD hats[4] = {INFINITE, INFINITE, INFINITE, INFINITE};
  BYTE buttons[128] = {};
  Sample(axes, hats, buttons);
  std::memset(state, 0, StateSize);
  for (int i = 0; i < 8; ++i) PutLong(state + 4 * i, std::clamp<LONG>(axes[i], 0, 65535));
  for (int i = 0; i < 4; ++i) std::memcpy(state + 32 + 4 * i, &hats[i], 4);
  for (int i = 0; i < 128; ++i) state[48 + i] = buttons[i] ? 0x80 : 0;
}

ScriptedJoystick::ScriptedJoystick(int axes, int buttons, int hats) : Joystick(axes, buttons, hats) {
  static DWORD next = 1;
  InstanceGuid = {0x5C1E7000 + next++, 0x4A59, 0x11EF, {'S', 'C', 'R', 'I', 'P', 'T', 'E', 'D'}};
  ProductGuid = {0x5C1E7000, 0x4A59, 0x11EF, {'S', 'C', 'R', 'I', 'P', 'T', 'E', 'D'}};
  InstanceName = ProductName = "Scripted joystick";
}

void ScriptedJoystick::Sample(LONG (&axes)[8], DWORD (&hats)[4], BYTE (&buttons)[128]) {
  for (int i = 0; i < AxisCount(); ++i) axes[i] = Axes[i];
  for (int i = 0; i < HatCount(); ++i) hats[i] = Hats[i];
  for (int i = 0; i < ButtonCount(); ++i) buttons[i] = Buttons[i] ? 1 : 0;
}

namespace {

// A controller found on the machine. It keeps the controller open for the program's life;
// unplugged, it reports itself detached.
class SystemJoystick final : public Joystick {
 public:
  SystemJoystick(joy::Stick* j, std::int32_t id)
      : Joystick(joy::AxisCount(j), joy::ButtonCount(j), joy::HatCount(j)), j_(j) {
    InstanceGuid = {static_cast<DWORD>(id), 0x4A59, 0x11EF, {'S', 'D', 'L', 'J', 'O', 'Y', 0, 0}};
    const auto product = joy::ProductId(j);
    static_assert(sizeof product == sizeof(GUID));
    std::memcpy(&ProductGuid, product.data(), product.size());
    const char* name = joy::Name(j);
    InstanceName = ProductName = name ? name : "Joystick";
    if (auto haptic = detail::OpenHaptic(j)) ForceFeedback = std::move(haptic);
  }

  bool Attached() const override { return joy::Attached(j_); }

 protected:
  void Sample(LONG (&axes)[8], DWORD (&hats)[4], BYTE (&buttons)[128]) override {
    joy::Update();
    for (int i = 0; i < AxisCount(); ++i) axes[i] = LONG{joy::Axis(j_, i)} + 32768;
    for (int i = 0; i < HatCount(); ++i) {
      const int angle = joy::HatAngle(j_, i);
      hats[i] = angle < 0 ? INFINITE : static_cast<DWORD>(angle);
    }
    for (int i = 0; i < ButtonCount(); ++i) buttons[i] = joy::Button(j_, i) ? 1 : 0;
  }

 private:
  joy::Stick* j_;
};

}  // namespace

namespace detail {

std::vector<std::shared_ptr<Device>> SystemJoystickDevices() {
  static auto& known = *new std::map<std::int32_t, std::shared_ptr<Device>>;
  std::vector<std::shared_ptr<Device>> out;
  const int n = joy::Count();
  for (int i = 0; i < n; ++i) {
    const std::int32_t id = joy::InstanceId(i);
    auto it = known.find(id);
    if (it == known.end()) {
      joy::Stick* j = joy::Open(i);
      if (!j) continue;
      it = known.emplace(id, std::make_shared<SystemJoystick>(j, id)).first;
    }
    out.push_back(it->second);
  }
  return out;
}

}  // namespace detail

// ---------------------------------------------------------------------------------------------
// The system mouse

SystemMouse::SystemMouse() {
  InstanceGuid = GUID_SysMouse;
  ProductGuid = GUID_SysMouse;
  DevType = DIDEVTYPE_MOUSE;
  InstanceName = ProductName = "Mouse";
  StateSize = sizeof(DIMOUSESTATE);
  Objects.push_back({GUID_XAxis, 0, DIDFT_RELAXIS | DIDFT_MAKEINSTANCE(0), 0, "X Axis"});
  Objects.push_back({GUID_YAxis, 4, DIDFT_RELAXIS | DIDFT_MAKEINSTANCE(1), 0, "Y Axis"});
  Objects.push_back({GUID_ZAxis, 8, DIDFT_RELAXIS | DIDFT_MAKEINSTANCE(2), 0, "Wheel"});
  for (DWORD i = 0; i < 4; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "Button %u", static_cast<unsigned>(i));
    Objects.push_back({GUID_Button, 12 + i, DIDFT_PSHBUTTON | DIDFT_MAKEINSTANCE(i), 0, name});
  }
}

void SystemMouse::ReadState(BYTE* state) {
  for (int i = 0; i < 3; ++i) PutLong(state + 4 * i, total_[i]);
  for (int i = 0; i < 4; ++i) state[12 + i] = buttons_[i];
}

void SystemMouse::Move(LONG dx, LONG dy, LONG dz) {
  // Running totals wrap like the platform's own counters; readers take differences.
  auto add = [](LONG a, LONG b) {
    return static_cast<LONG>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
  };
  total_[0] = add(total_[0], dx);
  total_[1] = add(total_[1], dy);
  total_[2] = add(total_[2], dz);
}

void SystemMouse::SetButton(int button, bool down) {
  if (button >= 0 && button < 4) buttons_[button] = down ? 0x80 : 0;
}

namespace detail {

void OnRawMouse(const win::RawMouseEvent& ev) {
  ObserveForeground();
  for (const auto& d : Config().Devices)
    if (auto* m = dynamic_cast<SystemMouse*>(d.get())) {
      if (ev.DX || ev.DY || ev.Wheel) m->Move(ev.DX, ev.DY, ev.Wheel);
      if (ev.Button >= 0) m->SetButton(ev.Button, ev.Down);
    }
}

}  // namespace detail

}  // namespace dinput
