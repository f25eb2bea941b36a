#include "setup/install_view.h"

#include "setup/dialogs.h"

namespace setup {

void InstallView::ShowRunError(const std::wstring& text) {
  ShowErrorBox(L"Ошибка", text);
}

void InstallView::ToolsStarted(StartedTools) {}

}  // namespace setup
