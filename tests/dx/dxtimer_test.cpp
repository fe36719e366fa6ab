#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dx/DXClass.h"
#include "framework/ClassBuilder.h"
#include "framework/Forms.h"
#include "framework/FormsTesting.h"
#include "framework/Streaming.h"
#include "platform/mm/MMSystem.h"
#include "platform/mm/MMSystemTesting.h"
#include "platform/win/WinUser.h"
#include "platform/win/WinUserTesting.h"

using namespace dx;

namespace {

// A timer on its own, driven by the application's idle processing and the virtual clock.
class DXTimerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app = fw::GetApplication();
    fw::TApplicationTesting::SetWaitHook(*app, [this] { ++waits; });
    SetAppActive(false);
    mm::SetVirtualTime(5000);
  }
  void TearDown() override {
    timers.clear();
    app->OnIdle.Clear();
    fw::TApplicationTesting::SetWaitHook(*app, nullptr);
    mm::UseRealClock();
  }

  // A started timer that records its frames' lag counts.
  TDXTimer* MakeTimer(std::uint32_t interval, bool activeOnly, std::vector<int>* lags) {
    timers.push_back(fw::MakeOwned<TDXTimer>(nullptr));
    TDXTimer* t = timers.back().get();
    t->SetActiveOnly(activeOnly);
    t->SetInterval(interval);
    if (lags) t->OnTimer = [lags](fw::TObject*, std::int32_t lag) { lags->push_back(lag); };
    t->Loaded();  // as at the end of reading a stored form
    return t;
  }
  // Idle passes `ms` milliseconds after the previous one.
  void PassAfter(mm::DWORD ms) {
    mm::AdvanceVirtualTime(ms);
    app->Idle();
  }
  void SetAppActive(bool active) {
    win::SendMessageA(app->Handle(), win::WM_ACTIVATEAPP, active ? 1 : 0, 0);
    app->ProcessMessages();  // the activation notification is posted
  }

  fw::TApplication* app = nullptr;
  int waits = 0;
  std::vector<fw::TOwned<TDXTimer>> timers;
};

TEST_F(DXTimerTest, NewTimerIsConfiguredButStoppedUntilLoaded) {
  auto t = fw::MakeOwned<TDXTimer>(nullptr);
  EXPECT_TRUE(t->ActiveOnly());
  EXPECT_TRUE(t->Enabled());
  EXPECT_EQ(t->Interval(), 1000u);
  EXPECT_EQ(t->FramesPerSecond(), 0);
  EXPECT_FALSE(t->Initialized());
  EXPECT_FALSE(static_cast<bool>(app->OnIdle));
  // Every property is published and always stored.
  for (const char* name : {"ActiveOnly", "Enabled", "Interval", "OnActivate", "OnDeactivate", "OnTimer"}) {
    const fw::TPropInfo* p = TDXTimer::StaticClass().FindProp(name);
    ASSERT_NE(p, nullptr) << name;
    EXPECT_FALSE(p->HasDefault) << name;
  }
  EXPECT_EQ(fw::GetClass("TDXTimer"), &TDXTimer::StaticClass());
}

TEST_F(DXTimerTest, IntervalZeroRunsAFrameOnEveryIdlePassWithLagAtLeastOne) {
  std::vector<int> lags;
  TDXTimer* t = MakeTimer(0, false, &lags);
  EXPECT_TRUE(t->Initialized());
  app->Idle();  // no time has passed
  PassAfter(1);
  PassAfter(7);
  app->Idle();
  EXPECT_EQ(lags, (std::vector<int>{1, 1, 7, 1}));
  EXPECT_EQ(waits, 0);  // the loop never let the application wait
}

TEST_F(DXTimerTest, Interval16CountsLagFromTheLastFrame) {
  std::vector<int> lags;
  MakeTimer(16, false, &lags);
  PassAfter(15);
  EXPECT_TRUE(lags.empty());
  PassAfter(1);  // 16 ms after the start
  EXPECT_EQ(lags, std::vector<int>{1});
  PassAfter(40);
  EXPECT_EQ(lags, (std::vector<int>{1, 2}));
  PassAfter(15);  // measured from the 40 ms frame
  EXPECT_EQ(lags.size(), 2u);
  PassAfter(1);
  EXPECT_EQ(lags, (std::vector<int>{1, 2, 1}));
  EXPECT_EQ(waits, 0);  // also the passes without a frame keep the loop going
}

