#include "platform/win/WinMouseHook.h"

#include <utility>
#include <vector>

namespace win {

namespace {

struct Listeners {
  std::vector<std::pair<int, RawMouseListener>> List;
  int NextId = 1;
  bool HaveLast = false;
  int LastX = 0, LastY = 0;
};

Listeners& L() {
  static Listeners& l = *new Listeners;  // used from other objects' destructors at exit
  return l;
}

}  // namespace

int AddRawMouseListener(RawMouseListener listener) {
  const int id = L().NextId++;
  L().List.emplace_back(id, std::move(listener));
  return id;
}

void RemoveRawMouseListener(int id) {
  auto& list = L().List;
  for (auto it = list.begin(); it != list.end(); ++it)
    if (it->first == id) {
      list.erase(it);
      return;
    }
}

void NotifyRawMouse(const RawMouseEvent& ev) {
  // A listener may add or remove listeners.
  const auto list = L().List;
  for (const auto& [id, fn] : list) fn(ev);
}

void NotifyPointerAt(int x, int y, HWND window) {
  Listeners& l = L();
  const bool had = std::exchange(l.HaveLast, true);
  const int dx = had ? x - l.LastX : 0;
  const int dy = had ? y - l.LastY : 0;
  l.LastX = x;
  l.LastY = y;
  if (dx == 0 && dy == 0) return;
  RawMouseEvent ev;
  ev.DX = dx;
  ev.DY = dy;
  ev.Window = window;
  NotifyRawMouse(ev);
}

}  // namespace win
