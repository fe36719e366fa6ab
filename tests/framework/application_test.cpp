// The application object: the message loop and its idle slot, main-window hooks with the
// activation notifications, the default error handler, window procedures and their chaining,
// placement, system commands.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QWidget>

#include <string>
#include <utility>
#include <vector>

#include "framework/Dialogs.h"
#include "framework/Forms.h"
#include "framework/FormsTesting.h"
#include "framework/StdCtrls.h"
#include "platform/win/QtWindows.h"
#include "platform/win/QtWindowsTesting.h"
#include "platform/win/WinUserTesting.h"
#include "tests/support/QtTestApp.h"

namespace {

using namespace fw;

class App : public ::testing::Test {
 protected:
  void SetUp() override {
    app = testsupport::EnsureApplication();
    fw::TApplicationTesting::ResetTerminated(*app);
    app->ProcessMessages();
    fw::TApplicationTesting::SetWaitHook(*app, [this] { ++waits; });
  }
  void TearDown() override {
    app->OnIdle.Clear();
    fw::TApplicationTesting::SetWaitHook(*app, nullptr);
    fw::TApplicationTesting::SetMainForm(*app, nullptr);
    fw::TApplicationTesting::ResetTerminated(*app);
    app->ProcessMessages();
    fw::TApplicationTesting::ResetTerminated(*app);
  }
  TApplication* app = nullptr;
  int waits = 0;
};

TEST_F(App, IdleSlotKeepsTheLoopRunningUntilDone) {
  int a = 0, b = 0;
  app->OnIdle = [&](TObject*, bool& done) {
    ++a;
    done = false;
  };
  // The last setter owns the single slot.
  app->OnIdle = [&](TObject* sender, bool& done) {
    EXPECT_EQ(sender, app);
    ++b;
    done = b >= 5;
  };
  app->ProcessMessages();
  for (int i = 0; i < 5; ++i) app->Idle();
  EXPECT_EQ(a, 0);
  EXPECT_EQ(b, 5);
  EXPECT_EQ(waits, 1);  // only the pass that said done waited
  // With the slot cleared the loop waits at every empty queue.
  app->OnIdle.Clear();
  app->Idle();
  app->Idle();
  EXPECT_EQ(waits, 3);
}

TEST_F(App, RunLoopsContinuouslyAndEndsOnTerminate) {
  int calls = 0;
  app->OnIdle = [&](TObject*, bool& done) {
    done = false;
    if (++calls == 50) app->Terminate();
  };
  app->Run();
  EXPECT_TRUE(app->Terminated());
  EXPECT_EQ(calls, 50);
  EXPECT_EQ(waits, 0);
}

TEST_F(App, PostedMessagesAreHandledBeforeIdle) {
  std::vector<std::string> order;
  int hook = app->HookMainWindow([&](TMessage& m) {
    if (m.Msg == win::WM_USER + 7) order.push_back("posted");
    return false;
  });
  app->OnIdle = [&](TObject*, bool& done) {
    order.push_back("idle");
    done = true;
  };
  win::PostMessageA(app->Handle(), win::WM_USER + 7, 0, 0);
  for (int i = 0; i < 20 && order.empty(); ++i) app->HandleMessage();
  for (int i = 0; i < 20 && order.back() != "idle"; ++i) app->HandleMessage();
  ASSERT_GE(order.size(), 2u);
  EXPECT_EQ(order.front(), "posted");
  EXPECT_EQ(order.back(), "idle");
  app->UnhookMainWindow(hook);
}

TEST_F(App, ActivationReachesTheHooksBeforeTheApplication) {
  auto form = MakeOwned<TForm>(nullptr);
  form->Show();
  app->ProcessMessages();
  ASSERT_TRUE(app->Active());
  std::vector<std::string> seen;
  int h1 = app->HookMainWindow([&](TMessage& m) {
    if (m.Msg == CM_ACTIVATE) seen.push_back("hook:B000");
    if (m.Msg == CM_DEACTIVATE) seen.push_back("hook:B001");
    return false;
  });
  app->OnActivate = [&](TObject*) { seen.push_back("OnActivate"); };
  app->OnDeactivate = [&](TObject*) { seen.push_back("OnDeactivate"); };
  win::SimulateAppSwitch(nullptr);
  EXPECT_FALSE(app->Active());
  EXPECT_EQ(win::GetForegroundWindow(), nullptr);
  app->ProcessMessages();
  win::SimulateAppSwitch(form->Handle());
  EXPECT_TRUE(app->Active());
  EXPECT_EQ(win::GetForegroundWindow(), form->Handle());
  app->ProcessMessages();
  EXPECT_EQ(seen, (std::vector<std::string>{"hook:B001", "OnDeactivate", "hook:B000", "OnActivate"}));
  // A hook that handles the message keeps it from the application.
  int h2 = app->HookMainWindow([](TMessage& m) { return m.Msg == CM_DEACTIVATE; });
  seen.clear();
  win::SimulateAppSwitch(nullptr);
  app->ProcessMessages();
  EXPECT_EQ(seen, std::vector<std::string>{"hook:B001"});
  app->UnhookMainWindow(h2);
  app->UnhookMainWindow(h1);
  win::SimulateAppSwitch(form->Handle());
  app->ProcessMessages();
  app->OnActivate.Clear();
  app->OnDeactivate.Clear();
}

// A procedure put in front of a window's own one, and what it saw.
std::vector<win::UINT> g_seen;
win::WNDPROC g_previous = nullptr;
bool g_swallowClose = false;
win::LRESULT Interceptor(win::HWND h, win::UINT msg, win::WPARAM wp, win::LPARAM lp) {
  g_seen.push_back(msg);
  if (msg == win::WM_CLOSE && g_swallowClose) return 0;
  return win::CallWindowProcA(g_previous, h, msg, wp, lp);
}

TEST_F(App, ReplacedWindowProcedureSeesMessagesFirstAndChains) {
  auto form = MakeOwned<TForm>(nullptr);
  win::HWND h = form->Handle();
  g_seen.clear();
  g_previous = reinterpret_cast<win::WNDPROC>(
      win::SetWindowLongPtrA(h, win::GWLP_WNDPROC, reinterpret_cast<win::LONG_PTR>(&Interceptor)));
  ASSERT_EQ(g_previous, &TWinControl::MainWndProc);
  // The framework's method-level procedure too: what an interceptor object installs.
  std::vector<std::string> framework;
  TWndMethod saved = form->WindowProc;
  form->WindowProc = [&](TMessage& m) {
    if (m.Msg == win::WM_WINDOWPOSCHANGED) {
      auto* pos = reinterpret_cast<win::WINDOWPOS*>(m.LParam);
      if (pos->flags & win::SWP_SHOWWINDOW) framework.push_back("shown");
    }
    if (m.Msg == win::WM_ACTIVATE) framework.push_back(win::LOWORD(m.WParam) == win::WA_INACTIVE ? "inactive" : "active");
    saved(m);
  };
  form->Show();
  EXPECT_NE(std::find(g_seen.begin(), g_seen.end(), win::WM_WINDOWPOSCHANGED), g_seen.end());
  EXPECT_NE(std::find(g_seen.begin(), g_seen.end(), win::WM_ACTIVATE), g_seen.end());
  EXPECT_EQ(framework, (std::vector<std::string>{"shown", "active"}));
  EXPECT_TRUE(form->Visible());
  // Swallowing WM_CLOSE keeps the form open; chaining it closes (hides) the form.
  g_swallowClose = true;
  win::SendMessageA(h, win::WM_CLOSE, 0, 0);
  EXPECT_TRUE(form->Visible());
  g_swallowClose = false;
  win::SendMessageA(h, win::WM_CLOSE, 0, 0);
  EXPECT_FALSE(form->Visible());
  EXPECT_TRUE(win::IsWindow(h));  // hidden, not destroyed
  // Removing in reverse order restores exactly what was there.
  form->WindowProc = saved;
  win::SetWindowLongPtrA(h, win::GWLP_WNDPROC, reinterpret_cast<win::LONG_PTR>(g_previous));
  g_seen.clear();
  win::SendMessageA(h, win::WM_NULL, 0, 0);
  EXPECT_TRUE(g_seen.empty());
}

TEST_F(App, QtEventsArriveAsMessagesWithTheirParameters) {
  auto form = MakeOwned<TForm>(nullptr);
  auto* edit = new TEdit(form.get());
  edit->SetParent(form.get());
  edit->SetBounds(10, 20, 80, 21);
  form->Show();
  std::vector<TMessage> got;
  TWndMethod saved = edit->WindowProc;
  edit->WindowProc = [&](TMessage& m) {
    if (m.Msg == win::WM_KEYDOWN || m.Msg == win::WM_SYSKEYDOWN || m.Msg == win::WM_LBUTTONDOWN) got.push_back(m);
    saved(m);
  };
  QKeyEvent k(QEvent::KeyPress, Qt::Key_F, Qt::NoModifier, "f");
  win::DeliverQtEvent(edit->Handle(), &k);
  QKeyEvent a(QEvent::KeyPress, Qt::Key_Return, Qt::AltModifier, "\r");
  win::DeliverQtEvent(edit->Handle(), &a);
  QMouseEvent m(QEvent::MouseButtonPress, QPointF(5, 6), QPointF(edit->WidgetIfMade()->mapToGlobal(QPoint(5, 6))),
                Qt::LeftButton, Qt::LeftButton, Qt::ShiftModifier);
  win::DeliverQtEvent(edit->Handle(), &m);
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[0].Msg, win::WM_KEYDOWN);
  EXPECT_EQ(got[0].WParam, static_cast<win::WPARAM>('F'));
  EXPECT_EQ((got[0].LParam >> 16) & 0xFF, 0x21);  // scan code of F
  EXPECT_EQ(got[1].Msg, win::WM_SYSKEYDOWN);
  EXPECT_EQ(got[1].WParam, win::VK_RETURN);
  EXPECT_NE(got[1].LParam & (1 << 29), 0);
  EXPECT_EQ(got[2].Msg, win::WM_LBUTTONDOWN);
  EXPECT_EQ(got[2].WParam, win::MK_LBUTTON | win::MK_SHIFT);
  EXPECT_EQ(win::GET_X_LPARAM(got[2].LParam), 5);
  EXPECT_EQ(win::GET_Y_LPARAM(got[2].LParam), 6);
  win::POINT p{5, 6};
  win::ClientToScreen(edit->Handle(), &p);
  TPoint fp = form->ClientToScreen(TPoint{15, 26});
  EXPECT_EQ(p.x, fp.x);
  EXPECT_EQ(p.y, fp.y);
  edit->WindowProc = saved;
}

