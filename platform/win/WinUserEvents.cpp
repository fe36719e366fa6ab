// The translation of the Qt events that reach a window's widgets into the window's messages,
// and the count of delivered events that tells the message loop an empty queue from a busy one.
#include <QApplication>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QWidget>

#include <vector>

#include "platform/win/QtWindows.h"
#include "platform/win/QtWindowsTesting.h"
#include "platform/win/WinInternal.h"
#include "platform/win/WinKeyHook.h"
#include "platform/win/WinMouseHook.h"
#include "platform/win/WinUserTesting.h"

namespace win {

namespace {

class Translator : public QObject {
 public:
  bool eventFilter(QObject* obj, QEvent* ev) override;
};

// Counts the events the window system delivers.
class Counter : public QObject {
 public:
  bool eventFilter(QObject*, QEvent* ev) override;
};

// What the window procedures did with the messages of one Qt event: whether the default
// handling was reached (then Qt's own handling of the event goes on).
struct DispatchRecord {
  HWND hwnd;
  UINT msg;
  bool reachedDefault;
};

struct EventState {
  Translator translator;
  bool counterInstalled = false;
  std::vector<DispatchRecord> records;
  bool lastReachedDefault = false;
  // A key event a window already got: Qt offers a key its receiver ignores to the parents too,
  // the window system gives it to the focus window only. Any other event clears it. The address
  // alone does not name an event: Qt makes consecutive key events in the same stack slot, so a
  // release can sit where its press was; the event's own fields tell the two apart.
  struct KeyInFlight {
    const QEvent* event = nullptr;
    QEvent::Type type = QEvent::None;
    quint64 timestamp = 0;
    int key = 0;
    quint32 native = 0;
    bool repeat = false;
    bool Is(const QEvent* ev) const {
      if (!event || ev != event || ev->type() != type) return false;
      const auto* ke = static_cast<const QKeyEvent*>(ev);
      return ke->timestamp() == timestamp && ke->key() == key && ke->nativeScanCode() == native &&
             ke->isAutoRepeat() == repeat;
    }
    void Set(const QKeyEvent* ke) {
      *this = {ke, ke->type(), ke->timestamp(), ke->key(), ke->nativeScanCode(), ke->isAutoRepeat()};
    }
  } keyInFlight;
};

EventState& Events() {
  static EventState* s = new EventState;  // lives as long as the program, as the widgets do
  return *s;
}

// Sends a translated Qt event; true when the default handling was reached (Qt may go on).
bool Dispatch(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  auto& records = Events().records;
  records.push_back({h, msg, false});
  GuardedCall([&] { SendMessageA(h, msg, wp, lp); });
  bool reached = records.back().reachedDefault;
  records.pop_back();
  Events().lastReachedDefault = reached;
  return reached;
}

LPARAM PointLParam(int x, int y) { return MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)); }

WPARAM MouseKeys(Qt::MouseButtons b, Qt::KeyboardModifiers m) {
  WPARAM f = 0;
  if (b & Qt::LeftButton) f |= MK_LBUTTON;
  if (b & Qt::RightButton) f |= MK_RBUTTON;
  if (b & Qt::MiddleButton) f |= MK_MBUTTON;
  if (m & Qt::ShiftModifier) f |= MK_SHIFT;
  if (m & Qt::ControlModifier) f |= MK_CONTROL;
  return f;
}

bool Counter::eventFilter(QObject*, QEvent* ev) {
  if (!Events().keyInFlight.Is(ev)) Events().keyInFlight = {};
  switch (ev->type()) {
    case QEvent::DeferredDelete:
    case QEvent::ChildAdded:
    case QEvent::ChildRemoved:
    case QEvent::ChildPolished:
    case QEvent::Polish:
    case QEvent::PolishRequest:
    case QEvent::MetaCall:
      break;
    default:
      NoteEventDelivered();
  }
  return false;
}

