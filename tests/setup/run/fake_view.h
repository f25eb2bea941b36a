// An InstallView that records what a run shows and answers the write-error question from a
// script, for tests that drive a run without the wizard window.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "setup/run/install_view.h"

namespace testing_support {

class FakeView : public setup::InstallView {
 public:
  void SetFileLabel(const std::wstring& text) override { labels.push_back(text); }
  void SetGaugeMax(std::int32_t max) override { gaugeMax.push_back(max); }
  void SetGaugePosition(std::int32_t position) override { positions.push_back(position); }
  void SetGaugeVisible(bool visible) override { visibility.push_back(visible); }
  bool Aborted() const override { return aborted; }
  setup::WriteErrorAnswer AskWriteError(const std::wstring& text, unsigned long systemError,
                                        int attempt) override {
    questions.push_back(text);
    questionErrors.push_back(systemError);
    attempts.push_back(attempt);
    if (onQuestion) onQuestion(questions.size());
    if (answers.empty()) return setup::WriteErrorAnswer::kIgnore;
    const setup::WriteErrorAnswer answer = answers.front();
    answers.pop_front();
    return answer;
  }
  void Pump() override {
    ++pumps;
    if (onPump) onPump(pumps);
  }
  void ShowRunError(const std::wstring& text) override { shownErrors.push_back(text); }
  bool AcceptDiskShortfall(const setup::VolumeSpace&) override { return acceptShortfall; }
  void ShowFolderError(const std::wstring& text) override { shownErrors.push_back(text); }

  std::vector<std::wstring> labels, questions, shownErrors;
  std::vector<unsigned long> questionErrors;  // the system error code given with each question
  std::vector<int> attempts;                  // the attempt number given with each question
  std::vector<std::int32_t> gaugeMax, positions;
  std::vector<bool> visibility;
  std::deque<setup::WriteErrorAnswer> answers;  // for AskWriteError; Ignore once they run out
  std::function<void(std::size_t)> onQuestion;  // before the answer is given
  std::function<void(int)> onPump;              // after each pump, with the count so far
  bool aborted = false;
  bool acceptShortfall = false;
  int pumps = 0;
};

}  // namespace testing_support
