#include "core/gauge_math.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

TEST(GaugeMath, HalvesRoundToTheEvenNeighbour) {
  EXPECT_EQ(dt::RoundHalfEven(12.5L), 12);
  EXPECT_EQ(dt::RoundHalfEven(37.5L), 38);
  EXPECT_EQ(dt::RoundHalfEven(0.5L), 0);
  EXPECT_EQ(dt::RoundHalfEven(-0.5L), 0);
  EXPECT_EQ(dt::RoundHalfEven(-1.5L), -2);
  EXPECT_EQ(dt::RoundHalfEven(2.5000000001L), 3);
  EXPECT_EQ(dt::RoundHalfEven(2.4999999999L), 2);
}

TEST(GaugeMath, RoundingSaturatesInsteadOfOverflowing) {
  EXPECT_EQ(dt::RoundHalfEven(1e12L), std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(dt::RoundHalfEven(-1e12L), std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(dt::RoundHalfEven(std::numeric_limits<long double>::quiet_NaN()), 0);
}

TEST(GaugeMath, FillAndPercentOfSmallRanges) {
  // 100 / 8 * 1 = 12.5 and 100 / 8 * 3 = 37.5: the halves go to the even side.
  EXPECT_EQ(dt::GaugeFillWidth(100, 8, 1), 12);
  EXPECT_EQ(dt::GaugePercent(8, 1), 12);
  EXPECT_EQ(dt::GaugeFillWidth(100, 8, 3), 38);
  EXPECT_EQ(dt::GaugePercent(8, 3), 38);
  EXPECT_EQ(dt::GaugeFillWidth(333, 100, 100), 333);
  EXPECT_EQ(dt::GaugePercent(100, 100), 100);
  EXPECT_EQ(dt::GaugePercent(5, 3), 60);
}

TEST(GaugeMath, ByteCountsInTheMillionsNeverOverflow) {
  EXPECT_EQ(dt::GaugeFillWidth(256, 4194304, 3000000), 183);  // 183.10546875
  EXPECT_EQ(dt::GaugePercent(4194304, 3000000), 72);          // 71.52557373046875
  const std::int32_t big = std::numeric_limits<std::int32_t>::max();
  EXPECT_EQ(dt::GaugeFillWidth(333, big, big), 333);
  EXPECT_EQ(dt::GaugePercent(big, big - 1), 100);
  EXPECT_EQ(dt::GaugeFillWidth(333, big, big / 2), 166);  // 166.4999999...
}

TEST(GaugeMath, TheExactFillKeepsItsFraction) {
  // The position setter compares this unrounded value with the rounded one.
  EXPECT_EQ(dt::GaugeFillExact(100, 8, 1), 12.5L);
  EXPECT_EQ(dt::GaugeFillExact(100, 100, 50), 50.0L);
  // width / max first, then times position: 1/41 is not exact, and times 41 it misses 1.
  EXPECT_NE(dt::GaugeFillExact(1, 41, 41), 1.0L);
  EXPECT_EQ(dt::GaugeFillWidth(1, 41, 41), 1);
}

TEST(GaugeMath, AZeroMaximumGivesNoFillAndNoPercentage) {
  EXPECT_EQ(dt::GaugeFillExact(100, 0, -5), 0.0L);
  EXPECT_EQ(dt::GaugeFillWidth(100, 0, 7), 0);
  EXPECT_EQ(dt::GaugePercent(0, 7), 0);
}

TEST(GaugeMath, PositionsBeyondTheRangeGiveFillsBeyondTheWidth) {
  EXPECT_EQ(dt::GaugeFillWidth(100, 100, 150), 150);
  EXPECT_EQ(dt::GaugePercent(100, 150), 150);
  EXPECT_EQ(dt::GaugeFillWidth(100, 100, -20), -20);
  EXPECT_EQ(dt::GaugePercent(1, std::numeric_limits<std::int32_t>::max()),
            std::numeric_limits<std::int32_t>::max());
}

}  // namespace
