#pragma once
// DirectInput in software: the entry point of the module "DInput.dll" and the devices attached to
// the virtual machine it describes.
//
// A device is described by its instance, its capabilities and its objects (axes, buttons, keys),
// each at an offset in the device's own state record. An application's data format picks objects
// and places them in its own record; GetDeviceState copies them there. The system keyboard is
// fed by the window system's key events (the key's position, not its meaning) and reports each
// key at its key code.
//
// Cooperative levels: a foreground device is acquired only while its window is the foreground
// window and loses acquisition as soon as the window leaves it (the next call then reports
// DIERR_INPUTLOST once, then DIERR_NOTACQUIRED until acquired again); exclusive access to a
// device is refused while another interface holds it exclusively.
//
// Everything runs on the thread of the window system's message loop.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/dinput/DInputTypes.h"

namespace dinput {

// One object of a device: an axis, a button, a key or a point-of-view hat.
struct DeviceObject {
  GUID Type{};           // GUID_XAxis, GUID_Button, GUID_Key, ...
  DWORD Offset = 0;      // in the device's own state record
  DWORD TypeFlags = 0;   // DIDFT_* with the instance number
  DWORD Flags = 0;       // DIDOI_*
  std::string Name;
};

// A device attached to the virtual machine. Every interface made for it shares this object.
class Device {
 public:
  virtual ~Device() = default;

  GUID InstanceGuid{};
  GUID ProductGuid{};
  DWORD DevType = 0;  // DIDEVTYPE_* with the subtype in the second byte
  std::string InstanceName;
  std::string ProductName;
  DWORD CapFlags = DIDC_ATTACHED;
  std::vector<DeviceObject> Objects;
  DWORD StateSize = 0;  // bytes in the device's own state record

  // Tests: CreateDevice refuses the device; the device offers no IDirectInputDevice2.
  bool FailCreate = false;
  bool SecondVersion = true;

  // The current state in the device's own layout (StateSize bytes).
  virtual void ReadState(BYTE* state) = 0;
  // Whether a data format of this size takes the device's whole record as it is (the keyboard's
  // 256 key bytes) instead of the objects it lists.
  virtual bool TakesWholeRecord(DWORD dataSize) const { (void)dataSize; return false; }
  // The system keyboard and mouse cannot be held exclusively in the background.
  virtual bool AllowsExclusiveBackground() const { return true; }
  // A polled device is read by Poll; the others report DI_NOEFFECT there.
  virtual bool Polled() const { return false; }

  DIDEVCAPS Caps() const;
  DIDEVICEINSTANCEA Instance() const;

  // Changes whenever the device is taken away from whoever has it acquired.
  std::uint64_t LossCount = 0;
  // The interface that holds the device exclusively while acquired, if any.
  const void* ExclusiveOwner = nullptr;
};

// The system keyboard. Keys are set by the window system's key events, or directly by tests.
class SystemKeyboard : public Device {
 public:
  SystemKeyboard();
  void ReadState(BYTE* state) override;
  bool TakesWholeRecord(DWORD dataSize) const override { return dataSize == 256; }
  bool AllowsExclusiveBackground() const override { return false; }

  void SetKey(BYTE keyCode, bool down);
  bool KeyDown(BYTE keyCode) const { return keys_[keyCode] != 0; }
  void ReleaseAll() { keys_.fill(0); }

 private:
  std::array<BYTE, 256> keys_{};
};

struct InputConfig {
  // DirectInputCreateA fails (DIERR_GENERIC), as without a working input driver.
  bool CreateFails = false;
  // Attached devices, in the order EnumDevices reports them.
  std::vector<std::shared_ptr<Device>> Devices;
};

// The system keyboard alone.
InputConfig DefaultConfig();
// Replaces the attached devices. Interfaces already made keep the device they were made for.
void SetConfig(InputConfig config);
void ResetConfig();
const InputConfig& Config();
// The first system keyboard of the configuration, or null.
SystemKeyboard* Keyboard();

// Tests: every acquired device is taken away, as when another program grabs it.
void LoseDevices();
// Objects of this module still alive (DirectInput objects and device interfaces).
int LiveObjectCount();

// Key code of a key by its position (set-1 scan code, extended flag).
constexpr BYTE KeyCode(BYTE scan, bool extended) { return static_cast<BYTE>((scan & 0x7F) | (extended ? 0x80 : 0)); }

// Makes "DInput.dll" with DirectInputCreateA loadable and starts listening to the window
// system's keys. Runs at start-up; calling it again does nothing.
void RegisterModule();

HRESULT DirectInputCreateA(HINSTANCE instance, DWORD version, IDirectInput** out, IUnknown* outer);

}  // namespace dinput
