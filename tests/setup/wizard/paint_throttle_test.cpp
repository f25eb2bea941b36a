// The throttle of the progress page's paints, on a clock the test moves.
#include "setup/wizard/paint_throttle.h"

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
  setup::PaintThrottle throttle{[this] { return now; },
                                {[this](const std::wstring& text) { labels.push_back(text); },
                                 [this](std::int32_t position) { positions.push_back(position); }}};
};

TEST(PaintThrottle, PaintsAtOnceFirstThenOnlyTheLatestStateOncePer16ms) {
  Screen s;
  s.throttle.SetLabel(L"a");
  EXPECT_TRUE(s.throttle.PaintIfDue());  // nothing painted yet: at once
  EXPECT_EQ(s.labels, std::vector<std::wstring>{L"a"});
  EXPECT_TRUE(s.positions.empty());  // only what was stored

  // Within 16 ms every state is kept back; the later replaces the earlier.
  for (int i = 1; i <= 3; ++i) {
    s.now += 5ms;
    s.throttle.SetLabel(L"b" + std::to_wstring(i));
    s.throttle.SetPosition(i * 100);
    EXPECT_FALSE(s.throttle.PaintIfDue());
  }
  s.now += 999us;  // 15.999 ms after the paint
  EXPECT_FALSE(s.throttle.PaintIfDue());
  EXPECT_EQ(s.labels.size(), 1u);
  s.now += 1us;  // 16 ms
  EXPECT_TRUE(s.throttle.PaintIfDue());
  EXPECT_EQ(s.labels, (std::vector<std::wstring>{L"a", L"b3"}));
  EXPECT_EQ(s.positions, std::vector<int>{300});
  EXPECT_FALSE(s.throttle.Pending());

  // Nothing stored: nothing to paint, and a pause without paints lets the next state through.
  s.now += 1s;
  EXPECT_FALSE(s.throttle.PaintIfDue());
  s.throttle.SetPosition(400);
  EXPECT_TRUE(s.throttle.PaintIfDue());
  EXPECT_EQ(s.positions, (std::vector<int>{300, 400}));
}

TEST(PaintThrottle, FlushPaintsTheStoredStateWhateverTheTimeAndRestartsTheInterval) {
  Screen s;
  s.throttle.SetLabel(L"a");
  s.throttle.PaintIfDue();
  s.now += 1ms;
  s.throttle.SetLabel(L"b");
  s.throttle.SetPosition(7);
  s.throttle.Flush();
  EXPECT_EQ(s.labels, (std::vector<std::wstring>{L"a", L"b"}));
  EXPECT_EQ(s.positions, std::vector<int>{7});
  s.throttle.Flush();  // nothing stored: nothing painted again
  EXPECT_EQ(s.labels.size(), 2u);

  // The flush counts as a paint: the next state waits 16 ms from it.
  s.now += 10ms;
  s.throttle.SetLabel(L"c");
  EXPECT_FALSE(s.throttle.PaintIfDue());
  s.now += 6ms;
  EXPECT_TRUE(s.throttle.PaintIfDue());
  EXPECT_EQ(s.labels.back(), L"c");
}

}  // namespace
