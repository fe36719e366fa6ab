// The multimedia joystick functions over the machine's game controllers.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "platform/joy/Joy.h"
#include "platform/mm/MMSystem.h"

namespace mm {

namespace {

DWORD Position(joy::Stick* j, int axis) {
  if (axis >= joy::AxisCount(j)) return 32767;  // an axis the stick lacks rests centred
  return static_cast<DWORD>(joy::Axis(j, axis) + 32768);
}

DWORD Pov(joy::Stick* j) {
  const int angle = joy::HatCount(j) > 0 ? joy::HatAngle(j, 0) : -1;
  return angle < 0 ? JOY_POVCENTERED : static_cast<DWORD>(angle);
}

}  // namespace

MMRESULT joyGetDevCapsA(std::uintptr_t joystick, JOYCAPSA* caps, UINT size) {
  if (!caps || size != sizeof(JOYCAPSA)) return MMSYSERR_INVALPARAM;
  if (!joy::Start()) return MMSYSERR_NODRIVER;
  if (joystick >= 256) return MMSYSERR_NODRIVER;
  if (static_cast<int>(joystick) >= joy::Count()) return JOYERR_PARMS;
  joy::Stick* j = joy::Open(static_cast<int>(joystick));
  if (!j) return JOYERR_UNPLUGGED;
  std::memset(caps, 0, sizeof *caps);
  std::uint16_t vendor = 0, product = 0;
  joy::VendorProduct(j, vendor, product);
  caps->wMid = vendor;
  caps->wPid = product;
  const char* name = joy::Name(j);
  std::strncpy(caps->szPname, name ? name : "Joystick", sizeof caps->szPname - 1);
  const int axes = std::clamp(joy::AxisCount(j), 0, 6);
  caps->wXmax = caps->wYmax = caps->wZmax = caps->wRmax = caps->wUmax = caps->wVmax = 65535;
  caps->wNumButtons = static_cast<UINT>(std::clamp(joy::ButtonCount(j), 0, 32));
  caps->wMaxButtons = 32;
  caps->wPeriodMin = 10;
  caps->wPeriodMax = 1000;
  caps->wMaxAxes = 6;
  caps->wNumAxes = static_cast<UINT>(axes);
  if (axes > 2) caps->wCaps |= JOYCAPS_HASZ;
  if (axes > 3) caps->wCaps |= JOYCAPS_HASR;
  if (axes > 4) caps->wCaps |= JOYCAPS_HASU;
  if (axes > 5) caps->wCaps |= JOYCAPS_HASV;
  if (joy::HatCount(j) > 0) caps->wCaps |= JOYCAPS_HASPOV | JOYCAPS_POV4DIR | JOYCAPS_POVCTS;
  return JOYERR_NOERROR;
}

MMRESULT joyGetPosEx(UINT joystick, JOYINFOEX* info) {
  if (!info || info->dwSize != sizeof(JOYINFOEX)) return MMSYSERR_INVALPARAM;
  if (!joy::Start()) return MMSYSERR_NODRIVER;
  if (static_cast<int>(joystick) >= joy::Count() || joystick >= 256) return JOYERR_PARMS;
  joy::Stick* j = joy::Open(static_cast<int>(joystick));
  if (!j || !joy::Attached(j)) return JOYERR_UNPLUGGED;
  const DWORD flags = info->dwFlags;
  if (flags & JOY_RETURNX) info->dwXpos = Position(j, 0);
  if (flags & JOY_RETURNY) info->dwYpos = Position(j, 1);
  if (flags & JOY_RETURNZ) info->dwZpos = Position(j, 2);
  if (flags & JOY_RETURNR) info->dwRpos = Position(j, 3);
  if (flags & JOY_RETURNU) info->dwUpos = Position(j, 4);
  if (flags & JOY_RETURNV) info->dwVpos = Position(j, 5);
  if (flags & JOY_RETURNBUTTONS) {
    info->dwButtons = 0;
    info->dwButtonNumber = 0;
    const int n = std::min(joy::ButtonCount(j), 32);
    for (int b = 0; b < n; ++b)
      if (joy::Button(j, b)) {
        info->dwButtons |= DWORD{1} << b;
        ++info->dwButtonNumber;
      }
  }
  if (flags & (JOY_RETURNPOV | JOY_RETURNPOVCTS))
    info->dwPOV = Pov(j);
  return JOYERR_NOERROR;
}

}  // namespace mm