TEST_F(App, PlacementIsSavedAndRestored) {
  auto form = MakeOwned<TForm>(nullptr);
  form->SetBounds(100, 80, 400, 300);
  form->Show();
  win::WINDOWPLACEMENT wp{};
  EXPECT_FALSE(win::GetWindowPlacement(form->Handle(), &wp));  // the length must be set
  wp.length = sizeof wp;
  ASSERT_TRUE(win::GetWindowPlacement(form->Handle(), &wp));
  EXPECT_EQ(wp.showCmd, static_cast<win::UINT>(win::SW_SHOWNORMAL));
  EXPECT_EQ(wp.rcNormalPosition, (win::RECT{100, 80, 500, 380}));
  // Borderless full screen and back: the placement comes back.
  form->SetBorderStyle(bsNone);
  form->SetFullScreen(true);
  EXPECT_EQ(form->Width(), win::GetSystemMetrics(win::SM_CXSCREEN));
  EXPECT_EQ(form->Left(), 0);
  EXPECT_EQ(form->ClientWidth(), form->Width());
  form->SetFullScreen(false);
  form->SetBorderStyle(bsSizeable);
  ASSERT_TRUE(win::SetWindowPlacement(form->Handle(), &wp));
  EXPECT_EQ(form->BoundsRect(), (TRect{100, 80, 500, 380}));
  EXPECT_EQ(form->ClientWidth(), 400 - 8);
  // Maximised and back.
  form->SetWindowState(wsMaximized);
  EXPECT_TRUE(win::IsZoomed(form->Handle()));
  EXPECT_EQ(form->Width(), win::GetSystemMetrics(win::SM_CXSCREEN));
  ASSERT_TRUE(win::GetWindowPlacement(form->Handle(), &wp));
  EXPECT_EQ(wp.showCmd, static_cast<win::UINT>(win::SW_SHOWMAXIMIZED));
  EXPECT_EQ(wp.rcNormalPosition, (win::RECT{100, 80, 500, 380}));
  form->SetWindowState(wsNormal);
  EXPECT_EQ(form->BoundsRect(), (TRect{100, 80, 500, 380}));
}

