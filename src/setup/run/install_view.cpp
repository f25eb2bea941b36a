#include "setup/run/install_view.h"

namespace setup {

const wchar_t* AnswerName(WriteErrorAnswer answer) {
  switch (answer) {
    case WriteErrorAnswer::kAbort:
      return L"Abort";
    case WriteErrorAnswer::kRetry:
      return L"Retry";
    case WriteErrorAnswer::kIgnore:
      return L"Ignore";
    case WriteErrorAnswer::kClosed:
      break;
  }
  return L"closed (skip)";
}

void InstallView::ToolsStarted(base::StartedTools) {}

}  // namespace setup