bool Translator::eventFilter(QObject* obj, QEvent* ev) {
  HWND h = EventWindow(obj);
  if (!h) return false;
  switch (ev->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
      QWidget* fw = QApplication::focusWidget();
      if (fw && WindowFromWidget(fw) != h) return false;  // passed on by a child: not ours
      auto* ke = static_cast<QKeyEvent*>(ev);
      if (Events().keyInFlight.Is(ev)) return false;
      Events().keyInFlight.Set(ke);
      MSG m{};
      const bool translated = TranslateKeyEvent(*ke, m);
      NotifyRawKey(ke->nativeScanCode(), translated ? static_cast<BYTE>(m.wParam) : 0,
                   ev->type() == QEvent::KeyPress, ke->isAutoRepeat(), h);
      if (!translated) return false;
      return !Dispatch(h, m.message, m.wParam, m.lParam);
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove: {
      auto* me = static_cast<QMouseEvent*>(ev);
      QPoint p = ClientWidget(h)->mapFromGlobal(me->globalPosition().toPoint());
      MSG m{};
      if (!TranslateMouseEvent(*me, p.x(), p.y(), m)) return false;
      {
        const QPoint g = me->globalPosition().toPoint();
        NotifyPointerAt(g.x(), g.y(), h);
      }
      if (ev->type() == QEvent::MouseButtonPress || ev->type() == QEvent::MouseButtonRelease) {
        Qt::MouseButton b = me->button();
        RawMouseEvent raw;
        raw.Button = b == Qt::LeftButton ? 0 : b == Qt::RightButton ? 1 : 2;
        raw.Down = ev->type() == QEvent::MouseButtonPress;
        raw.Window = h;
        NotifyRawMouse(raw);
        RecordKey(b == Qt::LeftButton ? VK_LBUTTON : b == Qt::RightButton ? VK_RBUTTON : VK_MBUTTON,
                  ev->type() == QEvent::MouseButtonPress);
      }
      return !Dispatch(h, m.message, m.wParam, m.lParam);
    }
    case QEvent::Wheel: {
      auto* we = static_cast<QWheelEvent*>(ev);
      QPoint gp = we->globalPosition().toPoint();
      if (const int wheel = we->angleDelta().y()) {
        RawMouseEvent raw;
        raw.Wheel = wheel;
        raw.Window = h;
        NotifyRawMouse(raw);
      }
      WPARAM wp = MouseKeys(we->buttons(), we->modifiers()) |
                  (static_cast<WPARAM>(static_cast<WORD>(static_cast<SHORT>(we->angleDelta().y()))) << 16);
      return !Dispatch(h, WM_MOUSEWHEEL, wp, PointLParam(gp.x(), gp.y()));
    }
    case QEvent::ContextMenu: {
      auto* ce = static_cast<QContextMenuEvent*>(ev);
      return !Dispatch(h, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(h), PointLParam(ce->globalPos().x(), ce->globalPos().y()));
    }
    case QEvent::Paint:
      if (!IsWindowWidget(h, obj, true)) return false;
      return !Dispatch(h, WM_PAINT, 0, 0);
    case QEvent::Close:
      if (!IsWindowWidget(h, obj)) return false;
      Dispatch(h, WM_CLOSE, 0, 0);
      ev->ignore();  // the procedures decide; DefWindowProc destroys the window
      return true;
    case QEvent::Show:
      if (IsWindowWidget(h, obj)) NoteShown(h, true);
      return false;
    case QEvent::Hide:
      if (IsWindowWidget(h, obj)) NoteShown(h, false);
      return false;
    case QEvent::Move:
    case QEvent::Resize:
      if (IsWindowWidget(h, obj)) NoteGeometryFromWidget(h);
      return false;
    case QEvent::FocusIn: {
      HWND old = nullptr;
      if (TakeFocus(h, old)) {
        if (WindowExists(old)) Dispatch(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(h), 0);
        if (WindowExists(h)) Dispatch(h, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
      }
      return false;
    }
    case QEvent::WindowActivate:
      if (IsWindowWidget(h, obj) && IsTopLevelWindow(h) && (GetActiveWindow() != h || !ApplicationActive()) &&
          QGuiApplication::platformName() != QLatin1String("offscreen")) {
        if (!ApplicationActive()) SimulateAppSwitch(h);
        else SetActiveWindow(h);
      }
      return false;
    case QEvent::WindowStateChange: {
      if (!IsWindowWidget(h, obj)) return false;
      bool mini = (WindowWidget(h)->windowState() & Qt::WindowMinimized) != 0;
      if (NoteUserMinimized(h, mini)) Dispatch(h, WM_SYSCOMMAND, SC_MINIMIZE, 0);
      return false;
    }
    default:
      return false;
  }
}

}  // namespace