TEST_F(App, SystemCommandsAndStyles) {
  auto form = MakeOwned<TForm>(nullptr);
  form->SetBorderStyle(bsSingle);
  form->SetBorderIcons(TBorderIcons{biSystemMenu, biMinimize});
  form->Show();
  auto style = static_cast<win::DWORD>(win::GetWindowLongPtrA(form->Handle(), win::GWL_STYLE));
  EXPECT_EQ(style & win::WS_CAPTION, win::WS_CAPTION);
  EXPECT_NE(style & win::WS_MINIMIZEBOX, 0u);
  EXPECT_EQ(style & (win::WS_MAXIMIZEBOX | win::WS_THICKFRAME), 0u);
  EXPECT_NE(style & win::WS_VISIBLE, 0u);
  // Extended styles are the window's own to change.
  auto ex = win::GetWindowLongPtrA(form->Handle(), win::GWL_EXSTYLE);
  win::SetWindowLongPtrA(form->Handle(), win::GWL_EXSTYLE, ex | win::WS_EX_APPWINDOW);
  EXPECT_NE(win::GetWindowLongPtrA(form->Handle(), win::GWL_EXSTYLE) & win::WS_EX_APPWINDOW, 0);
  win::SendMessageA(form->Handle(), win::WM_SYSCOMMAND, win::SC_MINIMIZE, 0);
  EXPECT_TRUE(win::IsIconic(form->Handle()));
  EXPECT_EQ(form->WindowState(), wsMinimized);
  win::SendMessageA(form->Handle(), win::WM_SYSCOMMAND, win::SC_RESTORE, 0);
  EXPECT_FALSE(win::IsIconic(form->Handle()));
  EXPECT_EQ(form->WindowState(), wsNormal);
  // Client size from the stored form sets the outer size for the border.
  form->SetClientSize(640, 454);
  EXPECT_EQ(form->ClientWidth(), 640);
  EXPECT_EQ(form->ClientHeight(), 454);
  win::RECT r;
  win::GetClientRect(form->Handle(), &r);
  EXPECT_EQ(r.right, 640);
  EXPECT_EQ(r.bottom, 454);
}

