// The unattended answer to the write-error question: a held file is retried ten times with a
// pause before each retry, anything else ends the run at once.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "setup/unattended/unattended_views.h"

namespace {

using setup::UnattendedWriteErrorPolicy;
using setup::WriteErrorAnswer;

struct Answers {
  std::vector<WriteErrorAnswer> given;
  std::vector<std::chrono::milliseconds> pauses;
};

// The answers to the attempts at one file that keeps failing with systemError.
Answers AnswersFor(unsigned long systemError) {
  Answers answers;
  const UnattendedWriteErrorPolicy policy(
      [&answers](std::chrono::milliseconds pause) { answers.pauses.push_back(pause); });
  for (int attempt = 1; attempt <= 20; ++attempt) {
    answers.given.push_back(policy.Answer(systemError, attempt));
    if (answers.given.back() != WriteErrorAnswer::kRetry) break;
  }
  return answers;
}

TEST(UnattendedWriteErrorPolicy, RetriesAHeldFileTenTimesThenAborts) {
  const std::vector<unsigned long> held = {ERROR_SHARING_VIOLATION, ERROR_LOCK_VIOLATION};
  for (const unsigned long error : held) {
    const Answers answers = AnswersFor(error);
    std::vector<WriteErrorAnswer> expected(10, WriteErrorAnswer::kRetry);
    expected.push_back(WriteErrorAnswer::kAbort);
    EXPECT_EQ(answers.given, expected) << error;
    EXPECT_EQ(answers.pauses,
              std::vector<std::chrono::milliseconds>(10, std::chrono::milliseconds(500)));
  }
}

TEST(UnattendedWriteErrorPolicy, AbortsAtOnceOnAnyOtherError) {
  const std::vector<unsigned long> others = {ERROR_ACCESS_DENIED, ERROR_DISK_FULL,
                                             ERROR_PATH_NOT_FOUND, ERROR_SUCCESS};
  for (const unsigned long other : others) {
    const Answers answers = AnswersFor(other);
    EXPECT_EQ(answers.given, std::vector<WriteErrorAnswer>{WriteErrorAnswer::kAbort}) << other;
    EXPECT_TRUE(answers.pauses.empty());
  }
}

// Each file starts with the whole budget: the budget is the attempt number the run hands over.
TEST(UnattendedWriteErrorPolicy, EveryFileHasItsOwnBudget) {
  int pauses = 0;
  const UnattendedWriteErrorPolicy policy([&pauses](std::chrono::milliseconds) { ++pauses; });
  EXPECT_EQ(policy.Answer(ERROR_SHARING_VIOLATION, 11), WriteErrorAnswer::kAbort);
  EXPECT_EQ(policy.Answer(ERROR_SHARING_VIOLATION, 1), WriteErrorAnswer::kRetry);
  EXPECT_EQ(pauses, 1);
}

}  // namespace
