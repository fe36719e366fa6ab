// Qt events into the window system's messages: the one mouse translation that windows and
// controls without a window share, and key events feeding the key table.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>

#include <memory>
#include <new>

#include "platform/win/QtWindows.h"
#include "platform/win/QtWindowsTesting.h"
#include "platform/win/WinUser.h"
#include "platform/win/WinUserTesting.h"
#include "tests/support/QtTestApp.h"

namespace {

using namespace win;

QMouseEvent Mouse(QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons buttons,
                  Qt::KeyboardModifiers mods = Qt::NoModifier) {
  return QMouseEvent(type, QPointF(3, 4), QPointF(3, 4), QPointF(103, 104), button, buttons, mods);
}

TEST(MouseTranslation, ButtonsBecomeTheirDownUpAndDoubleClickMessages) {
  struct Case {
    QEvent::Type type;
    Qt::MouseButton button;
    UINT expected;
  };
  const Case cases[] = {
      {QEvent::MouseButtonPress, Qt::LeftButton, WM_LBUTTONDOWN},
      {QEvent::MouseButtonRelease, Qt::LeftButton, WM_LBUTTONUP},
      {QEvent::MouseButtonDblClick, Qt::LeftButton, WM_LBUTTONDBLCLK},
      {QEvent::MouseButtonPress, Qt::RightButton, WM_RBUTTONDOWN},
      {QEvent::MouseButtonRelease, Qt::RightButton, WM_RBUTTONUP},
      {QEvent::MouseButtonDblClick, Qt::RightButton, WM_RBUTTONDBLCLK},
      {QEvent::MouseButtonPress, Qt::MiddleButton, WM_MBUTTONDOWN},
      {QEvent::MouseButtonRelease, Qt::MiddleButton, WM_MBUTTONUP},
      {QEvent::MouseButtonDblClick, Qt::MiddleButton, WM_MBUTTONDBLCLK},
      {QEvent::MouseMove, Qt::NoButton, WM_MOUSEMOVE},
  };
  for (const Case& c : cases) {
    QMouseEvent e = Mouse(c.type, c.button, c.button);
    MSG m{};
    ASSERT_TRUE(TranslateMouseEvent(e, 7, 9, m)) << c.expected;
    EXPECT_EQ(m.message, c.expected);
    EXPECT_EQ(m.lParam, MAKELPARAM(7, 9));
  }
  // A button the window system has no message for is left to Qt.
  QMouseEvent back = Mouse(QEvent::MouseButtonPress, Qt::BackButton, Qt::BackButton);
  MSG m{};
  EXPECT_FALSE(TranslateMouseEvent(back, 0, 0, m));
}

TEST(MouseTranslation, KeyFlagsAndPointAreTheWindowSystems) {
  // The buttons held and Shift/Ctrl become MK_ flags; Alt has none.
  QMouseEvent e = Mouse(QEvent::MouseMove, Qt::NoButton, Qt::LeftButton | Qt::MiddleButton,
                        Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
  MSG m{};
  ASSERT_TRUE(TranslateMouseEvent(e, 1, 2, m));
  EXPECT_EQ(m.wParam, MK_LBUTTON | MK_MBUTTON | MK_SHIFT | MK_CONTROL);
  // The point is the one given (client coordinates), packed as two 16-bit words: a point left of
  // or above the client area keeps its sign in each word.
  ASSERT_TRUE(TranslateMouseEvent(e, -2, -3, m));
  EXPECT_EQ(GET_X_LPARAM(m.lParam), -2);
  EXPECT_EQ(GET_Y_LPARAM(m.lParam), -3);
}

// Records the messages a window gets.
std::vector<MSG>* g_seen = nullptr;
LRESULT Recording(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (g_seen && msg != WM_PAINT) g_seen->push_back(MSG{h, msg, wp, lp, 0, {}});
  return DefWindowProcA(h, msg, wp, lp);
}

TEST(WindowEvents, MouseAndKeysReachTheWindowProcedureAndTheKeyTable) {
  testsupport::EnsureApplication();
  auto widget = std::make_unique<QWidget>();
  widget->resize(80, 60);
  HWND h = AttachWindow(widget.get(), &Recording, WS_OVERLAPPEDWINDOW, 0, nullptr);
  ASSERT_NE(h, nullptr);
  std::vector<MSG> seen;
  g_seen = &seen;
  const QPoint global = widget->mapToGlobal(QPoint(10, 20));
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(10, 20), QPointF(10, 20), QPointF(global), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  DeliverQtEvent(h, &press);
  EXPECT_LT(GetKeyState(VK_LBUTTON), 0);
  QMouseEvent release(QEvent::MouseButtonRelease, QPointF(10, 20), QPointF(10, 20), QPointF(global),
                      Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
  DeliverQtEvent(h, &release);
  EXPECT_GE(GetKeyState(VK_LBUTTON), 0);
  QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier);
  DeliverQtEvent(h, &key);
  EXPECT_LT(GetKeyState('A'), 0);
  QKeyEvent keyUp(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier);
  DeliverQtEvent(h, &keyUp);
  EXPECT_GE(GetKeyState('A'), 0);
  g_seen = nullptr;

  std::vector<UINT> mouse;
  for (const MSG& m : seen)
    if (m.message == WM_LBUTTONDOWN || m.message == WM_LBUTTONUP) {
      mouse.push_back(m.message);
      EXPECT_EQ(m.lParam, MAKELPARAM(10, 20));
    }
  EXPECT_EQ(mouse, (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP}));
  std::vector<UINT> keys;
  for (const MSG& m : seen)
    if (m.message == WM_KEYDOWN || m.message == WM_KEYUP) {
      keys.push_back(m.message);
      EXPECT_EQ(m.wParam, static_cast<WPARAM>('A'));
      // Scan code of A in bits 16-23; the key-up has the previous-state and transition bits.
      EXPECT_EQ((static_cast<DWORD>(m.lParam) >> 16) & 0xFF, 0x1Eu);
    }
  ASSERT_EQ(keys, (std::vector<UINT>{WM_KEYDOWN, WM_KEYUP}));
  DestroyWindow(h);
}

TEST(WindowEvents, APressAndItsReleaseInOneStackSlotAreTwoKeys) {
  // Qt builds consecutive key events in the same place on its stack; sent the way Qt sends them
  // (not through the test's own delivery), the release must still reach the window once.
  testsupport::EnsureApplication();
  auto widget = std::make_unique<QWidget>();
  HWND h = AttachWindow(widget.get(), &Recording, WS_OVERLAPPEDWINDOW, 0, nullptr);
  ASSERT_NE(h, nullptr);
  std::vector<MSG> seen;
  g_seen = &seen;
  alignas(QKeyEvent) unsigned char slot[sizeof(QKeyEvent)];
  for (QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease, QEvent::KeyPress, QEvent::KeyRelease}) {
    auto* ev = new (slot) QKeyEvent(type, Qt::Key_B, Qt::NoModifier);
    QCoreApplication::sendEvent(WindowWidget(h), ev);
    EXPECT_EQ(GetKeyState('B') < 0, type == QEvent::KeyPress);
    ev->~QKeyEvent();
  }
  g_seen = nullptr;
  std::vector<UINT> keys;
  for (const MSG& m : seen)
    if (m.message == WM_KEYDOWN || m.message == WM_KEYUP) keys.push_back(m.message);
  EXPECT_EQ(keys, (std::vector<UINT>{WM_KEYDOWN, WM_KEYUP, WM_KEYDOWN, WM_KEYUP}));
  DestroyWindow(h);
}

}  // namespace

