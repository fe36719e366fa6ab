#include "platform/win/WinKeyHook.h"

#include <utility>
#include <vector>

#include "platform/win/WinInternal.h"
#include "platform/win/WinUser.h"

namespace win {

namespace {

struct Listeners {
  std::vector<std::pair<int, RawKeyListener>> List;
  int NextId = 1;
};

Listeners& L() {
  static Listeners& l = *new Listeners;  // used from other objects' destructors at exit
  return l;
}

}  // namespace

int AddRawKeyListener(RawKeyListener listener) {
  const int id = L().NextId++;
  L().List.emplace_back(id, std::move(listener));
  return id;
}

void RemoveRawKeyListener(int id) {
  auto& list = L().List;
  for (auto it = list.begin(); it != list.end(); ++it)
    if (it->first == id) {
      list.erase(it);
      return;
    }
}

bool ScanFromEvdev(std::uint32_t evdev, BYTE& scan, bool& extended) {
  // The evdev codes of the main block and the keypad are the set-1 scan codes themselves.
  if (evdev >= 1 && evdev <= 88) {
    scan = static_cast<BYTE>(evdev);
    extended = false;
    return true;
  }
  struct Entry {
    std::uint16_t evdev;
    BYTE scan;
  };
  // The keys the keyboard sends with the E0 prefix.
  static constexpr Entry kExtended[] = {
      {96, 0x1C},  {97, 0x1D},  {98, 0x35},  {99, 0x37},  {100, 0x38}, {102, 0x47}, {103, 0x48},
      {104, 0x49}, {105, 0x4B}, {106, 0x4D}, {107, 0x4F}, {108, 0x50}, {109, 0x51}, {110, 0x52},
      {111, 0x53}, {113, 0x20}, {114, 0x2E}, {115, 0x30}, {117, 0x0D}, {119, 0x45}, {121, 0x33},
      {125, 0x5B}, {126, 0x5C}, {127, 0x5D}};
  for (const Entry& e : kExtended)
    if (e.evdev == evdev) {
      scan = e.scan;
      extended = true;
      return true;
    }
  return false;
}

bool ScanFromVirtualKey(BYTE vk, BYTE& scan, bool& extended) {
  const UINT s = MapVirtualKeyA(vk, MAPVK_VK_TO_VSC);
  if (s == 0 || s > 0x7F) return false;
  scan = static_cast<BYTE>(s);
  // Pause shares its code with Num Lock; the keyboard tells it apart by the E0 prefix.
  extended = IsExtendedKey(vk) || vk == VK_PAUSE;
  return true;
}

void NotifyRawKey(std::uint32_t nativeScanCode, BYTE vk, bool down, bool repeat, HWND window) {
  RawKeyEvent ev;
  bool known = nativeScanCode > 8 && ScanFromEvdev(nativeScanCode - 8, ev.Scan, ev.Extended);
  if (!known) known = vk && ScanFromVirtualKey(vk, ev.Scan, ev.Extended);
  if (!known) return;
  ev.Down = down;
  ev.Repeat = repeat;
  ev.Window = window;
  // A listener may remove itself (or others) while being told.
  const auto snapshot = L().List;
  for (const auto& entry : snapshot) entry.second(ev);
}

}  // namespace win
