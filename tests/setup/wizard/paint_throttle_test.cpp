// The throttle of the progress page's paints, on a clock the test moves.
#include "base/ui/progress/paint_throttle.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;

struct Screen {
  std::chrono::microseconds now{5s};
  std::vector<std::wstring> labels;  // every label painted, in order
  std::vector<int> positions;        // every position painted
  base::PaintThrottle throttle{[this] { return now; },
                                {[this](const std::wstring& text) { labels.push_back(text); },
                                 [this](std::int32_t position) { positions.push_back(position); }}};
};

// The first state paints at once; within 16 ms of a paint states are kept back and only the
// latest paints, at 16 ms; a flush paints at once and counts as a paint.
TEST(PaintThrottle, PaintsTheLatestStateOncePer16msAndAtOnceWhenFlushed) {
  Screen s;
  s.throttle.SetLabel(L"a");
  EXPECT_TRUE(s.throttle.PaintIfDue());
  for (int i = 1; i <= 3; ++i) {
    s.now += 5ms;
    s.throttle.SetLabel(L"b" + std::to_wstring(i));
    s.throttle.SetPosition(i * 100);
    EXPECT_FALSE(s.throttle.PaintIfDue());
  }
  s.now += 999us;  // 15.999 ms after the paint
  EXPECT_FALSE(s.throttle.PaintIfDue());
  s.now += 1us;
  EXPECT_TRUE(s.throttle.PaintIfDue());
  EXPECT_EQ(s.labels, (std::vector<std::wstring>{L"a", L"b3"}));
  EXPECT_EQ(s.positions, std::vector<int>{300});  // only what was stored, the latest

  s.now += 1ms;
  s.throttle.SetPosition(400);
  s.throttle.Flush();
  s.throttle.Flush();  // nothing stored: nothing painted
  EXPECT_EQ(s.positions, (std::vector<int>{300, 400}));
  s.now += 15ms;
  s.throttle.SetLabel(L"c");
  EXPECT_FALSE(s.throttle.PaintIfDue());  // 15 ms after the flush
  s.now += 1s;                            // a pause: the next state goes through at once
  EXPECT_TRUE(s.throttle.PaintIfDue());
  EXPECT_EQ(s.labels.back(), L"c");
}

}  // namespace
