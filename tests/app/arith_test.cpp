#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "app/MainArith.h"
#include "framework/SysUtils.h"

using namespace app;

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();

TEST(ModelArithmetic, ProductsAndSumsWrapLikeRegisters) {
  EXPECT_EQ(Mul32(50, 500), 25000);
  EXPECT_EQ(Mul32(65536, 65536), 0);
  EXPECT_EQ(Mul32(kMax, 2), -2);
  EXPECT_EQ(Mul32(kMin, -1), kMin);
  EXPECT_EQ(Add32(kMax, 1), kMin);
  EXPECT_EQ(Sub32(kMin, 1), kMax);
}

TEST(ModelArithmetic, DivisionTruncatesTowardZero) {
  EXPECT_EQ(Div32(1250000, 50000), 25);
  EXPECT_EQ(Div32(-7, 2), -3);
  EXPECT_EQ(Div32(7, -2), -3);
  EXPECT_EQ(Div32(kMin, -1), kMin);
  try {
    Div32(1, 0);
    FAIL() << "no error";
  } catch (const fw::EDivByZero& e) {
    EXPECT_EQ(e.Message(), "Division by zero");
  }
}

TEST(ModelArithmetic, ImmersedDepthKeepsTheWidthInBothProducts) {
  EXPECT_EQ(ImmersedDepth(50, 50, 500, 1000), 25);
  EXPECT_EQ(ImmersedDepth(50, 50, 900, 1000), 45);
  EXPECT_EQ(ImmersedDepth(50, 50, 539, 1000), 26);  // trunc(26.95)
  EXPECT_EQ(ImmersedDepth(50, 50, 7800, 1000), 390);
  // 100 * 5000 * 5000 wraps: 2 500 000 000 - 2^32 = -1 794 967 296, then div 100 000.
  EXPECT_EQ(ImmersedDepth(100, 5000, 5000, 1000), -17949);
  // w * rhoLiquid wrapping to zero is a division by zero, not a crash.
  EXPECT_THROW(ImmersedDepth(65536, 10, 10, 65536), fw::EDivByZero);
  EXPECT_THROW(ImmersedDepth(0, 10, 10, 1000), fw::EDivByZero);
  EXPECT_THROW(ImmersedDepth(10, 10, 10, 0), fw::EDivByZero);
}

TEST(ModelArithmetic, ProtrusionRoundsHalfToEven) {
  EXPECT_EQ(Protrusion(50, 500, 1000), 25);
  EXPECT_EQ(Protrusion(50, 900, 1000), 5);
  EXPECT_EQ(Protrusion(50, 539, 1000), 23);  // 23.05
  EXPECT_EQ(Protrusion(5, 500, 1000), 2);    // 2.5 -> 2
  EXPECT_EQ(Protrusion(7, 500, 1000), 4);    // 3.5 -> 4
  EXPECT_EQ(Protrusion(50, 1000, 1000), 0);
  EXPECT_EQ(Protrusion(-5, 500, 1000), -2);  // -2.5 -> -2
  // The extremes stay finite and inside 64 bits.
  EXPECT_EQ(Protrusion(kMax, kMin, 1), static_cast<std::int64_t>(kMax) * (1 - static_cast<std::int64_t>(kMin)));
}
