#include "setup/unattended/unattended_views.h"

#include <windows.h>

#include "setup/run/started_tools.h"
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
  const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(pause.count());
  for (ULONGLONG now = GetTickCount64(); now < end; now = GetTickCount64()) {
    if (MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT) ==
        WAIT_OBJECT_0) {
      this->Pump();
    }
  }
}

template <typename View>
void UnattendedAnswers<View>::WaitForToolsPumping(StartedTools& tools) {
  WaitForTools(tools, kToolWait, log_, [this] { this->Pump(); });
}

template class UnattendedAnswers<WindowlessView>;
template class UnattendedAnswers<TFormMain>;

}  // namespace setup
