#include "base/ui/standard_report.h"

#include <windows.h>

#include <string>

#include "toolkit/application.h"
#include "toolkit/error_report.h"

namespace base {

void InstallStandardErrorReport(const wchar_t* fallbackTitle) {
  const std::wstring fallback = fallbackTitle;
  tk::SetErrorReporter([fallback](const std::wstring& message) {
    const tk::Application* app = tk::Application::Instance();
    const std::wstring title = app && !app->Title().empty() ? app->Title() : fallback;
    MessageBoxW(GetActiveWindow(), tk::WithFullStop(message).c_str(), title.c_str(),
                MB_OK | MB_ICONERROR);
  });
}

}  // namespace base
