// The posted-message queue, waiting, timers, the keyboard table, cursors and the message box.
#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QCursor>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <map>
#include <memory>

#include "platform/win/QtWindows.h"
#include "platform/win/WinInternal.h"

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

}  // namespace

// ---- Posted messages -------------------------------------------------------------------------

BOOL PostMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (hwnd && !WindowExists(hwnd)) return FALSE;
  MSG m;
  m.hwnd = hwnd;
  m.message = msg;
  m.wParam = wParam;
  m.lParam = lParam;
  PostedQueue().push_back(m);
  if (Waker* w = TheWaker()) QCoreApplication::postEvent(w, new QEvent(QEvent::User));
  return TRUE;
}

void PostQuitMessage(INT exitCode) { PostMessageA(nullptr, WM_QUIT, static_cast<WPARAM>(exitCode), 0); }

bool ProcessPendingEvents() {
  if (!QCoreApplication::instance()) return false;
  EnsureEventCounter();
  std::uint64_t before = DeliveredCounter();
  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  return DeliveredCounter() != before;
}

std::uint64_t DeliveredEventCount() { return DeliveredCounter(); }

BOOL PeekMessageA(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeMsg) {
  ProcessPendingEvents();
  auto& q = PostedQueue();
  for (auto it = q.begin(); it != q.end(); ++it) {
    if (hwnd && it->hwnd != hwnd) continue;
    if ((filterMin || filterMax) && (it->message < filterMin || it->message > filterMax)) continue;
    if (msg) *msg = *it;
    if (removeMsg & PM_REMOVE) {
      q.erase(it);
      ++DeliveredCounter();
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
  if (!PostedQueue().empty()) return TRUE;
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

// ---- Keyboard --------------------------------------------------------------------------------

namespace {

// Scan codes (set 1) of the keys by virtual key; extended keys are marked.
struct ScanEntry {
  BYTE vk;
  BYTE scan;
  bool extended;
};
constexpr ScanEntry kScan[] = {
    {VK_ESCAPE, 0x01, false}, {'1', 0x02, false}, {'2', 0x03, false}, {'3', 0x04, false},
    {'4', 0x05, false}, {'5', 0x06, false}, {'6', 0x07, false}, {'7', 0x08, false},
    {'8', 0x09, false}, {'9', 0x0A, false}, {'0', 0x0B, false}, {VK_OEM_MINUS, 0x0C, false},
    {VK_OEM_PLUS, 0x0D, false}, {VK_BACK, 0x0E, false}, {VK_TAB, 0x0F, false}, {'Q', 0x10, false},
    {'W', 0x11, false}, {'E', 0x12, false}, {'R', 0x13, false}, {'T', 0x14, false},
    {'Y', 0x15, false}, {'U', 0x16, false}, {'I', 0x17, false}, {'O', 0x18, false},
    {'P', 0x19, false}, {VK_OEM_4, 0x1A, false}, {VK_OEM_6, 0x1B, false}, {VK_RETURN, 0x1C, false},
    {VK_CONTROL, 0x1D, false}, {VK_LCONTROL, 0x1D, false}, {'A', 0x1E, false}, {'S', 0x1F, false},
    {'D', 0x20, false}, {'F', 0x21, false}, {'G', 0x22, false}, {'H', 0x23, false},
    {'J', 0x24, false}, {'K', 0x25, false}, {'L', 0x26, false}, {VK_OEM_1, 0x27, false},
    {VK_OEM_7, 0x28, false}, {VK_OEM_3, 0x29, false}, {VK_SHIFT, 0x2A, false}, {VK_LSHIFT, 0x2A, false},
    {VK_OEM_5, 0x2B, false}, {'Z', 0x2C, false}, {'X', 0x2D, false}, {'C', 0x2E, false},
    {'V', 0x2F, false}, {'B', 0x30, false}, {'N', 0x31, false}, {'M', 0x32, false},
    {VK_OEM_COMMA, 0x33, false}, {VK_OEM_PERIOD, 0x34, false}, {VK_OEM_2, 0x35, false},
    {VK_RSHIFT, 0x36, false}, {VK_MULTIPLY, 0x37, false}, {VK_MENU, 0x38, false}, {VK_LMENU, 0x38, false},
    {VK_SPACE, 0x39, false}, {VK_CAPITAL, 0x3A, false}, {VK_F1, 0x3B, false}, {VK_F2, 0x3C, false},
    {VK_F3, 0x3D, false}, {VK_F4, 0x3E, false}, {VK_F5, 0x3F, false}, {VK_F6, 0x40, false},
    {VK_F7, 0x41, false}, {VK_F8, 0x42, false}, {VK_F9, 0x43, false}, {VK_F10, 0x44, false},
    {VK_NUMLOCK, 0x45, false}, {VK_SCROLL, 0x46, false}, {VK_NUMPAD7, 0x47, false},
    {VK_NUMPAD8, 0x48, false}, {VK_NUMPAD9, 0x49, false}, {VK_SUBTRACT, 0x4A, false},
    {VK_NUMPAD4, 0x4B, false}, {VK_NUMPAD5, 0x4C, false}, {VK_NUMPAD6, 0x4D, false},
    {VK_ADD, 0x4E, false}, {VK_NUMPAD1, 0x4F, false}, {VK_NUMPAD2, 0x50, false},
    {VK_NUMPAD3, 0x51, false}, {VK_NUMPAD0, 0x52, false}, {VK_DECIMAL, 0x53, false},
    {VK_F11, 0x57, false}, {VK_F12, 0x58, false},
    {VK_HOME, 0x47, true}, {VK_UP, 0x48, true}, {VK_PRIOR, 0x49, true}, {VK_LEFT, 0x4B, true},
    {VK_RIGHT, 0x4D, true}, {VK_END, 0x4F, true}, {VK_DOWN, 0x50, true}, {VK_NEXT, 0x51, true},
    {VK_INSERT, 0x52, true}, {VK_DELETE, 0x53, true}, {VK_DIVIDE, 0x35, true},
    {VK_RCONTROL, 0x1D, true}, {VK_RMENU, 0x38, true}, {VK_LWIN, 0x5B, true}, {VK_RWIN, 0x5C, true},
    {VK_APPS, 0x5D, true}, {VK_PAUSE, 0x45, false}, {VK_SNAPSHOT, 0x37, true},
};

}  // namespace

bool IsExtendedKey(BYTE vk) {
  for (const auto& e : kScan)
    if (e.vk == vk) return e.extended;
  return false;
}

UINT MapVirtualKeyA(UINT code, UINT mapType) {
  if (mapType == MAPVK_VK_TO_VSC) {
    for (const auto& e : kScan)
      if (e.vk == code) return e.scan;
    return 0;
  }
  if (mapType == MAPVK_VSC_TO_VK) {
    for (const auto& e : kScan)
      if (e.scan == code && !e.extended && e.vk != VK_CONTROL && e.vk != VK_SHIFT && e.vk != VK_MENU &&
          e.vk != VK_PAUSE)
        return e.vk;
    return 0;
  }
  return 0;
}

BYTE VkFromX11Keycode(std::uint32_t keycode) {
  if (keycode < 9 || keycode > 8 + 0x58) return 0;
  return static_cast<BYTE>(MapVirtualKeyA(keycode - 8, MAPVK_VSC_TO_VK));
}

void RecordKey(BYTE vk, bool down) {
  BYTE* k = KeyTable();
  auto set = [&](BYTE v) {
    if (down) {
      if (!(k[v] & 0x80)) k[v] ^= 0x01;  // toggled on every fresh press
      k[v] |= 0x80;
    } else {
      k[v] &= static_cast<BYTE>(~0x80);
    }
  };
  set(vk);
  if (vk == VK_LSHIFT || vk == VK_RSHIFT) {
    if (down || !((k[VK_LSHIFT] | k[VK_RSHIFT]) & 0x80)) set(VK_SHIFT);
  } else if (vk == VK_LCONTROL || vk == VK_RCONTROL) {
    if (down || !((k[VK_LCONTROL] | k[VK_RCONTROL]) & 0x80)) set(VK_CONTROL);
  } else if (vk == VK_LMENU || vk == VK_RMENU) {
    if (down || !((k[VK_LMENU] | k[VK_RMENU]) & 0x80)) set(VK_MENU);
  }
}

BOOL GetKeyboardState(BYTE* keyState256) {
  if (!keyState256) return FALSE;
  std::copy(KeyTable(), KeyTable() + 256, keyState256);
  return TRUE;
}

BOOL SetKeyboardState(const BYTE* keyState256) {
  if (!keyState256) return FALSE;
  std::copy(keyState256, keyState256 + 256, KeyTable());
  return TRUE;
}

SHORT GetKeyState(INT vk) {
  if (vk < 0 || vk > 255) return 0;
  BYTE b = KeyTable()[vk];
  return static_cast<SHORT>(((b & 0x80) ? 0x8000 : 0) | (b & 0x01));
}

SHORT GetAsyncKeyState(INT vk) {
  if (vk < 0 || vk > 255) return 0;
  return (KeyTable()[vk] & 0x80) ? static_cast<SHORT>(0x8000) : 0;
}

// ---- Cursors ---------------------------------------------------------------------------------

namespace {

struct CursorObject {
  UINT_PTR id;
  Qt::CursorShape shape;
};

CursorObject* CursorFor(UINT_PTR id) {
  static CursorObject table[] = {
      {IDC_ARROW, Qt::ArrowCursor},       {IDC_IBEAM, Qt::IBeamCursor},     {IDC_WAIT, Qt::WaitCursor},
      {IDC_CROSS, Qt::CrossCursor},       {IDC_UPARROW, Qt::UpArrowCursor}, {IDC_SIZEALL, Qt::SizeAllCursor},
      {IDC_SIZENWSE, Qt::SizeFDiagCursor}, {IDC_SIZENESW, Qt::SizeBDiagCursor}, {IDC_SIZEWE, Qt::SizeHorCursor},
      {IDC_SIZENS, Qt::SizeVerCursor},    {IDC_NO, Qt::ForbiddenCursor},    {IDC_HAND, Qt::PointingHandCursor},
      {IDC_APPSTARTING, Qt::BusyCursor},  {IDC_HELP, Qt::WhatsThisCursor},
  };
  for (auto& c : table)
    if (c.id == id) return &c;
  return nullptr;
}

HCURSOR g_cursor = nullptr;
int g_showCount = 0;

}  // namespace

HCURSOR LoadCursorA(HINSTANCE, UINT_PTR name) { return reinterpret_cast<HCURSOR>(CursorFor(name)); }

Qt::CursorShape CursorShapeOf(HCURSOR c) {
  if (!c) return Qt::BlankCursor;
  return reinterpret_cast<CursorObject*>(c)->shape;
}

void ApplyCursorToWidget(QWidget* widget, HCURSOR cursor) {
  if (widget) widget->setCursor(QCursor(CursorShapeOf(cursor)));
}

HCURSOR SetCursor(HCURSOR cursor) {
  HCURSOR old = g_cursor;
  g_cursor = cursor;
  return old;
}

HCURSOR GetCursor() { return g_cursor; }

INT ShowCursor(BOOL show) {
  g_showCount += show ? 1 : -1;
  return g_showCount;
}

// ---- Message box -----------------------------------------------------------------------------

void SetMessageBoxHook(MessageBoxHook hook) { TheMessageBoxHook() = std::move(hook); }

INT MessageBoxUtf8(HWND owner, const std::string& text, const std::string& caption, UINT type) {
  if (auto& hook = TheMessageBoxHook()) return hook(text, caption, type);
  if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return IDOK;
  QMessageBox box(WindowWidget(owner));
  box.setWindowTitle(QString::fromStdString(caption));
  box.setText(QString::fromStdString(text));
  switch (type & 0xF0) {
    case MB_ICONERROR: box.setIcon(QMessageBox::Critical); break;
    case MB_ICONQUESTION: box.setIcon(QMessageBox::Question); break;
    case MB_ICONWARNING: box.setIcon(QMessageBox::Warning); break;
    case MB_ICONINFORMATION: box.setIcon(QMessageBox::Information); break;
    default: break;
  }
  switch (type & 0x0F) {
    case MB_OKCANCEL: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    case MB_YESNO: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    case MB_YESNOCANCEL: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel); break;
    default: box.setStandardButtons(QMessageBox::Ok); break;
  }
  int r = box.exec();
  switch (r) {
    case QMessageBox::Cancel: return IDCANCEL;
    case QMessageBox::Yes: return IDYES;
    case QMessageBox::No: return IDNO;
    default: return IDOK;
  }
}

namespace {

// Code page 1251 to UTF-8 (the ANSI interface's texts).
std::string AnsiToUtf8(const char* text) {
  static constexpr char16_t kHigh[64] = {
      0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039,
      0x040A, 0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
      0xFFFD, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408,
      0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
      0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB,
      0x0458, 0x0405, 0x0455, 0x0457};
  std::string out;
  if (!text) return out;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
    unsigned c = *p;
    char32_t u = c < 0x80 ? c : c >= 0xC0 ? 0x0410 + (c - 0xC0) : kHigh[c - 0x80];
    if (u < 0x80) {
      out += static_cast<char>(u);
    } else if (u < 0x800) {
      out += static_cast<char>(0xC0 | (u >> 6));
      out += static_cast<char>(0x80 | (u & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (u >> 12));
      out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (u & 0x3F));
    }
  }
  return out;
}

}  // namespace

INT MessageBoxA(HWND owner, const char* text, const char* caption, UINT type) {
  return MessageBoxUtf8(owner, AnsiToUtf8(text), AnsiToUtf8(caption), type);
}

}  // namespace win
