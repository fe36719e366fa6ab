#pragma once
// The multimedia clock: milliseconds since the system started, 32 bits, wrapping after about
// 49.7 days. Tests replace the clock by a virtual one they set and advance.
#include <cstdint>

#include "platform/base/Types.h"

namespace mm {

using win::DWORD;
using win::UINT;
using win::WORD;
using MMRESULT = UINT;

DWORD timeGetTime();

// Waits until timeGetTime has moved on by `milliseconds`: the calling thread sleeps while the
// real clock runs; the virtual clock of tests is moved on at once instead.
void WaitClock(DWORD milliseconds);

// ---- Joysticks: the machine's game controllers (SDL's joysticks, in SDL's order) --------------
inline constexpr MMRESULT JOYERR_NOERROR = 0;
inline constexpr MMRESULT MMSYSERR_NODRIVER = 6;
inline constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
inline constexpr MMRESULT JOYERR_PARMS = 165;
inline constexpr MMRESULT JOYERR_UNPLUGGED = 167;

inline constexpr DWORD JOY_RETURNX = 0x1;
inline constexpr DWORD JOY_RETURNY = 0x2;
inline constexpr DWORD JOY_RETURNZ = 0x4;
inline constexpr DWORD JOY_RETURNR = 0x8;
inline constexpr DWORD JOY_RETURNU = 0x10;
inline constexpr DWORD JOY_RETURNV = 0x20;
inline constexpr DWORD JOY_RETURNPOV = 0x40;
inline constexpr DWORD JOY_RETURNBUTTONS = 0x80;
inline constexpr DWORD JOY_RETURNRAWDATA = 0x100;
inline constexpr DWORD JOY_RETURNPOVCTS = 0x200;
inline constexpr DWORD JOY_RETURNCENTERED = 0x400;
inline constexpr DWORD JOY_RETURNALL = 0xFF;
inline constexpr DWORD JOY_POVCENTERED = 0xFFFF;

inline constexpr UINT JOYCAPS_HASZ = 0x1;
inline constexpr UINT JOYCAPS_HASR = 0x2;
inline constexpr UINT JOYCAPS_HASU = 0x4;
inline constexpr UINT JOYCAPS_HASV = 0x8;
inline constexpr UINT JOYCAPS_HASPOV = 0x10;
inline constexpr UINT JOYCAPS_POV4DIR = 0x20;
inline constexpr UINT JOYCAPS_POVCTS = 0x40;

struct JOYCAPSA {
  WORD wMid;
  WORD wPid;
  char szPname[32];
  UINT wXmin, wXmax;
  UINT wYmin, wYmax;
  UINT wZmin, wZmax;
  UINT wNumButtons;
  UINT wPeriodMin, wPeriodMax;
  UINT wRmin, wRmax;
  UINT wUmin, wUmax;
  UINT wVmin, wVmax;
  UINT wCaps;
  UINT wMaxAxes;
  UINT wNumAxes;
  UINT wMaxButtons;
  char szRegKey[32];
  char szOEMVxD[260];
};
static_assert(sizeof(JOYCAPSA) == 404);

struct JOYINFOEX {
  DWORD dwSize;
  DWORD dwFlags;
  DWORD dwXpos, dwYpos, dwZpos, dwRpos, dwUpos, dwVpos;
  DWORD dwButtons;
  DWORD dwButtonNumber;
  DWORD dwPOV;
  DWORD dwReserved1, dwReserved2;
};
static_assert(sizeof(JOYINFOEX) == 52);

// Joystick numbers count the attached controllers from 0. Axes report 0 .. 65535.
MMRESULT joyGetDevCapsA(std::uintptr_t joystick, JOYCAPSA* caps, UINT size);
MMRESULT joyGetPosEx(UINT joystick, JOYINFOEX* info);

}  // namespace mm
