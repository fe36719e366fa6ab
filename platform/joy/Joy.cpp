#include "platform/joy/Joy.h"

#include <SDL2/SDL.h>

#include <cstring>
#include <map>

namespace joy {

namespace {

// The handles are SDL's own objects under our names.
SDL_Joystick* Sdl(Stick* s) { return reinterpret_cast<SDL_Joystick*>(s); }
SDL_Haptic* Sdl(Haptic* h) { return reinterpret_cast<SDL_Haptic*>(h); }

std::map<SDL_JoystickID, SDL_Joystick*>& Opened() {
  static auto& m = *new std::map<SDL_JoystickID, SDL_Joystick*>;  // lives as long as SDL's own
  return m;
}

std::map<SDL_Joystick*, SDL_Haptic*>& Haptics() {
  static auto& m = *new std::map<SDL_Joystick*, SDL_Haptic*>;  // as long as their sticks
  return m;
}

int AngleOf(Uint8 hat) {
  switch (hat) {
    case SDL_HAT_UP: return 0;
    case SDL_HAT_RIGHTUP: return 4500;
    case SDL_HAT_RIGHT: return 9000;
    case SDL_HAT_RIGHTDOWN: return 13500;
    case SDL_HAT_DOWN: return 18000;
    case SDL_HAT_LEFTDOWN: return 22500;
    case SDL_HAT_LEFT: return 27000;
    case SDL_HAT_LEFTUP: return 31500;
    default: return -1;
  }
}

constexpr std::pair<EffectKind, unsigned> kKinds[] = {
    {EffectKind::Constant, SDL_HAPTIC_CONSTANT},   {EffectKind::Ramp, SDL_HAPTIC_RAMP},
    {EffectKind::Sine, SDL_HAPTIC_SINE},           {EffectKind::Triangle, SDL_HAPTIC_TRIANGLE},
    {EffectKind::SawtoothUp, SDL_HAPTIC_SAWTOOTHUP}, {EffectKind::SawtoothDown, SDL_HAPTIC_SAWTOOTHDOWN},
    {EffectKind::Spring, SDL_HAPTIC_SPRING},       {EffectKind::Damper, SDL_HAPTIC_DAMPER},
    {EffectKind::Inertia, SDL_HAPTIC_INERTIA},     {EffectKind::Friction, SDL_HAPTIC_FRICTION}};

Uint16 SdlType(EffectKind kind) {
  for (const auto& [k, bit] : kKinds)
    if (k == kind) return static_cast<Uint16>(bit);
  return 0;
}

// The effect in SDL's record; false for a kind SDL's record has no member for here.
bool ToSdl(const Effect& e, SDL_HapticEffect& s) {
  std::memset(&s, 0, sizeof s);
  SDL_HapticDirection dir{};
  dir.type = SDL_HAPTIC_CARTESIAN;
  for (int i = 0; i < 3; ++i) dir.dir[i] = e.Direction[i];
  const Uint32 length = e.Length == kInfinity ? SDL_HAPTIC_INFINITY : e.Length;
  auto common = [&](auto& x) {
    x.type = SdlType(e.Kind);
    x.direction = dir, x.length = length, x.delay = e.Delay, x.button = e.Button, x.interval = e.Interval;
  };
  auto envelope = [&](auto& x) {
    x.attack_length = e.AttackLength, x.attack_level = e.AttackLevel;
    x.fade_length = e.FadeLength, x.fade_level = e.FadeLevel;
  };
  switch (e.Kind) {
    case EffectKind::Constant:
      common(s.constant);
      s.constant.level = e.Level;
      envelope(s.constant);
      return true;
    case EffectKind::Sine:
    case EffectKind::Triangle:
    case EffectKind::SawtoothUp:
    case EffectKind::SawtoothDown:
      common(s.periodic);
      s.periodic.period = e.Period, s.periodic.magnitude = e.Magnitude;
      s.periodic.offset = e.Offset, s.periodic.phase = e.Phase;
      envelope(s.periodic);
      return true;
    case EffectKind::Spring:
    case EffectKind::Damper:
    case EffectKind::Inertia:
    case EffectKind::Friction:
      common(s.condition);
      for (int a = 0; a < 3; ++a) {
        s.condition.right_sat[a] = e.RightSaturation[a], s.condition.left_sat[a] = e.LeftSaturation[a];
        s.condition.right_coeff[a] = e.RightCoefficient[a], s.condition.left_coeff[a] = e.LeftCoefficient[a];
        s.condition.deadband[a] = e.Deadband[a], s.condition.center[a] = e.Center[a];
      }
      return true;
    case EffectKind::Ramp:
      break;
  }
  return false;
}

}  // namespace

bool Start() {
  static const bool ok = [] {
    // The application reads its controllers whether or not one of our windows has the focus;
    // DirectInput's cooperative levels decide that, not SDL.
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    // SDL's events would otherwise catch SIGINT and SIGTERM and turn them into a quit event that
    // nobody here reads: the program could no longer be stopped.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0) return false;
    SDL_InitSubSystem(SDL_INIT_HAPTIC);  // force feedback is optional
    return true;
  }();
  return ok;
}

int Count() {
  if (!Start()) return 0;
  SDL_JoystickUpdate();
  const int n = SDL_NumJoysticks();
  return n < 0 ? 0 : n;
}

std::int32_t InstanceId(int index) {
  if (!Start() || index < 0 || index >= SDL_NumJoysticks()) return -1;
  return SDL_JoystickGetDeviceInstanceID(index);
}

Stick* Open(int index) {
  if (!Start() || index < 0 || index >= SDL_NumJoysticks()) return nullptr;
  const SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(index);
  auto& opened = Opened();
  if (auto it = opened.find(id); it != opened.end()) return reinterpret_cast<Stick*>(it->second);
  SDL_Joystick* j = SDL_JoystickOpen(index);
  if (j) opened[id] = j;
  return reinterpret_cast<Stick*>(j);
}

void Update() { SDL_JoystickUpdate(); }
bool Attached(Stick* s) { return SDL_JoystickGetAttached(Sdl(s)) == SDL_TRUE; }
int AxisCount(Stick* s) { return SDL_JoystickNumAxes(Sdl(s)); }
int ButtonCount(Stick* s) { return SDL_JoystickNumButtons(Sdl(s)); }
int HatCount(Stick* s) { return SDL_JoystickNumHats(Sdl(s)); }
int Axis(Stick* s, int axis) { return SDL_JoystickGetAxis(Sdl(s), axis); }
bool Button(Stick* s, int button) { return SDL_JoystickGetButton(Sdl(s), button) != 0; }
int HatAngle(Stick* s, int hat) { return AngleOf(SDL_JoystickGetHat(Sdl(s), hat)); }

std::array<std::uint8_t, 16> ProductId(Stick* s) {
  const SDL_JoystickGUID g = SDL_JoystickGetGUID(Sdl(s));
  std::array<std::uint8_t, 16> id;
  static_assert(sizeof g.data == sizeof id);
  std::memcpy(id.data(), g.data, sizeof g.data);
  return id;
}

void VendorProduct(Stick* s, std::uint16_t& vendor, std::uint16_t& product) {
  Uint16 v = 0, p = 0;
  SDL_GetJoystickGUIDInfo(SDL_JoystickGetGUID(Sdl(s)), &v, &p, nullptr, nullptr);
  vendor = v;
  product = p;
}

const char* Name(Stick* s) { return SDL_JoystickName(Sdl(s)); }

Haptic* OpenHaptic(Stick* s) {
  SDL_Joystick* j = Sdl(s);
  if (!j || SDL_JoystickIsHaptic(j) != 1) return nullptr;
  auto& haptics = Haptics();
  if (auto it = haptics.find(j); it != haptics.end()) return reinterpret_cast<Haptic*>(it->second);
  SDL_Haptic* h = SDL_HapticOpenFromJoystick(j);
  if (h) haptics[j] = h;
  return reinterpret_cast<Haptic*>(h);
}

unsigned EffectKinds(Haptic* h) {
  const unsigned caps = SDL_HapticQuery(Sdl(h));
  unsigned kinds = 0;
  for (const auto& [k, bit] : kKinds)
    if (caps & bit) kinds |= KindBit(k);
  return kinds;
}

bool ReportsStatus(Haptic* h) { return (SDL_HapticQuery(Sdl(h)) & SDL_HAPTIC_STATUS) != 0; }

int NewEffect(Haptic* h, const Effect& effect) {
  SDL_HapticEffect e;
  if (!ToSdl(effect, e)) return -1;
  const int id = SDL_HapticNewEffect(Sdl(h), &e);
  return id < 0 ? -1 : id;
}

bool UpdateEffect(Haptic* h, int id, const Effect& effect) {
  SDL_HapticEffect e;
  return ToSdl(effect, e) && SDL_HapticUpdateEffect(Sdl(h), id, &e) >= 0;
}

bool RunEffect(Haptic* h, int id, std::uint32_t iterations) {
  return SDL_HapticRunEffect(Sdl(h), id, iterations == kInfinity ? SDL_HAPTIC_INFINITY : iterations) == 0;
}

bool StopEffect(Haptic* h, int id) { return SDL_HapticStopEffect(Sdl(h), id) == 0; }
int EffectStatus(Haptic* h, int id) { return SDL_HapticGetEffectStatus(Sdl(h), id); }
void DestroyEffect(Haptic* h, int id) { SDL_HapticDestroyEffect(Sdl(h), id); }

void SetAutocenter(Haptic* h, int percent) {
  if (SDL_HapticQuery(Sdl(h)) & SDL_HAPTIC_AUTOCENTER) SDL_HapticSetAutocenter(Sdl(h), percent);
}

}  // namespace joy
