#include "platform/win/WinMouseHook.h"

#include <utility>
#include <vector>

namespace win {

namespace {

struct Listeners {
  std::vector<std::pair<int, RawMouseListener>> list;
  int next_id = 1;
  bool have_last = false;
  int last_x = 0, last_y = 0;
};

Listeners& L() {
  static Listeners& l = *new Listeners;  // used from other objects' destructors at exit
  return l;
}

}  // namespace

int AddRawMouseListener(RawMouseListener listener) {
  const int id = L().next_id++;
  L().list.emplace_back(id, std::move(listener));
  return id;
}

void RemoveRawMouseListener(int id) {
  auto& list = L().list;
  for (auto it = list.begin(); it != list.end(); ++it)
    if (it->first == id) {
      list.erase(it);
      return;
    }
}

void NotifyRawMouse(const RawMouseEvent& ev) {
  // A listener may add or remove listeners.
  const auto list = L().list;
  for (const auto& [id, fn] : list) fn(ev);
}

void NotifyPointerAt(int x, int y, HWND window) {
  Listeners& l = L();
  const bool had = std::exchange(l.have_last, true);
  const int dx = had ? x - l.last_x : 0;
  const int dy = had ? y - l.last_y : 0;
  l.last_x = x;
  l.last_y = y;
  if (dx == 0 && dy == 0) return;
  RawMouseEvent ev;
  ev.DX = dx;
  ev.DY = dy;
  ev.Window = window;
  NotifyRawMouse(ev);
}

}  // namespace win
