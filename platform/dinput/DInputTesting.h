#pragma once
// What tests reach inside DirectInput for: devices whose state and effects they script and
// read back, failures on demand, devices taken away, and the module's live objects. Not for
// programs: no public header includes this one.
#include <cstddef>
#include <vector>

#include "platform/dinput/DInput.h"

namespace dinput {

// A device whose effects are kept as given, for tests: every call is recorded, an effect plays
// until stopped or until the test lets its time run out.
class RecordingActuators : public Actuators {
 public:
  struct Effect {
    EffectParams Params;
    bool Playing = false;
    DWORD Iterations = 0;
    int Starts = 0;
    int Modifications = 0;
    bool Freed = false;
  };
  std::vector<GUID> Types = {GUID_ConstantForce, GUID_Sine, GUID_Square, GUID_Spring, GUID_Damper};
  // At most this many effects downloaded at once.
  std::size_t Capacity = 16;
  std::vector<Effect> Effects;  // by id
  bool AutoCenter = true;

  std::vector<GUID> EffectTypes() const override { return Types; }
  int Download(const EffectParams& params) override;
  bool Modify(int id, const EffectParams& params) override;
  bool Start(int id, DWORD iterations) override;
  bool Stop(int id) override;
  bool Playing(int id) override;
  void Free(int id) override;
  void SetAutoCenter(bool on) override { AutoCenter = on; }
  // The effects that are downloaded and not freed.
  std::vector<const Effect*> Live() const;
  // Every finite effect has run its course.
  void FinishAll();
};

// A joystick whose axes, hats and buttons tests set directly.
class ScriptedJoystick : public Joystick {
 public:
  ScriptedJoystick(int axes = 3, int buttons = 8, int hats = 1);
  LONG Axes[8] = {32767, 32767, 32767, 32767, 32767, 32767, 32767, 32767};
  DWORD Hats[4] = {INFINITE, INFINITE, INFINITE, INFINITE};
  bool Buttons[128] = {};

 protected:
  void Sample(LONG (&axes)[8], DWORD (&hats)[4], BYTE (&buttons)[128]) override;
};

// Devices that CreateDevice refuses (DIERR_DEVICENOTREG), as if not registered.
struct DeviceTesting {
  static void SetRefusesCreation(Device& device, bool refuses) { device.refuses_creation_ = refuses; }
  static bool RefusesCreation(const Device& device) { return device.refuses_creation_; }
};

// DirectInputCreateA fails (DIERR_GENERIC), as without a working input driver, until the
// configuration is next set or reset.
void SetCreateFails(bool fails);

// Every acquired device is taken away, as when another program grabs it.
void LoseDevices();
// Objects of this module still alive (DirectInput objects and device interfaces).
int LiveObjectCount();

}  // namespace dinput
