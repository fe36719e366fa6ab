#include <gtest/gtest.h>

#include "platform/mm/MMSystem.h"
#include "platform/mm/MMSystemTesting.h"

namespace {

TEST(MMClock, VirtualClockIsSetAdvancedAndWrapsAt32Bits) {
  mm::SetVirtualTime(1000);
  EXPECT_TRUE(mm::UsingVirtualClock());
  EXPECT_EQ(mm::timeGetTime(), 1000u);
  EXPECT_EQ(mm::timeGetTime(), 1000u);  // it stands still until moved
  mm::AdvanceVirtualTime(16);
  EXPECT_EQ(mm::timeGetTime(), 1016u);
  mm::SetVirtualTime(0xFFFFFFF0u);
  mm::AdvanceVirtualTime(0x20);
  EXPECT_EQ(mm::timeGetTime(), 0x10u);
  // Differences formed in unsigned arithmetic survive the wrap.
  EXPECT_EQ(mm::timeGetTime() - 0xFFFFFFF0u, 0x20u);
  mm::UseRealClock();
  EXPECT_FALSE(mm::UsingVirtualClock());
}

TEST(MMClock, RealClockDoesNotRunBackwards) {
  mm::UseRealClock();
  const mm::DWORD a = mm::timeGetTime();
  const mm::DWORD b = mm::timeGetTime();
  EXPECT_LT(b - a, 1000u);  // unsigned: a backwards step would show as a huge difference
  mm::AdvanceVirtualTime(5);  // starts the virtual clock from the real time
  EXPECT_TRUE(mm::UsingVirtualClock());
  EXPECT_LT(mm::timeGetTime() - b, 1005u);
  mm::UseRealClock();
}

TEST(MMClock, WaitingMovesTheVirtualClockAtOnceAndSleepsOnTheRealOne) {
  mm::SetVirtualTime(500);
  mm::WaitClock(40);
  EXPECT_EQ(mm::timeGetTime(), 540u);
  mm::WaitClock(0);
  EXPECT_EQ(mm::timeGetTime(), 540u);

  mm::UseRealClock();
  const mm::DWORD before = mm::timeGetTime();
  mm::WaitClock(20);
  EXPECT_GE(mm::timeGetTime() - before, 20u);
  EXPECT_FALSE(mm::UsingVirtualClock());
}

}  // namespace
