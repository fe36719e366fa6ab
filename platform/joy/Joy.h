#pragma once
// The machine's game controllers through SDL, shared by DirectInput and the multimedia joystick
// functions. The joystick subsystem starts on first use; where it cannot start there are no
// joysticks. Only for the platform's own sources: nothing above the platform sees SDL.
#include <SDL2/SDL.h>

namespace joy {

// Starts the joystick (and, where it works, the haptic) subsystem once. False without one.
bool Start();
// Joysticks attached now, after taking in what was plugged in or out.
int Count();
// The joystick at SDL's index, opened once and kept open; null when it cannot be opened.
SDL_Joystick* Open(int index);
// A hat's direction in hundredths of a degree clockwise from forward; -1 when it is centred.
int HatAngle(Uint8 hat);

}  // namespace joy