TEST_F(App, ExceptionsInHandlersReachTheMessageBoxAndTheLoopGoesOn) {
  testsupport::MessageBoxRecorder boxes;
  auto form = MakeOwned<TForm>(nullptr);
  auto* button = new TButton(form.get());
  button->SetParent(form.get());
  int clicks = 0;
  button->OnClick = [&](TObject*) {
    ++clicks;
    StrToInt("");
  };
  form->Show();
  auto* qb = qobject_cast<QPushButton*>(button->WidgetIfMade());
  ASSERT_NE(qb, nullptr);
  qb->click();
  qb->click();
  EXPECT_EQ(clicks, 2);
  ASSERT_EQ(boxes.Boxes.size(), 2u);
  EXPECT_EQ(boxes.Boxes[0].Text, "'' is not a valid integer value");
  EXPECT_EQ(boxes.Boxes[0].Caption, app->Title());
  // From the loop's idle handler as well.
  int idles = 0;
  app->OnIdle = [&](TObject*, bool& done) {
    done = false;
    if (++idles == 3) throw EConvertError("перевірте розширення");
    if (idles == 6) app->Terminate();
  };
  app->Run();
  EXPECT_EQ(idles, 6);
  ASSERT_EQ(boxes.Boxes.size(), 3u);
  EXPECT_EQ(boxes.Boxes[2].Text, "перевірте розширення");
  // ShowMessage: the same plain box.
  ShowMessage("Дане положення не можливе(перевірте розширення)");
  ASSERT_EQ(boxes.Boxes.size(), 4u);
  EXPECT_EQ(boxes.Boxes[3].Text, "Дане положення не можливе(перевірте розширення)");
  EXPECT_EQ(boxes.Boxes[3].Caption, app->Title());
  EXPECT_EQ(boxes.Boxes[3].Type, win::MB_OK);
}