namespace {

// The counters leak checks read: a window counts from creation until it is destroyed, its
// children with it, and a timer until it is killed or its window goes.
TEST(WindowCounts, WindowsAndTimersCountUntilTheyGo) {
  testsupport::EnsureApplication();
  const int windows = LiveWindowCount(), timers = LiveTimerCount();
  auto top = std::make_unique<QWidget>();
  HWND h = AttachWindow(top.get(), &Recording, WS_OVERLAPPEDWINDOW, 0, nullptr);
  ASSERT_NE(h, nullptr);
  auto* child = new QWidget;  // owned by its parent widget once attached
  HWND c = AttachWindow(child, &Recording, WS_CHILD, 0, h);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(LiveWindowCount(), windows + 2);
  ASSERT_NE(SetTimer(h, 1, 100, nullptr), 0u);
  ASSERT_NE(SetTimer(h, 2, 100, nullptr), 0u);
  ASSERT_NE(SetTimer(h, 2, 50, nullptr), 0u);  // the same timer again
  EXPECT_EQ(LiveTimerCount(), timers + 2);
  KillTimer(h, 1);
  EXPECT_EQ(LiveTimerCount(), timers + 1);
  DestroyWindow(h);
  EXPECT_EQ(LiveWindowCount(), windows);
  EXPECT_EQ(LiveTimerCount(), timers);
}

}  // namespace
