// The system keyboard: a 256-byte record indexed by key code, fed by the window system.
#include <cstdio>

#include "platform/dinput/DInput.h"
#include "platform/win/WinKeyHook.h"
#include "platform/win/WinUser.h"

namespace dinput {

namespace {

// Key codes of an enhanced 105-key keyboard.
bool KeyboardHasKey(int code) {
  if (code >= 0x01 && code <= 0x53) return true;
  switch (code) {
    case 0x56: case 0x57: case 0x58:
    case 0x9C: case 0x9D: case 0xB5: case 0xB7: case 0xB8: case 0xC5: case 0xC7: case 0xC8:
    case 0xC9: case 0xCB: case 0xCD: case 0xCF: case 0xD0: case 0xD1: case 0xD2: case 0xD3:
    case 0xDB: case 0xDC: case 0xDD:
      return true;
    default:
      return false;
  }
}

}  // namespace

SystemKeyboard::SystemKeyboard() {
  InstanceGuid = GUID_SysKeyboard;
  ProductGuid = GUID_SysKeyboard;
  DevType = DIDEVTYPE_KEYBOARD | (DIDEVTYPEKEYBOARD_PCENH << 8);
  InstanceName = "Keyboard";
  ProductName = "Keyboard";
  StateSize = 256;
  for (int code = 0; code < 256; ++code) {
    if (!KeyboardHasKey(code)) continue;
    DeviceObject o;
    o.Type = GUID_Key;
    o.Offset = static_cast<DWORD>(code);
    o.TypeFlags = DIDFT_PSHBUTTON | DIDFT_MAKEINSTANCE(static_cast<DWORD>(code));
    char name[16];
    std::snprintf(name, sizeof name, "Key %02X", code);
    o.Name = name;
    Objects.push_back(o);
  }
}

void SystemKeyboard::ReadState(BYTE* state) {
  for (int i = 0; i < 256; ++i) state[i] = keys_[i];
}

void SystemKeyboard::SetKey(BYTE keyCode, bool down) {
  if (keyCode == 0) return;
  keys_[keyCode] = down ? 0x80 : 0;
}

namespace detail {

namespace {

// While none of our windows is in the foreground we do not see the keyboard, so what was held
// when the application lost the foreground is taken as released.
void ReleaseKeysOnLeavingForeground() {
  static bool had_foreground = false;
  const bool has = win::GetForegroundWindow() != nullptr;
  if (had_foreground && !has)
    for (const auto& d : Config().Devices)
      if (auto* k = dynamic_cast<SystemKeyboard*>(d.get())) k->ReleaseAll();
  had_foreground = has;
}

}  // namespace

// Keys reach every system keyboard of the configuration. Typematic repeats (a release and a
// press while the key stays held) change nothing.
void OnRawKey(const win::RawKeyEvent& ev) {
  ReleaseKeysOnLeavingForeground();
  if (ev.Repeat) return;
  const BYTE code = KeyCode(ev.Scan, ev.Extended);
  for (const auto& d : Config().Devices)
    if (auto* k = dynamic_cast<SystemKeyboard*>(d.get())) k->SetKey(code, ev.Down);
}

void ObserveForeground() { ReleaseKeysOnLeavingForeground(); }

}  // namespace detail

}  // namespace dinput
