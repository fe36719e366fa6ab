#pragma once
// The machine's game controllers through SDL, shared by DirectInput and the multimedia joystick
// functions. The joystick subsystem starts on first use; where it cannot start there are no
// joysticks. SDL stays inside this module: its callers hold opaque handles and plain numbers.
#include <array>
#include <cstdint>

namespace joy {

// An open controller. Opened once and kept open for the program's life; unplugged, it reports
// itself detached.
struct Stick;
// The force-feedback side of a controller, kept open as long as its stick.
struct Haptic;

// Starts the joystick (and, where it works, the haptic) subsystem once. False without one.
bool Start();
// Joysticks attached now, after taking in what was plugged in or out.
int Count();
// A number that names the controller at `index` for as long as it stays plugged in; -1 when
// there is none.
std::int32_t InstanceId(int index);
// The joystick at `index` (0 .. Count()-1); null when it cannot be opened.
Stick* Open(int index);

// Takes in the latest state of every controller; the readings below report it.
void Update();
bool Attached(Stick* stick);
int AxisCount(Stick* stick);
int ButtonCount(Stick* stick);
int HatCount(Stick* stick);
// -32768 .. 32767.
int Axis(Stick* stick, int axis);
bool Button(Stick* stick, int button);
// A hat's direction in hundredths of a degree clockwise from forward; -1 when it is centred.
int HatAngle(Stick* stick, int hat);

// The controller's product identity: 16 bytes, the same for every controller of its kind.
std::array<std::uint8_t, 16> ProductId(Stick* stick);
// USB vendor and product numbers, 0 where they are unknown.
void VendorProduct(Stick* stick, std::uint16_t& vendor, std::uint16_t& product);
// Null when the controller has no name.
const char* Name(Stick* stick);

// Force feedback --------------------------------------------------------------------------------

// Null when the controller has none.
Haptic* OpenHaptic(Stick* stick);

enum class EffectKind { Constant, Ramp, Sine, Triangle, SawtoothUp, SawtoothDown, Spring, Damper, Inertia, Friction };
inline constexpr unsigned KindBit(EffectKind k) { return 1u << static_cast<unsigned>(k); }

// What the device offers: a KindBit for each effect kind it plays.
unsigned EffectKinds(Haptic* haptic);
// Whether it tells if an effect is still playing.
bool ReportsStatus(Haptic* haptic);

// A length or repeat count without end.
inline constexpr std::uint32_t kInfinity = 0xFFFFFFFFu;

// One effect as the device takes it. Times in milliseconds; levels -32767 .. 32767 (unsigned ones
// 0 .. 65535); the three axes are the controller's X, Y and Z.
struct Effect {
  EffectKind Kind = EffectKind::Constant;
  std::int32_t Direction[3] = {};  // cartesian
  std::uint32_t Length = 0;        // kInfinity: until stopped
  std::uint16_t Delay = 0;
  std::uint16_t Button = 0;  // 1-based trigger button, 0 for none
  std::uint16_t Interval = 0;
  // Constant and periodic effects.
  std::int16_t Level = 0;  // constant force
  std::uint16_t Period = 0;
  std::int16_t Magnitude = 0;
  std::int16_t Offset = 0;
  std::uint16_t Phase = 0;  // hundredths of a degree
  std::uint16_t AttackLength = 0, AttackLevel = 0, FadeLength = 0, FadeLevel = 0;
  // Condition effects, per axis.
  std::uint16_t RightSaturation[3] = {}, LeftSaturation[3] = {};
  std::int16_t RightCoefficient[3] = {}, LeftCoefficient[3] = {};
  std::uint16_t Deadband[3] = {};
  std::int16_t Center[3] = {};
};

// The effect's id on the device, -1 when it was refused.
int NewEffect(Haptic* haptic, const Effect& effect);
bool UpdateEffect(Haptic* haptic, int id, const Effect& effect);
// `iterations` may be kInfinity.
bool RunEffect(Haptic* haptic, int id, std::uint32_t iterations);
bool StopEffect(Haptic* haptic, int id);
// 1 playing, 0 stopped, negative when the device cannot tell.
int EffectStatus(Haptic* haptic, int id);
void DestroyEffect(Haptic* haptic, int id);
// Where the device has an autocentre: 0 .. 100 percent.
void SetAutocenter(Haptic* haptic, int percent);

}  // namespace joy
