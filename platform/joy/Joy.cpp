#include "platform/joy/Joy.h"

#include <map>

namespace joy {

namespace {

std::map<SDL_JoystickID, SDL_Joystick*>& Opened() {
  static auto& m = *new std::map<SDL_JoystickID, SDL_Joystick*>;  // lives as long as SDL's own
  return m;
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

SDL_Joystick* Open(int index) {
  if (!Start() || index < 0 || index >= SDL_NumJoysticks()) return nullptr;
  const SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(index);
  auto& opened = Opened();
  if (auto it = opened.find(id); it != opened.end()) return it->second;
  SDL_Joystick* j = SDL_JoystickOpen(index);
  if (j) opened[id] = j;
  return j;
}

int HatAngle(Uint8 hat) {
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

}  // namespace joy
