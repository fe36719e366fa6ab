#pragma once
// What the module's sources share among themselves.
#include <memory>
#include <vector>

#include "platform/dinput/DInput.h"
#include "platform/base/RefCounted.h"

namespace joy {
struct Stick;
}  // namespace joy
namespace win {
struct RawKeyEvent;
struct RawMouseEvent;
}  // namespace win

namespace dinput {
namespace detail {

// Objects of the module alive now.
int& LiveCount();

// The objects of this module, counted in its live count.
template <class... Interfaces>
using Object = win::ComObject<&LiveCount, Interfaces...>;

// The device interface an effect belongs to.
class EffectHost {
 public:
  // DI_OK when effects may be downloaded and played now: the device is acquired exclusively.
  virtual HRESULT CanPlay() = 0;
  virtual IDirectInputDevice2* HostInterface() = 0;
  virtual void EffectMade(IDirectInputEffect* effect) = 0;
  virtual void EffectGone(IDirectInputEffect* effect) = 0;

 protected:
  ~EffectHost() = default;
};

// A new effect object of the given type for the host's device; the caller owns the reference.
IDirectInputEffect* MakeEffect(EffectHost& host, std::shared_ptr<Device> device, const GUID& type);
// Parameters given to an effect (a DIEFFECT and the DIEP_* flags saying which of its fields
// count) checked and copied over `params`. DIERR_INVALIDPARAM when they do not fit.
HRESULT CopyParameters(const DIEFFECT& effect, DWORD flags, EffectParams& params);
// The effect's platform type (DIEFT_*) with the parameters the device supports, or 0.
DWORD EffectTypeOf(const GUID& type);
const char* EffectName(const GUID& type);
// Stops and unloads every effect of an effect object made by MakeEffect.
void UnloadEffect(IDirectInputEffect* effect);

// The machine's game controllers, as devices, in SDL's order.
std::vector<std::shared_ptr<Device>> SystemJoystickDevices();
// The force feedback of a controller as actuators, or null.
std::shared_ptr<Actuators> OpenHaptic(joy::Stick* joystick);

void OnRawKey(const win::RawKeyEvent& ev);
void OnRawMouse(const win::RawMouseEvent& ev);
void ObserveForeground();

}  // namespace detail
}  // namespace dinput
