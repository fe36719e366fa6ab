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
#include <cstring>
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

// What an application asked an effect to do, copied out of its DIEFFECT: the addresses resolved,
// the direction and axes as given, the type-specific record as bytes.
struct EffectParams {
  GUID Type{};
  DWORD Flags = 0;  // DIEFF_*
  DWORD Duration = 0;  // microseconds, INFINITE for endless
  DWORD SamplePeriod = 0;
  DWORD Gain = DI_FFNOMINALMAX;
  DWORD TriggerButton = INFINITE;
  DWORD TriggerRepeatInterval = 0;
  DWORD StartDelay = 0;
  std::vector<DWORD> Axes;      // offsets or identifiers, as Flags say
  std::vector<LONG> Direction;  // one value per axis
  bool HasEnvelope = false;
  DIENVELOPE Envelope{};
  std::vector<BYTE> TypeSpecific;

  // The type-specific record as the given type, when it has that size.
  template <class T>
  bool Specific(T& out) const {
    if (TypeSpecific.size() != sizeof(T)) return false;
    std::memcpy(&out, TypeSpecific.data(), sizeof(T));
    return true;
  }
};

// The actuators of a force-feedback device. Effects are downloaded to it, get an id, and are
// started, changed, stopped and freed by that id.
class Actuators {
 public:
  virtual ~Actuators() = default;
  // The effect types the device plays, in the order it offers them.
  virtual std::vector<GUID> EffectTypes() const = 0;
  // -1 when the device cannot take the effect (full, or the parameters do not fit).
  virtual int Download(const EffectParams& params) = 0;
  virtual bool Modify(int id, const EffectParams& params) = 0;
  virtual bool Start(int id, DWORD iterations) = 0;
  virtual bool Stop(int id) = 0;
  virtual bool Playing(int id) = 0;
  virtual void Free(int id) = 0;
  virtual void SetAutoCenter(bool on) { (void)on; }
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

  // False for a device that offers only the first interface version (no IDirectInputDevice2).
  bool SecondVersion = true;

  // Force feedback: set on devices with actuators (their capabilities then carry
  // DIDC_FORCEFEEDBACK).
  std::shared_ptr<Actuators> ForceFeedback;

  // The current state in the device's own layout (StateSize bytes). Absolute axes report 0 ..
  // 65535 there and are scaled to each interface's range; relative axes report a running total
  // and each interface gets the movement since its last read.
  virtual void ReadState(BYTE* state) = 0;
  // Whether the device is still there; a device that went away reports DIERR_INPUTLOST once
  // and DIERR_NOTACQUIRED after.
  virtual bool Attached() const { return true; }
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

 private:
  friend struct DeviceTesting;
  bool refuses_creation_ = false;
};

// The system keyboard. Keys are set by the window system's key events, or directly by SetKey.
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

// A game controller with the platform's joystick record as its own: eight axes from offset 0,
// four point-of-view hats from 32, 128 buttons from 48.
class Joystick : public Device {
 public:
  Joystick(int axes, int buttons, int hats);
  void ReadState(BYTE* state) override;
  bool Polled() const override { return true; }

  int AxisCount() const { return axes_; }
  int ButtonCount() const { return buttons_; }
  int HatCount() const { return hats_; }

 protected:
  // Axes 0 .. 65535, hats in hundredths of a degree or 0xFFFFFFFF when centred.
  virtual void Sample(LONG (&axes)[8], DWORD (&hats)[4], BYTE (&buttons)[128]) = 0;

 private:
  int axes_, buttons_, hats_;
};

// The system mouse: relative X, Y and wheel from offset 0, four buttons from 12. Fed by the
// window system's mouse events.
class SystemMouse : public Device {
 public:
  SystemMouse();
  void ReadState(BYTE* state) override;
  bool AllowsExclusiveBackground() const override { return false; }

  void Move(LONG dx, LONG dy, LONG dz = 0);
  void SetButton(int button, bool down);
  void ReleaseAll() { buttons_[0] = buttons_[1] = buttons_[2] = buttons_[3] = 0; }

 private:
  LONG total_[3] = {};
  BYTE buttons_[4] = {};
};

struct InputConfig {
  // Attached devices, in the order EnumDevices reports them.
  std::vector<std::shared_ptr<Device>> Devices;
  // The machine's real game controllers (SDL's joysticks, with their haptic devices) follow the
  // devices above, in SDL's order. The joystick subsystem starts only when a joystick is asked
  // for; without it there are simply none.
  bool SystemJoysticks = true;
};

// The system keyboard and the system mouse.
InputConfig DefaultConfig();
// Replaces the attached devices. Interfaces already made keep the device they were made for.
void SetConfig(InputConfig config);
void ResetConfig();
const InputConfig& Config();
// The first system keyboard (mouse) of the configuration, or null.
SystemKeyboard* Keyboard();
SystemMouse* Mouse();
// The joysticks EnumDevices reports, in its order: the configured ones, then the system's.
std::vector<std::shared_ptr<Device>> AttachedDevices();

// Key code of a key by its position (set-1 scan code, extended flag).
constexpr BYTE KeyCode(BYTE scan, bool extended) { return static_cast<BYTE>((scan & 0x7F) | (extended ? 0x80 : 0)); }

// Makes "DInput.dll" with DirectInputCreateA loadable and starts listening to the window
// system's keys. Called once at start-up by builtins::InstallLibraries;
// calling it again does nothing.
void RegisterModule();

HRESULT DirectInputCreateA(HINSTANCE instance, DWORD version, IDirectInput** out, IUnknown* outer);

}  // namespace dinput
