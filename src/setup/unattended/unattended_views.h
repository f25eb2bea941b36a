// The views of an unattended run. /VERYSILENT watches through UnattendedView (no window at all);
// /SILENT through UnattendedWindow, the progress window alone, whose cancel button and close
// requests behave as on the wizard's "Progress" page. Both answer every question
// themselves (UnattendedAnswers), show no error (the run logs it), and wait for the registration
// tools the run started.
#pragma once

#include <chrono>
#include <functional>

#include "base/program_log.h"
#include "setup/run/install_view.h"
#include "base/held_files.h"
#include "setup/wizard/progress_view.h"

namespace setup {

// The answer of unattended runs to the write-error question: a file held by another process (a
// sharing or lock violation) is retried until kRetries retries have failed, with a pause of
// kRetryPause before each; then, and on any other failure, Abort.
class UnattendedWriteErrorPolicy {
 public:
  static constexpr int kRetries = base::kHeldFileRetries;
  static constexpr std::chrono::milliseconds kRetryPause = base::kHeldFileRetryPause;
  using Pause = std::function<void(std::chrono::milliseconds)>;

  explicit UnattendedWriteErrorPolicy(Pause pause) : pause_(std::move(pause)) {}
  // attempt counts the failed attempts at the file at hand, from 1.
  WriteErrorAnswer Answer(unsigned long systemError, int attempt) const;

 private:
  Pause pause_;
};

// How long an unattended run waits for the two registration tools, both together.
inline constexpr std::chrono::seconds kToolWait{60};

// What both unattended views answer, on top of the view they extend (View: an InstallView with
// Pump() and LockCancel()).
template <typename View>
class UnattendedAnswers : public View {
 public:
  template <typename... Args>
  explicit UnattendedAnswers(base::ProgramLog& log, Args&&... args)
      : View(std::forward<Args>(args)...),
        log_(log),
        policy_([this](std::chrono::milliseconds pause) { PauseWithMessages(pause); }) {}

  WriteErrorAnswer AskWriteError(const std::wstring&, unsigned long systemError,
                                 int attempt) override {
    return policy_.Answer(systemError, attempt);
  }
  void ShowRunError(const std::wstring&) override {}  // the run has logged it
  bool AcceptDiskShortfall(const VolumeSpace&) override { return false; }
  void ShowFolderError(const std::wstring&) override {}
  const wchar_t* RefusalNote() const override { return L"nothing installed"; }
  // The run is over but for the tools: nothing can be cancelled any more.
  void ToolsStarted(base::StartedTools tools) override {
    this->LockCancel();
    WaitForToolsPumping(tools);
  }

 private:
  void PauseWithMessages(std::chrono::milliseconds pause);
  void WaitForToolsPumping(base::StartedTools& tools);

  base::ProgramLog& log_;
  UnattendedWriteErrorPolicy policy_;
};

// /VERYSILENT's base: shows nothing, cannot be cancelled.
class WindowlessView : public InstallView {
 public:
  void SetFileLabel(const std::wstring&) override {}
  void SetGaugeMax(std::int32_t) override {}
  void SetGaugePosition(std::int32_t) override {}
  void SetGaugeVisible(bool) override {}
  bool Aborted() const override { return false; }
  void Pump() override;
  void LockCancel() {}
};

using UnattendedView = UnattendedAnswers<WindowlessView>;
using UnattendedWindow = UnattendedAnswers<ProgressView>;

extern template class UnattendedAnswers<WindowlessView>;
extern template class UnattendedAnswers<ProgressView>;

}  // namespace setup
