#include "uninstall/uninstall_main.h"

#include <windows.h>

#include <memory>
#include <optional>
#include <string>

#include "core/product.h"
#include "core/text.h"
#include "toolkit/application.h"
#include "toolkit/error_report.h"
#include "uninstall/removal_outcome.h"
#include "uninstall/removal_sequence.h"
#include "uninstall/removal_views.h"
#include "uninstall/self_removal.h"
#include "win32/files.h"
#include "win32/wide_text.h"

namespace uninstall {
namespace {

// The view of a mode: the person's window, /SILENT's, or none.
std::unique_ptr<RemovalView> ViewFor(dt::RunMode mode, base::ProgramLog& log,
                                     tk::Application& app) {
  if (mode == dt::RunMode::kVerySilent) return std::make_unique<WindowlessRemovalView>();
  std::unique_ptr<RemovalWindow> window = mode == dt::RunMode::kWizard
                                              ? std::make_unique<PersonRemovalWindow>()
                                              : std::make_unique<RemovalWindow>();
  window->UseLog(log);
  app.SetMainWindow(window->Handle());
  return window;
}

RemovalOutcome Uninstall(dt::RunMode mode, base::ProgramLog& log) {
  tk::Application app(tk::Application::Com::kNotNeeded);  // nothing here needs COM
  app.SetTitle(kUninstallerTitle);
  const std::string self = win::ProgramFilePath().value_or(std::string());
  // The file that runs, as it is now: the helper deletes it only if it is still this one.
  const std::optional<FileIdentity> ran = IdentityOf(self);
  const std::unique_ptr<RemovalView> view = ViewFor(mode, log, app);
  auto prepared =
      PrepareRemoval(dt::TrimTrailingBackslashes(dt::SplitPath(self).folder), *view, log);
  if (const auto* refusal = std::get_if<RemovalOutcome>(&prepared)) return *refusal;
  return RemoveAndDecide(std::get<CheckedInstallation>(prepared), *view, ran, log);
}

base::Ending Body(base::ProgramStart& start) {
  // What a person would see in a box goes to the log in unattended runs, while this run lasts.
  std::optional<base::ScopedErrorReporter> toLog;
  if (start.options.Unattended()) toLog.emplace(base::ReportToLog(start.log));
  try {
    return EndingOf(Uninstall(start.options.mode, start.log));
  } catch (...) {
    start.log.Write(L"error: " + tk::WithFullStop(tk::CurrentExceptionText()));
    if (!start.options.Unattended()) tk::ReportCurrentException();
    return EndingOf(RemovalOutcome::kErrors);
  }
}

}  // namespace

std::wstring HelpText() {
  return L"Удаление программы " + win::AnsiToWide(product::kName) + L" " + product::kVersionW +
         L".\n\n" + product::kUninstallerW +
         L" [параметры]\n\n"
         L"/SILENT\tудаление без вопросов: видно только окно хода удаления\n"
         L"/VERYSILENT, /S\tудаление без окон и сообщений\n"
         L"/LOG\tжурнал удаления во временной папке\n"
         L"/LOG=файл\tжурнал удаления в указанном файле (полный путь)\n"
         L"/NORESTART, /SUPPRESSMSGBOXES\tпринимаются, ничего не меняют\n"
         L"/?, /HELP\tэта справка\n\n"
         L"Коды завершения:\n"
         L"0\tпрограмма удалена (или показана справка)\n"
         L"1\tневерный параметр командной строки или ошибка запуска\n"
         L"2\tпользователь отказался от удаления\n"
         L"3\tничего не изменено: данные для удаления отсутствуют, повреждены или не той папки\n"
         L"4\tудаление завершено с ошибками; запись программы сохранена\n"
         L"5\tудаление прервано; повторный запуск его завершит\n"
         L"6\tуже идёт установка или удаление программы\n"
         L"3010\tпрограмма удалена; для завершения перезагрузите компьютер";
}

base::ProgramDescription UninstallerProgram() {
  // /? beside a bad argument is a bad command line here; no ANSI checks of paths (it takes no
  // folder) and no environment lines in the log; nothing to bring to the front.
  return {.title = kUninstallerTitle,
          .fileName = product::kUninstallerW,
          .logKind = L"Uninstall",
          .logHeading = std::string("Uninstaller of ") + product::kProgramTitle + ", " +
                        product::kVersionLabel,
          .switches = dt::kUninstallerSwitches,
          .helpText = HelpText,
          .endings = base::ShellEndingsOf<RemovalOutcome>(EndingOf),
          .helpBesideBadArgument = false,
          .ansiPathsAndEnvironment = false,
          .showRunningOne = {},
          .helper = RunHelper,
          .body = Body};
}

}  // namespace uninstall
