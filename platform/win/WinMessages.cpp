// The posted-message queue, waiting and timers.
#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <deque>
#include <map>
#include <memory>

#include "platform/win/QtWindows.h"
#include "platform/win/WinInternal.h"
#include "platform/win/WinUserTesting.h"

namespace win {

namespace {

// A Qt object whose only job is to wake a waiting loop when a message is posted.
class Waker : public QObject {
 public:
  bool event(QEvent* e) override { return e->type() == QEvent::User ? true : QObject::event(e); }
};

Waker* TheWaker() {
  static QPointer<Waker> w;
  if (!w && QCoreApplication::instance()) w = new Waker;
  return w;
}

// The posted messages, and how many events and messages were delivered so far.
struct MessageQueue {
  std::deque<MSG> Posted;
  std::uint64_t Delivered = 0;
};

MessageQueue& Queue() {
  static MessageQueue* q = new MessageQueue;  // lives as long as the program, as the widgets do
  return *q;
}

}  // namespace

void NoteEventDelivered() { ++Queue().Delivered; }

void DropPostedMessages(HWND hwnd) {
  std::erase_if(Queue().Posted, [hwnd](const MSG& m) { return m.hwnd == hwnd; });
}

// ---- Posted messages -------------------------------------------------------------------------

BOOL PostMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (hwnd && !WindowExists(hwnd)) return FALSE;
  MSG m;
  m.hwnd = hwnd;
  m.message = msg;
  m.wParam = wParam;
  m.lParam = lParam;
  Queue().Posted.push_back(m);
  if (Waker* w = TheWaker()) QCoreApplication::postEvent(w, new QEvent(QEvent::User));
  return TRUE;
}

void PostQuitMessage(INT exitCode) { PostMessageA(nullptr, WM_QUIT, static_cast<WPARAM>(exitCode), 0); }

bool ProcessPendingEvents() {
  if (!QCoreApplication::instance()) return false;
  EnsureEventCounter();
  std::uint64_t before = Queue().Delivered;
  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  return Queue().Delivered != before;
}

std::uint64_t DeliveredEventCount() { return Queue().Delivered; }

BOOL PeekMessageA(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeMsg) {
  ProcessPendingEvents();
  auto& q = Queue().Posted;
  for (auto it = q.begin(); it != q.end(); ++it) {
    if (hwnd && it->hwnd != hwnd) continue;
    if ((filterMin || filterMax) && (it->message < filterMin || it->message > filterMax)) continue;
    if (msg) *msg = *it;
    if (removeMsg & PM_REMOVE) {
      q.erase(it);
      ++Queue().Delivered;
    }
    return TRUE;
  }
  return FALSE;
}

LRESULT DispatchMessageA(const MSG* msg) {
  if (!msg || !msg->hwnd) return 0;
  if (msg->message == WM_TIMER && msg->lParam) {
    auto proc = reinterpret_cast<TIMERPROC>(msg->lParam);
    proc(msg->hwnd, WM_TIMER, msg->wParam, 0);
    return 0;
  }
  return SendMessageA(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

BOOL TranslateMessage(const MSG*) { return FALSE; }

BOOL WaitMessage() {
  if (!Queue().Posted.empty()) return TRUE;
  if (!QCoreApplication::instance()) return FALSE;
  EnsureEventCounter();
  QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  return TRUE;
}

// ---- Timers ----------------------------------------------------------------------------------

namespace {

struct Timer {
  HWND Hwnd;
  UINT_PTR Id;
  UINT Elapse;
  TIMERPROC Proc;
  std::unique_ptr<QTimer> QtTimer;
  std::uint64_t Due = 0;
  std::uint64_t Order = 0;
};

struct Timers {
  std::map<std::pair<HWND, UINT_PTR>, std::unique_ptr<Timer>> All;
  bool VirtualMode = false;
  std::uint64_t Now = 0;
  std::uint64_t Order = 0;
  UINT_PTR NextId = 0x7FFF;
};

Timers& T() {
  static Timers* t = new Timers;
  return *t;
}

void Fire(HWND hwnd, UINT_PTR id) {
  auto it = T().All.find({hwnd, id});
  if (it == T().All.end()) return;
  TIMERPROC proc = it->second->Proc;
  GuardedCall([&] {
    if (proc) proc(hwnd, WM_TIMER, id, 0);
    else SendMessageA(hwnd, WM_TIMER, id, 0);
  });
}

void StartReal(Timer& t) {
  if (!QCoreApplication::instance()) return;
  t.QtTimer = std::make_unique<QTimer>();
  t.QtTimer->setInterval(static_cast<int>(std::max<UINT>(t.Elapse, 1)));
  HWND h = t.Hwnd;
  UINT_PTR id = t.Id;
  QObject::connect(t.QtTimer.get(), &QTimer::timeout, [h, id] { Fire(h, id); });
  t.QtTimer->start();
}

}  // namespace

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc) {
  if (hwnd && !WindowExists(hwnd)) return 0;
  if (!hwnd) id = ++T().NextId;
  auto t = std::make_unique<Timer>();
  t->Hwnd = hwnd;
  t->Id = id;
  t->Elapse = std::max<UINT>(elapse, 10);  // the window system's least timer interval
  t->Proc = proc;
  t->Order = ++T().Order;
  t->Due = T().Now + t->Elapse;
  if (!T().VirtualMode) StartReal(*t);
  T().All[{hwnd, id}] = std::move(t);
  return hwnd ? id : T().NextId;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id) {
  return T().All.erase({hwnd, id}) ? TRUE : FALSE;
}

void KillTimersOf(HWND h) {
  std::erase_if(T().All, [h](const auto& kv) { return kv.first.first == h; });
}

void SetVirtualTimers(bool on) {
  if (T().VirtualMode == on) return;
  T().VirtualMode = on;
  for (auto& [k, t] : T().All) {
    if (on) {
      t->QtTimer.reset();
      t->Due = T().Now + t->Elapse;
    } else {
      StartReal(*t);
    }
  }
}

bool VirtualTimers() { return T().VirtualMode; }

int AdvanceTimers(DWORD milliseconds) {
  std::uint64_t target = T().Now + milliseconds;
  int fired = 0;
  for (;;) {
    Timer* next = nullptr;
    for (auto& [k, t] : T().All)
      if (t->Due <= target && (!next || t->Due < next->Due || (t->Due == next->Due && t->Order < next->Order)))
        next = t.get();
    if (!next) break;
    T().Now = next->Due;
    next->Due += next->Elapse;
    ++fired;
    Fire(next->Hwnd, next->Id);
  }
  T().Now = target;
  return fired;
}

bool TimerExists(HWND hwnd, UINT_PTR id) { return T().All.count({hwnd, id}) != 0; }

int LiveTimerCount() { return static_cast<int>(T().All.size()); }

}  // namespace win