TEST_F(DXTimerTest, IntervalIsTakenAsSignedAndChangesApplyFromTheNextPass) {
  std::vector<int> lags;
  TDXTimer* t = MakeTimer(16, false, &lags);
  PassAfter(10);
  t->SetInterval(5);
  PassAfter(0);  // 10 ms since the start: due under the new interval
  EXPECT_EQ(lags, std::vector<int>{2});
  // A value beyond the signed range counts as 0: a frame every pass, lag in milliseconds.
  t->SetInterval(0x80000000u);
  EXPECT_EQ(t->Interval(), 0u);
  PassAfter(3);
  EXPECT_EQ(lags, (std::vector<int>{2, 3}));
}

TEST_F(DXTimerTest, FrameRateIsMeasuredOncePerSecondRoundingHalvesToEven) {
  TDXTimer* t = MakeTimer(0, false, nullptr);
  // 60 frames, the last exactly 1000 ms after the start.
  for (int i = 0; i < 59; ++i) PassAfter(16);
  EXPECT_EQ(t->FramesPerSecond(), 0);
  PassAfter(1000 - 59 * 16);
  EXPECT_EQ(t->FramesPerSecond(), 60);
  // 61 frames in 1016 ms: 60.04.
  for (int i = 0; i < 60; ++i) PassAfter(16);
  EXPECT_EQ(t->FramesPerSecond(), 60);
  PassAfter(1016 - 60 * 16);
  EXPECT_EQ(t->FramesPerSecond(), 60);
  // 5 frames in 2000 ms give 2.5, 7 frames give 3.5: both to the even neighbour.
  for (int i = 0; i < 4; ++i) PassAfter(100);
  PassAfter(1600);
  EXPECT_EQ(t->FramesPerSecond(), 2);
  for (int i = 0; i < 6; ++i) PassAfter(100);
  PassAfter(1400);
  EXPECT_EQ(t->FramesPerSecond(), 4);
}

TEST_F(DXTimerTest, TheClockWrappingAroundDuringARunChangesNothing) {
  mm::SetVirtualTime(0xFFFFFFF8u);
  std::vector<int> lags;
  TDXTimer* t = MakeTimer(16, false, &lags);
  PassAfter(15);  // the clock now shows 7
  EXPECT_TRUE(lags.empty());
  PassAfter(1);
  PassAfter(32);
  EXPECT_EQ(lags, (std::vector<int>{1, 2}));
  for (int i = 0; i < 60; ++i) PassAfter(16);
  EXPECT_GT(t->FramesPerSecond(), 0);
  EXPECT_LT(t->FramesPerSecond(), 70);
  // A clock reading far behind (or 2^31 ms ahead) still gives a lag of at least 1.
  t->SetInterval(0);
  PassAfter(0x80000000u);
  EXPECT_EQ(lags.back(), 1);
}

TEST_F(DXTimerTest, EnabledTakesEffectOnlyOnAChange) {
  std::vector<int> lags;
  TDXTimer* t = MakeTimer(16, false, &lags);
  PassAfter(10);
  t->SetEnabled(true);  // already enabled: the clocks are not reset
  PassAfter(6);
  EXPECT_EQ(lags, std::vector<int>{1});
  t->SetEnabled(false);
  EXPECT_FALSE(t->Initialized());
  EXPECT_FALSE(static_cast<bool>(app->OnIdle));
  const int waited = waits;
  PassAfter(100);
  EXPECT_EQ(lags.size(), 1u);
  EXPECT_EQ(waits, waited + 1);  // nothing installed: the application sleeps
  t->SetEnabled(false);
  EXPECT_FALSE(t->Initialized());
  t->SetEnabled(true);  // restarted: measured from now
  PassAfter(16);
  EXPECT_EQ(lags, (std::vector<int>{1, 1}));
}

