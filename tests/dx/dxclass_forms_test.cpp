#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "dx/DXClass.h"
#include "framework/ClassBuilder.h"
#include "framework/Forms.h"
#include "framework/FormsTesting.h"
#include "platform/mm/MMSystem.h"
#include "platform/mm/MMSystemTesting.h"
#include "platform/win/WinUser.h"

using namespace dx;

namespace {

bool AppHasToolWindowStyle() {
  const auto ex = static_cast<win::DWORD>(win::GetWindowLongA(fw::GetApplication()->Handle(), win::GWL_EXSTYLE));
  return (ex & win::WS_EX_TOOLWINDOW) != 0;
}

// ---------------------------------------------------------------------------------------------
// TDXForm

TEST(DXForm, TheApplicationsTaskbarButtonComesBackWhenTheLastFormGoes) {
  fw::GetApplication();
  ASSERT_EQ(TDXForm::InstanceCount(), 0);
  EXPECT_FALSE(AppHasToolWindowStyle());
  auto a = fw::MakeOwned<TDXForm>(nullptr);
  EXPECT_TRUE(AppHasToolWindowStyle());
  auto b = fw::MakeOwned<TDXForm>(nullptr);
  EXPECT_EQ(TDXForm::InstanceCount(), 2);
  a.reset();
  EXPECT_TRUE(AppHasToolWindowStyle());
  b.reset();
  EXPECT_EQ(TDXForm::InstanceCount(), 0);
  EXPECT_FALSE(AppHasToolWindowStyle());
}

TEST(DXForm, EachFormHasATaskbarButtonOfItsOwn) {
  auto f = fw::MakeOwned<TDXForm>(nullptr);
  const auto ex = static_cast<win::DWORD>(win::GetWindowLongA(f->Handle(), win::GWL_EXSTYLE));
  EXPECT_NE(ex & win::WS_EX_APPWINDOW, 0u);
  auto plain = fw::MakeOwned<fw::TForm>(nullptr);
  const auto plainEx = static_cast<win::DWORD>(win::GetWindowLongA(plain->Handle(), win::GWL_EXSTYLE));
  EXPECT_EQ(plainEx & win::WS_EX_APPWINDOW, 0u);
}

TEST(DXForm, MinimiseCommandMinimisesTheFormAlone) {
  auto f = fw::MakeOwned<TDXForm>(nullptr);
  f->SetBounds(10, 20, 300, 200);
  f->Show();
  win::SendMessageA(f->Handle(), win::WM_SYSCOMMAND, win::SC_MINIMIZE, 0);
  EXPECT_EQ(f->WindowState(), fw::wsMinimized);
  EXPECT_TRUE(win::IsIconic(f->Handle()));
  EXPECT_FALSE(win::IsIconic(fw::GetApplication()->Handle()));
  // Other commands keep the framework's handling.
  win::SendMessageA(f->Handle(), win::WM_SYSCOMMAND, win::SC_RESTORE, 0);
  EXPECT_FALSE(win::IsIconic(f->Handle()));
}

TEST(DXForm, PlacementIsRestoredOnceAfterSaving) {
  auto f = fw::MakeOwned<TDXForm>(nullptr);
  f->SetBounds(40, 50, 320, 240);
  f->Show();
  win::RECT saved{};
  win::GetWindowRect(f->Handle(), &saved);
  EXPECT_FALSE(f->PlacementSaved());
  f->RestorePlacement();  // nothing saved: nothing happens
  f->SavePlacement();
  EXPECT_TRUE(f->PlacementSaved());

  f->SetBounds(0, 0, 640, 480);
  f->RestorePlacement();
  EXPECT_FALSE(f->PlacementSaved());
  win::RECT back{};
  win::GetWindowRect(f->Handle(), &back);
  EXPECT_EQ(back, saved);

  f->SetBounds(5, 5, 100, 100);
  win::RECT moved{};
  win::GetWindowRect(f->Handle(), &moved);
  f->RestorePlacement();  // the second call does nothing
  win::RECT after{};
  win::GetWindowRect(f->Handle(), &after);
  EXPECT_EQ(after, moved);
}

// ---------------------------------------------------------------------------------------------
// TControlSubClass

constexpr win::UINT kProbe = win::WM_USER + 7;

struct SubClass : ::testing::Test {
  fw::TApplication* app = fw::GetApplication();  // windows need the application first
  fw::TOwned<fw::TForm> form = fw::MakeOwned<fw::TForm>(nullptr);
  std::vector<std::string> log;

