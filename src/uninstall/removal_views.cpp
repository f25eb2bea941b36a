#include "uninstall/removal_views.h"

#include <windows.h>

#include "toolkit/application.h"

namespace uninstall {

RemovalWindow::RemovalWindow() {
  SetWindowTextW(Handle(), L"Удаление программы");
  SetWindowTextW(Ctl().Label6, L"Процесс удаления программы.");
  SetCancelQuestion(L"Прервать удаление программы?");
}

void WindowlessRemovalView::Pump() {
  if (auto* app = tk::Application::Instance()) app->ProcessMessages();
}

}  // namespace uninstall