TEST_F(DXTimerTest, EnabledWhileLoadingWaitsForLoaded) {
  auto t = fw::MakeOwned<TDXTimer>(nullptr);
  t->SetActiveOnly(false);
  t->IncludeState(fw::csLoading);
  t->SetEnabled(false);
  t->SetEnabled(true);
  EXPECT_FALSE(t->Initialized());
  EXPECT_FALSE(static_cast<bool>(app->OnIdle));
  t->Loaded();
  EXPECT_TRUE(t->Initialized());
  EXPECT_TRUE(static_cast<bool>(app->OnIdle));

  auto off = fw::MakeOwned<TDXTimer>(nullptr);
  off->IncludeState(fw::csLoading);
  off->SetEnabled(false);
  off->Loaded();
  EXPECT_FALSE(off->Initialized());

  auto designed = fw::MakeOwned<TDXTimer>(nullptr);
  designed->IncludeState(fw::csDesigning);
  designed->Loaded();
  EXPECT_FALSE(designed->Initialized());
}

TEST_F(DXTimerTest, OfTwoTimersOnlyTheOneStartedLastRuns) {
  std::vector<int> first, second;
  TDXTimer* a = MakeTimer(0, false, &first);
  TDXTimer* b = MakeTimer(0, false, &second);
  PassAfter(1);
  PassAfter(1);
  EXPECT_TRUE(first.empty());
  EXPECT_EQ(second.size(), 2u);
  // Stopping the one that lost the slot leaves the other's loop alone.
  a->SetEnabled(false);
  PassAfter(1);
  EXPECT_EQ(second.size(), 3u);
  b->SetEnabled(false);
  EXPECT_FALSE(static_cast<bool>(app->OnIdle));
  // Freeing a running timer takes its loop with it.
  a->SetEnabled(true);
  timers.front().reset();
  EXPECT_FALSE(static_cast<bool>(app->OnIdle));
  PassAfter(1);
  EXPECT_TRUE(first.empty());
}

struct ActivationLog {
  int activates = 0;
  int deactivates = 0;
  void Attach(TDXTimer* t) {
    t->OnActivate = [this](fw::TObject*) { ++activates; };
    t->OnDeactivate = [this](fw::TObject*) { ++deactivates; };
  }
};

TEST_F(DXTimerTest, ActiveOnlyPausesWhileAnotherApplicationIsInFront) {
  std::vector<int> lags;
  ActivationLog log;
  TDXTimer* t = MakeTimer(0, true, &lags);  // started while the application is inactive
  log.Attach(t);
  EXPECT_TRUE(t->Initialized());
  EXPECT_FALSE(static_cast<bool>(app->OnIdle));
  PassAfter(5);
  EXPECT_TRUE(lags.empty());

  SetAppActive(true);
  EXPECT_EQ(log.activates, 1);
  PassAfter(3);  // the clocks were reset when the loop started
  EXPECT_EQ(lags, std::vector<int>{3});

  SetAppActive(false);
  EXPECT_EQ(log.deactivates, 1);
  EXPECT_FALSE(static_cast<bool>(app->OnIdle));
  PassAfter(50);
  EXPECT_EQ(lags.size(), 1u);

  SetAppActive(true);
  PassAfter(2);  // only the time since the restart counts
  EXPECT_EQ(lags, (std::vector<int>{3, 2}));
}

TEST_F(DXTimerTest, WithoutActiveOnlyActivationOnlyFiresTheEvents) {
  std::vector<int> lags;
  ActivationLog log;
  TDXTimer* t = MakeTimer(0, false, &lags);
  log.Attach(t);
  SetAppActive(true);
  SetAppActive(false);
  EXPECT_EQ(log.activates, 1);
  EXPECT_EQ(log.deactivates, 1);
  PassAfter(4);
  EXPECT_EQ(lags, std::vector<int>{4});  // runs on while inactive
  // The events come whether the timer runs or not.
  t->SetEnabled(false);
  SetAppActive(true);
  EXPECT_EQ(log.activates, 2);
  EXPECT_FALSE(static_cast<bool>(app->OnIdle));
}

TEST_F(DXTimerTest, ChangingActiveOnlyOnAStartedTimerFollowsTheActivation) {
  std::vector<int> lags;
  TDXTimer* t = MakeTimer(0, false, &lags);
  t->SetActiveOnly(true);  // inactive application: no frames from now on
  PassAfter(1);
  EXPECT_TRUE(lags.empty());
  t->SetActiveOnly(false);  // resumes
  PassAfter(1);
  EXPECT_EQ(lags.size(), 1u);
  SetAppActive(true);
  t->SetActiveOnly(true);  // active: keeps running
  PassAfter(1);
  EXPECT_EQ(lags.size(), 2u);
}

