// The keyboard, and the stored properties of the joystick and the mouse.
#include <algorithm>

#include "dx/DXConsts.h"
#include "dx/DXInput.h"
#include "framework/ClassBuilder.h"
#include "framework/Streaming.h"
#include "platform/win/WinUser.h"

namespace dx {

FW_REGISTER(TKeyboard, nullptr)

FW_REGISTER(TJoystick, [](fw::TClassBuilder<TJoystick>& b) {
  b.Boolean("AutoCenter", &TJoystick::AutoCenter, &TJoystick::SetAutoCenter);
  b.Integer("DeadZoneX", [](const TJoystick& j) { return j.DeadZone(0); },
            [](TJoystick& j, int v) { j.SetDeadZone(0, v); });
  b.Integer("DeadZoneY", [](const TJoystick& j) { return j.DeadZone(4); },
            [](TJoystick& j, int v) { j.SetDeadZone(4, v); });
  b.Integer("DeadZoneZ", [](const TJoystick& j) { return j.DeadZone(8); },
            [](TJoystick& j, int v) { j.SetDeadZone(8, v); });
  b.Integer("ID", &TJoystick::ID, &TJoystick::SetID);
  b.Integer("RangeX", [](const TJoystick& j) { return j.Range(0); }, [](TJoystick& j, int v) { j.SetRange(0, v); });
  b.Integer("RangeY", [](const TJoystick& j) { return j.Range(4); }, [](TJoystick& j, int v) { j.SetRange(4, v); });
  b.Integer("RangeZ", [](const TJoystick& j) { return j.Range(8); }, [](TJoystick& j, int v) { j.SetRange(8, v); });
})

FW_REGISTER(TMouse, nullptr)

// ---------------------------------------------------------------------------------------------
// Key codes

int ScanToVirtualKey(int Code) {
  static constexpr auto kTable = [] {
    std::array<std::uint8_t, 256> t{};
    auto run = [&t](int from, std::initializer_list<int> vks) {
      for (int vk : vks) t[static_cast<std::size_t>(from++)] = static_cast<std::uint8_t>(vk);
    };
    run(1, {27});
    run(2, {49, 50, 51, 52, 53, 54, 55, 56, 57});
    run(11, {48});
    run(13, {61});
    run(14, {8, 9});
    run(16, {81, 87, 69, 82, 84, 89, 85, 73, 79, 80});
    run(26, {91, 93});
    run(28, {13, 17});
    run(30, {65, 83, 68, 70, 71, 72, 74, 75, 76});
    run(39, {59, 39});
    run(42, {16, 92});
    run(44, {90, 88, 67, 86, 66, 78, 77});
    run(51, {44, 46, 47});
    run(54, {16, 42, 18, 32, 20});
    run(59, {112, 113, 114, 115, 116, 117, 118, 119, 120, 121});
    run(69, {144, 145});
    run(71, {103, 104, 105});
    run(74, {109});
    run(75, {100, 101, 102});
    run(78, {107});
    run(79, {97, 98, 99});
    run(82, {96, 110});
    run(87, {122, 123});
    run(156, {13, 17});
    run(181, {111});
    run(184, {18});
    run(199, {36, 38, 33});
    run(203, {37});
    run(205, {39});
    run(207, {35, 40, 34, 45, 46});
    run(219, {91, 92, 93});
    return t;
  }();
  if (Code < 0 || Code > 255) return 0;
  return kTable[static_cast<std::size_t>(Code)];
}

// ---------------------------------------------------------------------------------------------
// Keyboard

TKeyAssignList TKeyboard::DefaultAssigns() {
  TKeyAssignList a{};
  a[static_cast<int>(stUp)] = {75, 38, 104};
  a[static_cast<int>(stDown)] = {74, 40, 98};
  a[static_cast<int>(stLeft)] = {72, 37, 100};
  a[static_cast<int>(stRight)] = {76, 39, 102};
  a[static_cast<int>(stButton1)] = {90, 32, 0};
  a[static_cast<int>(stButton2)] = {88, 13, 0};
  a[static_cast<int>(stButton9)] = {113, 0, 0};
  return a;
}

TKeyboard::TKeyboard(TCustomDXInput* DXInput) : TCustomInput(DXInput), Assigns(DefaultAssigns()) {}

void TKeyboard::DefineProperties(fw::TFiler& Filer) {
  TCustomInput::DefineProperties(Filer);
  Filer.DefineBinaryProperty(
      "Assigns", [this](fw::TStream& s) { ReadAssigns(s); }, [this](fw::TStream& s) { WriteAssigns(s); }, true);
  // An old misspelt name of the same table, read but never written.
  Filer.DefineBinaryProperty("Aissgns", [this](fw::TStream& s) { ReadAssigns(s); }, nullptr, false);
}

void TKeyboard::ReadAssigns(fw::TStream& Stream) {
  if (Stream.Size() - Stream.Position() != kAssignsSize) throw fw::EReadError(fw::msg::ReadError);
  std::uint8_t raw[kAssignsSize];
  Stream.ReadBuffer(raw, kAssignsSize);
  TKeyAssignList table{};
  const std::uint8_t* p = raw;
  for (TKeyAssign& row : table)
    for (std::int32_t& code : row) {
      const std::uint32_t u = static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
                              (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
      code = static_cast<std::int32_t>(u);
      p += 4;
    }
  Assigns = table;
}

void TKeyboard::WriteAssigns(fw::TStream& Stream) const {
  std::uint8_t raw[kAssignsSize];
  std::uint8_t* p = raw;
  for (const TKeyAssign& row : Assigns)
    for (std::int32_t code : row) {
      const auto u = static_cast<std::uint32_t>(code);
      for (int b = 0; b < 4; ++b) *p++ = static_cast<std::uint8_t>(u >> (8 * b));
    }
  Stream.WriteBuffer(raw, kAssignsSize);
}

void TKeyboard::Finalize() {
  key_states_.fill(0);
  TCustomInput::Finalize();
}

void TKeyboard::Initialize() {
  Finalize();
  if (!Enabled() || Designing()) return;
  if (dinput::IDirectInput* di = dxinput_->DInput()) {
    if (di->CreateDevice(dinput::GUID_SysKeyboard, &device_, nullptr) != dinput::DI_OK) {
      device_ = nullptr;
      return;
    }
    data_format_.dwFlags = 0;
    data_format_.dwDataSize = 256;
    data_format_.dwNumObjs = 1;
    data_format_guids_[0] = dinput::GUID_Key;
    data_format_objects_[0] = {&data_format_guids_[0], 1, dinput::DIDFT_BUTTON | dinput::DIDFT_ANYINSTANCE, 0};
    ApplyDataFormat();
  }
  button_count_ = 32;
  initialized_ = true;
  Effects()->InitializeTree();
}

void TKeyboard::Update() {
  key_states_.fill(0);
  states_ = {};
  if (!initialized_ || OutOfForeground()) return;
  if (device_) {
    win::BYTE keys[256];
    if (GetDeviceState(keys, sizeof keys)) {
      for (int k = 0; k < 256; ++k)
        if (keys[k] & 0x80) key_states_[static_cast<std::size_t>(ScanToVirtualKey(k))] = 0x80;
    }
  } else {
    win::GetKeyboardState(key_states_.data());
  }
  for (int r = 0; r < kInputStateCount; ++r)
    for (std::int32_t c : Assigns[static_cast<std::size_t>(r)])
      if (c >= 1 && c <= 255 && (key_states_[static_cast<std::size_t>(c)] & 0x80)) {
        states_.Include(static_cast<TInputState>(r));
        break;
      }
}

}  // namespace dx
