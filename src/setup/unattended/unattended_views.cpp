#include "setup/unattended/unattended_views.h"

#include <windows.h>

#include "base/started_programs.h"
#include "toolkit/application.h"

namespace setup {

WriteErrorAnswer UnattendedWriteErrorPolicy::Answer(unsigned long systemError, int attempt) const {
  const bool held = systemError == ERROR_SHARING_VIOLATION || systemError == ERROR_LOCK_VIOLATION;
  if (!held || attempt > kRetries) return WriteErrorAnswer::kAbort;
  pause_(kRetryPause);
  return WriteErrorAnswer::kRetry;
}

void WindowlessView::Pump() {
  if (auto* app = tk::Application::Instance()) app->ProcessMessages();
}

template <typename View>
void UnattendedAnswers<View>::PauseWithMessages(std::chrono::milliseconds pause) {
  base::WaitPumping({}, pause, [this] { this->Pump(); });
}

template <typename View>
void UnattendedAnswers<View>::WaitForToolsPumping(base::StartedTools& tools) {
  base::WaitForTools(tools, kToolWait, log_, [this] { this->Pump(); });
}

template class UnattendedAnswers<WindowlessView>;
template class UnattendedAnswers<ProgressView>;

}  // namespace setup
