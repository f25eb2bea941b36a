#include "setup/silent_views.h"

#include <windows.h>

#include "setup/dialogs.h"
#include "toolkit/application.h"

namespace setup {
namespace {

void ProcessMessages() {
  if (auto* app = tk::Application::Instance()) {
    app->ProcessMessages();
    return;
  }
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

// Waits for the given time, handling window messages as they come.
void PauseWithMessages(std::chrono::milliseconds pause, const std::function<void()>& pump) {
  const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(pause.count());
  for (ULONGLONG now = GetTickCount64(); now < end; now = GetTickCount64()) {
    if (MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT) ==
        WAIT_OBJECT_0) {
      pump();
    }
  }
}

}  // namespace

int SilentWriteErrorPolicy::Answer(unsigned long systemError) {
  const bool held = systemError == ERROR_SHARING_VIOLATION || systemError == ERROR_LOCK_VIOLATION;
  if (!held || retries_ >= kRetries) return kAbort;
  ++retries_;
  PauseWithMessages(kRetryPause, pump_);
  return kRetry;
}

HeadlessView::HeadlessView() : policy_(ProcessMessages) {}

int HeadlessView::AskWriteError(const std::wstring&, unsigned long systemError) {
  return policy_.Answer(systemError);
}

// Every entry begins by naming its file: the retries of a held file count afresh from there (a
// pump, which may run a declined cancel question, does not reset them).
void HeadlessView::SetFileLabel(const std::wstring&) {
  policy_.NextEntry();
}

void HeadlessView::Pump() {
  ProcessMessages();
}

SilentWindow::SilentWindow(InstallLog& log) : policy_(ProcessMessages) {
  UseLog(log);
}

int SilentWindow::AskWriteError(const std::wstring&, unsigned long systemError) {
  return policy_.Answer(systemError);
}

void SilentWindow::SetFileLabel(const std::wstring& text) {
  policy_.NextEntry();
  TFormMain::SetFileLabel(text);
}

}  // namespace setup