  // The control's own procedure, underneath every interceptor.
  void SetUp() override {
    form->WindowProc = [this](fw::TMessage& m) {
      if (m.Msg == kProbe) {
        log.push_back("control");
        m.Result = 1;
      }
    };
  }
  TControlSubClassProc Interceptor(std::string name, bool passOn, win::LRESULT answer) {
    return [this, name, passOn, answer](fw::TMessage& m, const fw::TWndMethod& def) {
      if (m.Msg != kProbe) return def(m);
      log.push_back(name);
      if (passOn) def(m);
      m.Result += answer;
    };
  }
};

TEST_F(SubClass, SeesMessagesFirstAndDecidesWhatTheControlAnswers) {
  {
    TControlSubClass sub(form.get(), Interceptor("outer", true, 10));
    EXPECT_EQ(form->Perform(kProbe, 0, 0), 11);
    EXPECT_EQ(log, (std::vector<std::string>{"outer", "control"}));
  }
  log.clear();
  EXPECT_EQ(form->Perform(kProbe, 0, 0), 1);  // removed: the control's own procedure again
  EXPECT_EQ(log, std::vector<std::string>{"control"});

  TControlSubClass swallow(form.get(), Interceptor("swallow", false, 5));
  log.clear();
  EXPECT_EQ(form->Perform(kProbe, 0, 0), 5);
  EXPECT_EQ(log, std::vector<std::string>{"swallow"});
}

TEST_F(SubClass, StackedInterceptorsChainAndComeOffInReverseOrder) {
  auto first = std::make_unique<TControlSubClass>(form.get(), Interceptor("first", true, 10));
  auto second = std::make_unique<TControlSubClass>(form.get(), Interceptor("second", true, 100));
  EXPECT_EQ(form->Perform(kProbe, 0, 0), 111);
  EXPECT_EQ(log, (std::vector<std::string>{"second", "first", "control"}));
  second.reset();
  log.clear();
  EXPECT_EQ(form->Perform(kProbe, 0, 0), 11);
  first.reset();
  log.clear();
  EXPECT_EQ(form->Perform(kProbe, 0, 0), 1);
  EXPECT_EQ(log, std::vector<std::string>{"control"});
}

TEST_F(SubClass, AnInterceptorRemovedOutOfOrderStepsAsideSafely) {
  auto first = std::make_unique<TControlSubClass>(form.get(), Interceptor("first", true, 10));
  auto second = std::make_unique<TControlSubClass>(form.get(), Interceptor("second", true, 100));
  first.reset();  // the one above still holds its procedure
  EXPECT_EQ(form->Perform(kProbe, 0, 0), 101);
  EXPECT_EQ(log, (std::vector<std::string>{"second", "control"}));
  second.reset();
  log.clear();
  EXPECT_EQ(form->Perform(kProbe, 0, 0), 1);
  EXPECT_EQ(log, std::vector<std::string>{"control"});
}

TEST_F(SubClass, RealWindowMessagesReachTheInterceptor) {
  std::vector<win::UINT> seen;
  TControlSubClass sub(form.get(), [&](fw::TMessage& m, const fw::TWndMethod& def) {
    seen.push_back(m.Msg);
    def(m);
  });
  win::SendMessageA(form->Handle(), kProbe, 0, 0);
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.back(), kProbe);
}

// ---------------------------------------------------------------------------------------------
// A frame timer on a real form, in the real message loop

class TTimerForm : public TDXForm {
  FW_CLASS(TTimerForm, TDXForm)
 public:
  explicit TTimerForm(fw::TComponent* AOwner) : TDXForm(AOwner) {
    LoadFromDescription(R"(object TimerForm: TTimerForm
  Left = 0
  Top = 0
  Width = 320
  Height = 200
  Caption = 'Sprix Sample'
  object DXTimer: TDXTimer
    ActiveOnly = False
    Enabled = True
    Interval = 0
    OnTimer = DXTimerTimer
  end
end
)");
  }
  void DXTimerTimer(fw::TObject*, std::int32_t LagCount) {
    ++Frames;
    Lags += LagCount;
    mm::AdvanceVirtualTime(1);
    if (Frames == StopAt) DXTimer->SetEnabled(false);
    if (Frames > 100000) fw::GetApplication()->Terminate();  // runaway: end the test
  }

  TDXTimer* DXTimer = nullptr;
  int Frames = 0;
  long long Lags = 0;
  int StopAt = 500;
};
FW_REGISTER(TTimerForm, [](fw::TClassBuilder<TTimerForm>& b) {
  b.Field("DXTimer", &TTimerForm::DXTimer);
  b.Method("DXTimerTimer", &TTimerForm::DXTimerTimer);
})

TEST(DXTimerOnAForm, DrivesItsHandlerWhileIdleAndStopsWhenDisabled) {
  fw::TApplication* app = fw::GetApplication();
  mm::SetVirtualTime(100);
  auto form = fw::MakeOwned<TTimerForm>(nullptr);
  ASSERT_NE(form->DXTimer, nullptr);
  EXPECT_TRUE(form->DXTimer->Initialized());

  // Once the loop first has to wait, the timer is off: note what happened and end the run.
  int framesAtWait = -1;
  fw::TApplicationTesting::SetWaitHook(*app, [&] {
    if (framesAtWait < 0) framesAtWait = form->Frames;
    app->Terminate();
  });
  fw::TCustomForm* oldMain = app->MainForm();
  fw::TApplicationTesting::SetMainForm(*app, form.get());
  fw::TApplicationTesting::ResetTerminated(*app);
  app->Run();
  fw::TApplicationTesting::SetMainForm(*app, oldMain);
  fw::TApplicationTesting::SetWaitHook(*app, nullptr);
  fw::TApplicationTesting::ResetTerminated(*app);
  mm::UseRealClock();

  EXPECT_EQ(form->Frames, 500);
  EXPECT_EQ(framesAtWait, 500);  // never waited while the timer ran
  EXPECT_EQ(form->Lags, 500);    // one virtual millisecond per frame
  EXPECT_FALSE(form->DXTimer->Initialized());
  EXPECT_FALSE(static_cast<bool>(app->OnIdle));
}

}  // namespace