TEST_F(DXTimerTest, ExceptionsInTheFrameHandlerReachTheDefaultHandler) {
  std::vector<std::string> boxes;
  win::SetMessageBoxHook([&](const std::string& text, const std::string&, win::UINT) {
    boxes.push_back(text);
    return 1;
  });
  int frames = 0;
  TDXTimer* t = MakeTimer(0, false, nullptr);
  t->OnTimer = [&](fw::TObject*, std::int32_t) {
    ++frames;
    throw fw::Exception("Image 'img9' not found");
  };
  PassAfter(1);
  PassAfter(1);
  win::SetMessageBoxHook(nullptr);
  EXPECT_EQ(frames, 2);  // the loop goes on
  EXPECT_EQ(boxes, (std::vector<std::string>{"Image 'img9' not found", "Image 'img9' not found"}));
}

// ---------------------------------------------------------------------------------------------
// From a stored description

// Sees, while the properties are being read, whether the timer read before it has started.
class TTimerProbe : public fw::TComponent {
  FW_CLASS(TTimerProbe, fw::TComponent)
 public:
  using TComponent::TComponent;
  bool Probe() const { return false; }
  void SetProbe(bool) {
    auto* t = dynamic_cast<TDXTimer*>(Owner()->FindComponent("DXTimer"));
    started_while_reading = t && t->Initialized();
    seen = t != nullptr;
  }
  static inline bool started_while_reading = false;
  static inline bool seen = false;
};
FW_REGISTER(TTimerProbe, [](fw::TClassBuilder<TTimerProbe>& b) {
  b.Boolean("Probe", &TTimerProbe::Probe, &TTimerProbe::SetProbe);
})

TEST_F(DXTimerTest, EnabledInAStoredDescriptionStartsTheTimerWhenLoadingEnds) {
  TTimerProbe::StaticClass();
  auto root = fw::MakeOwned<fw::TComponent>(nullptr);
  fw::ReadRootComponentText(*root, R"(object Root: TComponent
  object DXTimer: TDXTimer
    ActiveOnly = False
    Enabled = False
    Enabled = True
    Interval = 16
  end
  object Probe: TTimerProbe
    Probe = True
  end
end
)");
  auto* t = dynamic_cast<TDXTimer*>(root->FindComponent("DXTimer"));
  ASSERT_NE(t, nullptr);
  EXPECT_TRUE(TTimerProbe::seen);
  EXPECT_FALSE(TTimerProbe::started_while_reading);
  EXPECT_TRUE(t->Initialized());
  EXPECT_FALSE(t->ActiveOnly());
  EXPECT_EQ(t->Interval(), 16u);
  EXPECT_TRUE(static_cast<bool>(app->OnIdle));

  auto stopped = fw::MakeOwned<fw::TComponent>(nullptr);
  fw::ReadRootComponentText(*stopped, R"(object Root: TComponent
  object DXTimer: TDXTimer
    Enabled = False
  end
end
)");
  auto* s = dynamic_cast<TDXTimer*>(stopped->FindComponent("DXTimer"));
  ASSERT_NE(s, nullptr);
  EXPECT_FALSE(s->Initialized());
  root.reset();
  EXPECT_FALSE(static_cast<bool>(app->OnIdle));
}

}  // namespace

namespace {

// Kept last: it takes the application away (a new one is made on next use).
TEST(DXTimerLife, ATimerOutlivingTheApplicationLetsGoOfIt) {
  auto t = fw::MakeOwned<TDXTimer>(nullptr);
  t->SetActiveOnly(false);
  t->Loaded();
  ASSERT_TRUE(static_cast<bool>(fw::GetApplication()->OnIdle));
  fw::FreeApplication();
  t->SetEnabled(false);
  t->SetEnabled(true);  // nothing to install into: stays without a loop
  t.reset();
  // A new application starts without any timer's hooks or idle handler.
  fw::TApplication* app = fw::GetApplication();
  EXPECT_FALSE(static_cast<bool>(app->OnIdle));
  win::SendMessageA(app->Handle(), win::WM_ACTIVATEAPP, 1, 0);
  app->ProcessMessages();
}

}  // namespace
