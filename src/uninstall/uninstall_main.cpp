#include "uninstall/uninstall_main.h"

#include <windows.h>

#include <optional>
#include <string>

#include "core/command_line.h"
#include "core/product.h"
#include "core/text.h"
#include "setup/app/single_instance.h"
#include "setup/dialogs/dialogs.h"
#include "setup/run/install_log.h"
#include "toolkit/application.h"
#include "toolkit/error_report.h"
#include "uninstall/installation.h"
#include "uninstall/removal.h"
#include "uninstall/removal_outcome.h"
#include "uninstall/removal_views.h"
#include "uninstall/self_removal.h"
#include "win32/files.h"
#include "win32/wide_text.h"

namespace uninstall {
namespace {

constexpr wchar_t kTitle[] = L"Удаление программы";

// The running uninstaller's file.
std::string OwnPath() {
  return win::ProgramFilePath().value_or(std::string());
}

// The folder that holds it.
std::string OwnFolder() {
  return dt::TrimTrailingBackslashes(dt::SplitPath(OwnPath()).folder);
}

// /DIR and /SP- belong to the installer: here they are bad arguments.
void RefuseInstallerSwitches(std::wstring_view commandLine, dt::CommandLine& options) {
  std::vector<std::wstring> arguments = dt::SplitArguments(commandLine);
  if (!arguments.empty()) arguments.erase(arguments.begin());
  for (const std::wstring& argument : arguments) {
    if (argument.size() < 2 || (argument[0] != L'/' && argument[0] != L'-')) continue;
    std::wstring name = argument.substr(1, argument.find(L'=') - 1);
    for (wchar_t& c : name) c = static_cast<wchar_t>(towupper(c));
    if ((name == L"DIR" || name == L"SP-") && !options.Bad()) options.badArgument = argument;
  }
}

// The final box's text: removed, what was kept, and a restart when one is needed.
std::wstring FinalText(const std::string& title, const RemovalReport& report) {
  std::wstring text = L"Программа \"" + win::AnsiToWide(title) + L"\" удалена с компьютера.";
  if (!report.kept.empty()) {
    text += L"\r\rНе удалены:";
    for (std::size_t i = 0; i < report.kept.size() && i < 10; ++i) {
      text += L"\r" + win::AnsiToWide(report.kept[i]);
    }
    if (report.kept.size() > 10) text += L"\rи ещё " + std::to_wstring(report.kept.size() - 10) + L".";
  }
  if (report.restartNeeded) text += L"\rДля завершения удаления перезагрузите компьютер.";
  return text;
}

RemovalOutcome OutcomeOf(const RemovalReport& report) {
  if (report.cancelled) return RemovalOutcome::kCancelled;
  if (!report.failed.empty()) return RemovalOutcome::kErrors;
  return report.restartNeeded ? RemovalOutcome::kRestartNeeded : RemovalOutcome::kRemoved;
}

RemovalOutcome Remove(dt::RunMode mode, setup::InstallLog& log) {
  const bool person = mode == dt::RunMode::kWizard;
  tk::Application app(tk::Application::Com::kNotNeeded);  // nothing here needs COM
  app.SetTitle(kTitle);
  // The file that runs, as it is now: the helper deletes it only if it is still this one.
  const std::optional<FileIdentity> ran = IdentityOf(OwnPath());
  const auto installation = FindInstallation(OwnFolder(), log);
  if (!installation) {
    if (person) {
      setup::ShowErrorBox(L"", L"Ошибка в данных для удаления программы: \"" +
                                   win::AnsiToWide(OwnFolder() + "\\Uninstaller.dat") + L"\".");
    }
    return RemovalOutcome::kNothingChanged;
  }
  if (person) {
    const std::wstring question = L"Удалить программу\r\"" +
                                  win::AnsiToWide(installation->title) +
                                  L"\" и все её компоненты?";
    const int answer = setup::ConfirmDialog(question, setup::kOkCancel);
    log.Write(L"question: " + question + L", answer: " + (answer == setup::kOk ? L"OK" : L"Cancel"));
    if (answer != setup::kOk) return RemovalOutcome::kDeclined;
  }
  RemovalReport report;
  if (mode == dt::RunMode::kVerySilent) {
    WindowlessRemovalView view;
    report = RemoveInstallation(*installation, view, SystemRemoval(), log);
  } else {
    RemovalWindow window;
    window.UseLog(log);
    app.SetMainWindow(window.Handle());
    window.RunBegins();
    report = RemoveInstallation(*installation, window, SystemRemoval(), log);
    window.RunEnds();
    ShowWindow(window.Handle(), SW_HIDE);
  }
  const RemovalOutcome outcome = OutcomeOf(report);
  if (report.entryRemoved && ran) {
    StartSelfRemoval({OwnPath(), *ran, report.foldersHoldingTheUninstaller}, log);
  }
  if (person && outcome == RemovalOutcome::kErrors) {
    const RemovalReport::Failure& first = report.failed.front();
    setup::ShowErrorBox(L"", (first.what == "folder" ? L"Ошибка удаления директории: \""
                                                    : L"Ошибка удаления файла: \"") +
                                 win::AnsiToWide(first.path) + L"\".");
  } else if (person && outcome != RemovalOutcome::kCancelled) {
    MessageBoxW(nullptr, FinalText(installation->title, report).c_str(), kTitle,
                MB_OK | MB_ICONINFORMATION);
  }
  return outcome;
}

}  // namespace

std::wstring HelpText() {
  return std::wstring(L"Удаление программы Korvu ") + product::kVersionW +
         L".\n\n"
         L"Uninstaller.exe [параметры]\n\n"
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

int UninstallMain(std::wstring_view commandLine) {
  if (IsHelperCommandLine(commandLine)) return RunHelper(commandLine);
  dt::CommandLine options = dt::ParseCommandLine(commandLine);
  RefuseInstallerSwitches(commandLine, options);
  if (options.Unattended()) SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  if (options.help && !options.Bad()) {
    MessageBoxW(nullptr, HelpText().c_str(), kTitle, MB_OK | MB_ICONINFORMATION);
    return ExitCodeOf(RemovalOutcome::kHelpShown);
  }

  setup::InstallLog log = setup::OpenLogFor(options, L"Uninstall");
  const setup::ResultLine result(log);
  const auto end = [&result](RemovalOutcome outcome) {
    return result(Describe(outcome), ExitCodeOf(outcome));
  };
  log.WriteAnsi(std::string("Uninstaller of ") + product::kProgramTitle + ", " +
                product::kVersionLabel);
  log.Write(L"command line: " + std::wstring(commandLine));

  if (options.Bad()) {
    log.Write(L"bad command line argument: " + options.badArgument);
    if (!options.Unattended()) {
      setup::ShowErrorBox(L"", L"Неверный параметр командной строки: " + options.badArgument +
                                   L"\rСписок параметров: Uninstaller.exe /?");
    }
    return end(RemovalOutcome::kBadCommandLine);
  }

  const setup::SingleInstance instance;
  if (!instance.Held()) {
    log.Write(L"another installation or uninstallation is running");
    return end(RemovalOutcome::kAlreadyRunning);
  }
  // What a person would see in a box goes to the log in unattended runs.
  if (options.Unattended()) {
    tk::SetErrorReporter(
        [&log](const std::wstring& message) { log.Write(L"error: " + tk::WithFullStop(message)); });
  }
  try {
    return end(Remove(options.mode, log));
  } catch (...) {
    log.Write(L"error: " + tk::WithFullStop(tk::CurrentExceptionText()));
    if (!options.Unattended()) tk::ReportCurrentException();
    return end(RemovalOutcome::kErrors);
  }
}

}  // namespace uninstall
