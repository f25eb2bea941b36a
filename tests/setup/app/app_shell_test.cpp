// The application's standard error report, and the DLL search that keeps planted DLLs out.
#include <gtest/gtest.h>
#include <windows.h>

#include <stdexcept>
#include <thread>

#include "support/ui_driver.h"
#include "base/dll_search.h"
#include "base/ui/standard_report.h"
#include "setup/wizard/progress_view.h"
#include "toolkit/application.h"
#include "toolkit/error_report.h"

namespace setup {
namespace {

struct SeenBox {
  std::wstring caption, text;
  bool errorIcon = false;
};

// Reports `message` as an escaped exception would be, and reads the box that the report shows.
SeenBox Report(const std::string& utf8Message) {
  SeenBox seen;
  std::thread driver([&] {
    const HWND box = ui::WaitForWindow(L"#32770", nullptr);
    if (!box) return ADD_FAILURE() << "no message box";
    seen.caption = ui::TextOf(box);
    for (HWND label : ui::Children(box, L"Static")) {
      if (!ui::TextOf(label).empty()) seen.text = ui::TextOf(label);
      if (SendMessageW(label, STM_GETICON, 0, 0)) seen.errorIcon = true;
    }
    PostMessageW(box, WM_COMMAND, IDOK, 0);
  });
  try {
    throw std::runtime_error(utf8Message);
  } catch (...) {
    tk::ReportCurrentException();
  }
  driver.join();
  return seen;
}

TEST(StandardErrorReportTest, ShowsTheTextUnderTheApplicationTitleWithAFullStopAboveCode46) {
  tk::Application app;
  app.SetTitle(setup::kApplicationTitle);
  base::InstallStandardErrorReport(setup::kApplicationTitle);

  SeenBox seen = Report("Ошибка записи значения реестра");
  EXPECT_EQ(L"Установка программы", seen.caption);
  EXPECT_EQ(L"Ошибка записи значения реестра.", seen.text);
  EXPECT_TRUE(seen.errorIcon);
  // The full stop's own code (46) and below keep the text as it is; from 47 ('/') on, one is
  // added.
  EXPECT_EQ(L"Готово.", Report("Готово.").text);
  EXPECT_EQ(L"a-", Report("a-").text);
  EXPECT_EQ(L"C:/.", Report("C:/").text);

  tk::SetErrorReporter(nullptr);
}

// planted_probe.dll lies beside this test program, as a planted DLL would beside Setup.exe in a
// downloads folder.
TEST(DllSearchTest, ADllBesideTheProgramIsNoLongerFoundByName) {
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring probe = path;
  probe = probe.substr(0, probe.rfind(L'\\') + 1) + L"planted_probe.dll";

  HMODULE byPath = LoadLibraryW(probe.c_str());
  ASSERT_TRUE(byPath) << "the probe DLL is missing or does not load";
  FreeLibrary(byPath);
  HMODULE byName = LoadLibraryW(L"planted_probe.dll");
  ASSERT_TRUE(byName) << "the probe was not found by name even before";
  FreeLibrary(byName);

  base::KeepPlantedDllsOut();
  EXPECT_EQ(nullptr, LoadLibraryW(L"planted_probe.dll"));
  // The system's own DLLs are still found.
  HMODULE system = LoadLibraryW(L"version.dll");
  EXPECT_TRUE(system);
  if (system) FreeLibrary(system);
}

}  // namespace
}  // namespace setup