TEST_F(App, AnExceptionInAWindowProcedureReachesTheApplicationWithItsControl) {
  auto form = MakeOwned<TForm>(nullptr);
  auto* edit = new TEdit(form.get());
  edit->SetParent(form.get());
  edit->OnKeyDown = [](TObject*, std::uint16_t&, TShiftState) { StrToInt("x"); };
  form->Show();
  std::vector<std::pair<TObject*, std::string>> seen;
  app->OnException = [&](TObject* Sender, const std::exception& E) { seen.emplace_back(Sender, E.what()); };
  win::SendMessageA(edit->Handle(), win::WM_KEYDOWN, 'A', 0);
  app->OnException.Clear();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].first, edit);
  EXPECT_EQ(seen[0].second, "'x' is not a valid integer value");
  // Without an OnException the default handler shows it, and the control goes on working.
  testsupport::MessageBoxRecorder boxes;
  win::SendMessageA(edit->Handle(), win::WM_KEYDOWN, 'A', 0);
  ASSERT_EQ(boxes.Boxes.size(), 1u);
  EXPECT_EQ(boxes.Boxes[0].Text, "'x' is not a valid integer value");
}

TEST_F(App, MainFormClosingEndsTheApplication) {
  TForm* f1 = nullptr;
  TForm* f2 = nullptr;
  fw::TApplicationTesting::SetMainForm(*app, nullptr);
  app->CreateForm(f1);
  app->CreateForm(f2);
  EXPECT_EQ(app->MainForm(), f1);
  f1->SetWindowState(wsMaximized);
  int idles = 0;
  app->OnIdle = [&](TObject*, bool& done) {
    done = false;
    if (++idles == 2) f2->Close();
    if (idles == 3) {
      EXPECT_FALSE(app->Terminated());
      EXPECT_TRUE(f1->Visible());
      EXPECT_TRUE(win::IsZoomed(f1->Handle()));  // Run showed it in its window state
      f1->Close();
    }
  };
  app->Run();
  EXPECT_TRUE(app->Terminated());
  EXPECT_EQ(idles, 3);
  f2->Free();
  f1->Free();
  EXPECT_EQ(app->MainForm(), nullptr);
}

TEST_F(App, PaletteMessagesAndCursors) {
  auto a = MakeOwned<TForm>(nullptr);
  auto b = MakeOwned<TForm>(nullptr);
  std::vector<std::string> seen;
  auto watch = [&](TForm* f, const std::string& name) {
    TWndMethod saved = f->WindowProc;
    f->WindowProc = [&seen, saved, name, f](TMessage& m) {
      if (m.Msg == win::WM_QUERYNEWPALETTE) seen.push_back(name + ":query");
      if (m.Msg == win::WM_PALETTECHANGED)
        seen.push_back(name + (reinterpret_cast<win::HWND>(m.WParam) == f->Handle() ? ":changed-own" : ":changed"));
      saved(m);
    };
  };
  watch(a.get(), "a");
  watch(b.get(), "b");
  a->Show();
  b->Show();
  EXPECT_EQ(seen, (std::vector<std::string>{"a:query", "b:query"}));
  seen.clear();
  win::BroadcastPaletteChanged(b->Handle());
  EXPECT_EQ(seen, (std::vector<std::string>{"a:changed", "b:changed-own"}));
  // The cursor of a windowed control: the arrow by default, none when hidden.
  auto* e = new TEdit(a.get());
  e->SetParent(a.get());
  EXPECT_EQ(win::GetWindowCursor(e->Handle()), win::LoadCursorA(nullptr, win::IDC_ARROW));
  e->SetCursor(crNone);
  EXPECT_EQ(win::GetWindowCursor(e->Handle()), nullptr);
  EXPECT_EQ(e->WidgetIfMade()->cursor().shape(), Qt::BlankCursor);
  e->SetCursor(crHandPoint);
  EXPECT_EQ(win::GetWindowCursor(e->Handle()), win::LoadCursorA(nullptr, win::IDC_HAND));
  e->SetCursor(crDefault);
  EXPECT_EQ(win::GetWindowCursor(e->Handle()), win::LoadCursorA(nullptr, win::IDC_ARROW));
}

}  // namespace
