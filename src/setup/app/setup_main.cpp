#include "setup/app/setup_main.h"

#include <windows.h>

#include <optional>
#include <string>

#include "base/ui/standard_report.h"
#include "core/product.h"
#include "setup/run/run_outcome.h"
#include "setup/unattended/unattended_install.h"
#include "setup/unattended/unattended_views.h"
#include "setup/wizard/form_main.h"
#include "toolkit/application.h"
#include "toolkit/error_report.h"
#include "win32/wide_text.h"

namespace setup {
namespace {

Outcome ShowWizard(const std::optional<std::string>& folder, base::ProgramLog& log) {
  tk::Application app;  // COM for this thread
  app.SetTitle(kApplicationTitle);
  base::InstallStandardErrorReport(kApplicationTitle);
  TFormMain form;  // creates the window; FormCreate runs
  form.UseLog(log);
  if (folder) form.SetInstallPath(*folder);
  app.SetMainWindow(form.Handle());
  form.Show();  // FormShow runs before the first paint
  app.Run();
  return form.EndedWith();
}

Outcome InstallUnattendedIn(dt::RunMode mode, const std::string& folder, base::ProgramLog& log) {
  // Unattended runs have no folder browser, the one part of the program that needs COM.
  tk::Application app(tk::Application::Com::kNotNeeded);
  app.SetTitle(kApplicationTitle);
  // What the wizard would report in a box goes to the log, while the log is there.
  const base::ScopedErrorReporter toLog(base::ReportToLog(log));
  try {
    if (mode == dt::RunMode::kVerySilent) {
      UnattendedView view(log);
      return InstallUnattended(view, folder, log);
    }
    UnattendedWindow window(log);  // hidden until the run begins
    window.UseLog(log);
    app.SetMainWindow(window.Handle());
    return InstallUnattended(window, folder, log);
  } catch (...) {
    log.Write(L"error: " + tk::WithFullStop(tk::CurrentExceptionText()));
    return Outcome::kFailed;
  }
}

base::Ending Install(base::ProgramStart& start) {
  if (!start.options.Unattended()) return EndingOf(ShowWizard(start.folder, start.log));
  return EndingOf(InstallUnattendedIn(
      start.options.mode, start.folder.value_or(product::kDefaultInstallFolder), start.log));
}

}  // namespace

std::wstring HelpText() {
  const std::wstring defaultFolder = win::AnsiToWide(product::kDefaultInstallFolder);
  return L"Установка программы " + win::AnsiToWide(product::kName) + L" " + product::kVersionW +
         L".\n\n"
         L"Setup.exe [параметры]\n\n"
         L"/SILENT\tустановка без вопросов: видна только страница хода установки\n"
         L"/VERYSILENT, /S\tустановка без окон и сообщений\n"
         L"/DIR=папка\tпапка установки (по умолчанию " + defaultFolder + L")\n"
         L"/LOG\tжурнал установки во временной папке\n"
         L"/LOG=файл\tжурнал установки в указанном файле (полный путь)\n"
         L"/NORESTART, /SUPPRESSMSGBOXES, /SP-\tпринимаются, ничего не меняют\n"
         L"/?, /HELP\tэта справка\n\n"
         L"Коды завершения:\n"
         L"0\tустановка завершена (или показана справка)\n"
         L"1\tневерный параметр командной строки или ошибка запуска\n"
         L"2\tпользователь вышел до начала установки\n"
         L"3\tне удалось создать папку установки\n"
         L"4\tустановка не завершена из-за ошибки\n"
         L"5\tустановка прервана\n"
         L"6\tуже идёт установка или удаление программы\n"
         L"7\tнедостаточно места на диске";
}

void ActivateRunningInstaller() {
  // The class and the caption both: another program may well have a window of the same class.
  HWND window = FindWindowW(base::kProgressWindowClass, kApplicationTitle);
  if (!window) return;
  if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
  SetForegroundWindow(GetLastActivePopup(window));
}

base::ProgramDescription SetupProgram() {
  return {.title = kApplicationTitle,
          .fileName = L"Setup.exe",
          .logKind = L"Setup",
          .logHeading = std::string("Setup of ") + product::kProgramTitle + ", " +
                        product::kVersionLabel,
          .switches = dt::kInstallerSwitches,
          .helpText = HelpText,
          .endings = base::ShellEndingsOf<Outcome>(EndingOf),
          .helpBesideBadArgument = true,
          .ansiPathsAndEnvironment = true,
          .showRunningOne = ActivateRunningInstaller,
          .helper = {},
          .body = Install};
}

}  // namespace setup
