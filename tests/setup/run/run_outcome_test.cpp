// The one table from a run's outcome to the exit code that deployment tools read.
#include <gtest/gtest.h>

#include <set>
#include <utility>
#include <vector>

#include "setup/run/run_outcome.h"

namespace {

using setup::Outcome;

TEST(RunOutcome, ExitCodesAsDocumented) {
  const std::vector<std::pair<Outcome, int>> table = {
      {Outcome::kHelpShown, 0},      {Outcome::kCompleted, 0},
      {Outcome::kBadCommandLine, 1}, {Outcome::kStartFailed, 1},
      {Outcome::kLeftBeforeRun, 2},  {Outcome::kFolderNotCreated, 3},
      {Outcome::kFailed, 4},         {Outcome::kCancelled, 5},
      {Outcome::kAlreadyRunning, 6}, {Outcome::kNoDiskSpace, 7},
  };
  std::set<std::wstring> descriptions;
  for (const auto& [outcome, code] : table) {
    EXPECT_EQ(setup::ExitCodeOf(outcome), code) << static_cast<int>(outcome);
    descriptions.insert(setup::Describe(outcome));
  }
  EXPECT_EQ(descriptions.size(), table.size());  // the log tells every outcome apart
  EXPECT_EQ(descriptions.count(L""), 0u);
}

TEST(RunOutcome, ARunIsDecidedByCompletionThenByTheCancelFlag) {
  EXPECT_EQ(setup::DecideOutcome(true, false), Outcome::kCompleted);
  EXPECT_EQ(setup::DecideOutcome(true, true), Outcome::kCompleted);  // a late cancel comes too late
  EXPECT_EQ(setup::DecideOutcome(false, true), Outcome::kCancelled);
  EXPECT_EQ(setup::DecideOutcome(false, false), Outcome::kFailed);
}

}  // namespace