bool TranslateMouseEvent(const QMouseEvent& event, int x, int y, MSG& message) {
  UINT msg = WM_MOUSEMOVE;
  if (event.type() != QEvent::MouseMove) {
    const bool dbl = event.type() == QEvent::MouseButtonDblClick;
    const bool press = event.type() == QEvent::MouseButtonPress || dbl;
    switch (event.button()) {
      case Qt::LeftButton: msg = dbl ? WM_LBUTTONDBLCLK : press ? WM_LBUTTONDOWN : WM_LBUTTONUP; break;
      case Qt::RightButton: msg = dbl ? WM_RBUTTONDBLCLK : press ? WM_RBUTTONDOWN : WM_RBUTTONUP; break;
      case Qt::MiddleButton: msg = dbl ? WM_MBUTTONDBLCLK : press ? WM_MBUTTONDOWN : WM_MBUTTONUP; break;
      default: return false;
    }
  }
  message.message = msg;
  message.wParam = MouseKeys(event.buttons(), event.modifiers());
  message.lParam = PointLParam(x, y);
  return true;
}

void EnsureEventCounter() {
  EventState& s = Events();
  if (s.counterInstalled || !QCoreApplication::instance()) return;
  s.counterInstalled = true;
  // The application owns the filter, so that it goes with the application.
  auto* counter = new Counter;
  counter->setParent(QCoreApplication::instance());
  QCoreApplication::instance()->installEventFilter(counter);
  // Without a real display (tests, headless runs) activation is the platform's own business;
  // on a desktop the user switching to another program is followed.
  auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
  if (app && QGuiApplication::platformName() != QLatin1String("offscreen")) {
    QObject::connect(app, &QGuiApplication::applicationStateChanged, [](Qt::ApplicationState st) {
      if (st == Qt::ApplicationActive) {
        QWidget* aw = QApplication::activeWindow();
        HWND h = aw ? WindowFromWidget(aw) : nullptr;
        if (h && !ApplicationActive()) SimulateAppSwitch(h);
      } else if (st == Qt::ApplicationInactive && ApplicationActive()) {
        SimulateAppSwitch(nullptr);
      }
    });
  }
}

void StartTranslating(QWidget* source) { source->installEventFilter(&Events().translator); }

void StopTranslating(QWidget* source) { source->removeEventFilter(&Events().translator); }

void NoteDefaultReached(HWND h, UINT msg) {
  auto& rec = Events().records;
  for (auto it = rec.rbegin(); it != rec.rend(); ++it)
    if (it->hwnd == h && it->msg == msg) {
      it->reachedDefault = true;
      break;
    }
}

bool DeliverQtEvent(HWND h, QEvent* event) {
  QWidget* target = WindowWidget(h);
  if (!target || !event) return false;
  if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease ||
      event->type() == QEvent::MouseMove || event->type() == QEvent::MouseButtonDblClick ||
      event->type() == QEvent::ContextMenu)
    target = ClientWidget(h);
  Events().lastReachedDefault = false;
  Events().keyInFlight = {};  // a delivery of its own, wherever the event lives
  QCoreApplication::sendEvent(target, event);
  return Events().lastReachedDefault;
}

}  // namespace win
