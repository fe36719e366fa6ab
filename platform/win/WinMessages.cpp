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
  std::deque<MSG> posted;
  std::uint64_t delivered = 0;
};

MessageQueue& Queue() {
  static MessageQueue* q = new MessageQueue;  // lives as long as the program, as the widgets do
  return *q;
}

}  // namespace

void NoteEventDelivered() { ++Queue().delivered; }

void DropPostedMessages(HWND hwnd) {
  std::erase_if(Queue().posted, [hwnd](const MSG& m) { return m.hwnd == hwnd; });
}

// ---- Posted messages -------------------------------------------------------------------------

BOOL PostMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (hwnd && !WindowExists(hwnd)) return FALSE;
  MSG m;
  m.hwnd = hwnd;
  m.message = msg;
  m.wParam = wParam;
  m.lParam = lParam;
  Queue().posted.push_back(m);
  if (Waker* w = TheWaker()) QCoreApplication::postEvent(w, new QEvent(QEvent::User));
  return TRUE;
}

void PostQuitMessage(INT exitCode) { PostMessageA(nullptr, WM_QUIT, static_cast<WPARAM>(exitCode), 0); }

bool ProcessPendingEvents() {
  if (!QCoreApplication::instance()) return false;
  EnsureEventCounter();
  std::uint64_t before = Queue().delivered;
  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  return Queue().delivered != before;
}

std::uint64_t DeliveredEventCount() { return Queue().delivered; }

BOOL PeekMessageA(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeMsg) {
  ProcessPendingEvents();
  auto& q = Queue().posted;
  for (auto it = q.begin(); it != q.end(); ++it) {
    if (hwnd && it->hwnd != hwnd) continue;
    if ((filterMin || filterMax) && (it->message < filterMin || it->message > filterMax)) continue;
    if (msg) *msg = *it;
    if (removeMsg & PM_REMOVE) {
      q.erase(it);
      ++Queue().delivered;
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
  if (!Queue().posted.empty()) return TRUE;
  if (!QCoreApplication::instance()) return FALSE;
  EnsureEventCounter();
  QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  return TRUE;
}

// ---- Timers ----------------------------------------------------------------------------------

namespace {

struct Timer {
  HWND hwnd;
  UINT_PTR id;
  UINT elapse;
  TIMERPROC proc;
  std::unique_ptr<QTimer> qt;
  std::uint64_t due = 0;
  std::uint64_t order = 0;
};

struct Timers {
  std::map<std::pair<HWND, UINT_PTR>, std::unique_ptr<Timer>> all;
  bool virtualMode = false;
  std::uint64_t now = 0;
  std::uint64_t order = 0;
  UINT_PTR nextId = 0x7FFF;
};

Timers& T() {
  static Timers* t = new Timers;
  return *t;
}

void Fire(HWND hwnd, UINT_PTR id) {
  auto it = T().all.find({hwnd, id});
  if (it == T().all.end()) return;
  TIMERPROC proc = it->second->proc;
  GuardedCall([&] {
    if (proc) proc(hwnd, WM_TIMER, id, 0);
    else SendMessageA(hwnd, WM_TIMER, id, 0);
  });
}

void StartReal(Timer& t) {
  if (!QCoreApplication::instance()) return;
  t.qt = std::make_unique<QTimer>();
  t.qt->setInterval(static_cast<int>(std::max<UINT>(t.elapse, 1)));
  HWND h = t.hwnd;
  UINT_PTR id = t.id;
  QObject::connect(t.qt.get(), &QTimer::timeout, [h, id] { Fire(h, id); });
  t.qt->start();
}

}  // namespace

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc) {
  if (hwnd && !WindowExists(hwnd)) return 0;
  if (!hwnd) id = ++T().nextId;
  auto t = std::make_unique<Timer>();
  t->hwnd = hwnd;
  t->id = id;
  t->elapse = std::max<UINT>(elapse, 10);  // the window system's least timer interval
  t->proc = proc;
  t->order = ++T().order;
  t->due = T().now + t->elapse;
  if (!T().virtualMode) StartReal(*t);
  T().all[{hwnd, id}] = std::move(t);
  return hwnd ? id : T().nextId;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id) {
  return T().all.erase({hwnd, id}) ? TRUE : FALSE;
}

void KillTimersOf(HWND h) {
  std::erase_if(T().all, [h](const auto& kv) { return kv.first.first == h; });
}

void SetVirtualTimers(bool on) {
  if (T().virtualMode == on) return;
  T().virtualMode = on;
  for (auto& [k, t] : T().all) {
    if (on) {
      t->qt.reset();
      t->due = T().now + t->elapse;
    } else {
      StartReal(*t);
    }
  }
}

bool VirtualTimers() { return T().virtualMode; }

int AdvanceTimers(DWORD milliseconds) {
  std::uint64_t target = T().now + milliseconds;
  int fired = 0;
  for (;;) {
    Timer* next = nullptr;
    for (auto& [k, t] : T().all)
      if (t->due <= target && (!next || t->due < next->due || (t->due == next->due && t->order < next->order)))
        next = t.get();
    if (!next) break;
    T().now = next->due;
    next->due += next->elapse;
    ++fired;
    Fire(next->hwnd, next->id);
  }
  T().now = target;
  return fired;
}

bool TimerExists(HWND hwnd, UINT_PTR id) { return T().all.count({hwnd, id}) != 0; }

int LiveTimerCount() { return static_cast<int>(T().all.size()); }

}  // namespace win
