#include "setup/app/standard_report.h"

#include <windows.h>

#include <string>

#include "toolkit/application.h"
#include "toolkit/error_report.h"

namespace setup {

void InstallStandardErrorReport() {
  tk::SetErrorReporter([](const std::wstring& message) {
    const tk::Application* app = tk::Application::Instance();
    const std::wstring title = app && !app->Title().empty() ? app->Title() : kApplicationTitle;
    MessageBoxW(GetActiveWindow(), tk::WithFullStop(message).c_str(), title.c_str(),
                MB_OK | MB_ICONERROR);
  });
}

}  // namespace setup
