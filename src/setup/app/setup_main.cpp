#include "setup/app/setup_main.h"

#include <windows.h>

#include <cstdio>
#include <optional>
#include <string>

#include "core/command_line.h"
#include "core/product.h"
#include "setup/dialogs/dialogs.h"
#include "setup/wizard/form_main.h"
#include "setup/run/install_log.h"
#include "setup/run/run_outcome.h"
#include "setup/unattended/unattended_install.h"
#include "setup/unattended/unattended_views.h"
#include "setup/app/single_instance.h"
#include "setup/app/standard_report.h"
#include "toolkit/application.h"
#include "toolkit/error_report.h"
#include "win32/wide_text.h"

namespace setup {
namespace {

// The text in the ANSI code page, or nothing when the code page cannot hold it.
std::optional<std::string> ExactAnsi(const std::wstring& text) {
  if (text.empty()) return std::string();
  BOOL lost = FALSE;
  const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(),
                                    static_cast<int>(text.size()), nullptr, 0, nullptr, &lost);
  if (n <= 0 || lost) return std::nullopt;
  std::string ansi(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), static_cast<int>(text.size()),
                      ansi.data(), n, nullptr, &lost);
  if (lost || win::AnsiToWide(ansi) != text) return std::nullopt;
  return ansi;
}

std::wstring WindowsVersion() {
  using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof info;
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  const auto get = ntdll ? reinterpret_cast<RtlGetVersionFn>(
                               reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")))
                         : nullptr;
  if (!get || get(&info) != 0) return L"unknown";
  wchar_t text[128];
  swprintf(text, 128, L"%lu.%lu.%lu %ls", info.dwMajorVersion, info.dwMinorVersion,
           info.dwBuildNumber, info.szCSDVersion);
  std::wstring version = text;
  while (!version.empty() && version.back() == L' ') version.pop_back();
  return version;
}

std::wstring Elevation() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return L"unknown";
  const win::KernelHandle owned(token);
  TOKEN_ELEVATION elevation{};
  DWORD size = 0;
  if (!GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size)) {
    return L"unknown";
  }
  return elevation.TokenIsElevated ? L"elevated" : L"not elevated";
}

const wchar_t* ModeName(dt::RunMode mode) {
  switch (mode) {
    case dt::RunMode::kWizard:
      return L"wizard";
    case dt::RunMode::kSilent:
      return L"/SILENT";
    case dt::RunMode::kVerySilent:
      return L"/VERYSILENT";
  }
  return L"";
}

// Puts an error reporter in place for its lifetime and the previous one back afterwards.
class ScopedErrorReporter {
 public:
  explicit ScopedErrorReporter(tk::ErrorReporter reporter)
      : previous_(tk::SetErrorReporter(std::move(reporter))) {}
  ~ScopedErrorReporter() { tk::SetErrorReporter(std::move(previous_)); }
  ScopedErrorReporter(const ScopedErrorReporter&) = delete;
  ScopedErrorReporter& operator=(const ScopedErrorReporter&) = delete;

 private:
  tk::ErrorReporter previous_;
};

Outcome ShowWizard(const std::optional<std::string>& folder, InstallLog& log) {
  tk::Application app;  // COM for this thread
  app.SetTitle(kApplicationTitle);
  InstallStandardErrorReport();
  TFormMain form;  // creates the window; FormCreate runs
  form.UseLog(log);
  if (folder) form.SetInstallPath(*folder);
  app.SetMainWindow(form.Handle());
  form.Show();  // FormShow runs before the first paint
  app.Run();
  return form.EndedWith();
}

Outcome InstallUnattendedIn(dt::RunMode mode, const std::string& folder, InstallLog& log) {
  // Unattended runs have no folder browser, the one part of the program that needs COM.
  tk::Application app(tk::Application::Com::kNotNeeded);
  app.SetTitle(kApplicationTitle);
  // What the wizard would report in a box goes to the log, while the log is there.
  const ScopedErrorReporter toLog(
      [&log](const std::wstring& message) { log.Write(L"error: " + tk::WithFullStop(message)); });
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

}  // namespace

std::wstring HelpText() {
  const std::wstring defaultFolder = win::AnsiToWide(product::kDefaultInstallFolder);
  return std::wstring(L"Установка программы Korvu ") + product::kVersionW + L".\n\n"
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

int SetupMain(std::wstring_view commandLine) {
  dt::CommandLine options = dt::ParseCommandLine(commandLine);
  // No system box may wait for a person in an unattended run, from its first disk access on (the log
  // may be on a drive without a medium): no critical-error box, no open-file error box.
  if (options.Unattended()) SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  if (options.help) {
    MessageBoxW(nullptr, HelpText().c_str(), kApplicationTitle, MB_OK | MB_ICONINFORMATION);
    return ExitCodeOf(Outcome::kHelpShown);
  }

  // Paths the ANSI code page cannot hold cannot be used: the program works on ANSI paths.
  std::optional<std::string> folder;
  if (options.dir) {
    folder = ExactAnsi(*options.dir);
    if (!folder && !options.Bad()) options.badArgument = L"/DIR=" + *options.dir;
  }
  if (options.logFile && !ExactAnsi(*options.logFile) && !options.Bad()) {
    options.badArgument = L"/LOG=" + *options.logFile;
  }

  InstallLog log = OpenLogFor(options, L"Setup");
  const ResultLine result(log);
  const auto end = [&result](Outcome outcome) {
    return result(Describe(outcome), ExitCodeOf(outcome));
  };
  log.WriteAnsi(std::string("Setup of ") + product::kProgramTitle + ", " + product::kVersionLabel);
  log.Write(L"command line: " + std::wstring(commandLine));
  log.Write(L"Windows " + WindowsVersion() + L", " + Elevation() + L", mode " +
            ModeName(options.mode));

  if (options.Bad()) {
    log.Write(L"bad command line argument: " + options.badArgument);
    if (!options.Unattended()) {
      ShowErrorBox(L"", L"Неверный параметр командной строки: " + options.badArgument +
                            L"\rСписок параметров: Setup.exe /?");
    }
    return end(Outcome::kBadCommandLine);
  }

  const SingleInstance instance;
  if (!instance.Held()) {
    log.Write(L"another installation or uninstallation is running");
    if (!options.Unattended()) ActivateRunningInstaller();
    return end(Outcome::kAlreadyRunning);
  }

  if (!options.Unattended()) return end(ShowWizard(folder, log));
  return end(InstallUnattendedIn(options.mode, folder.value_or(product::kDefaultInstallFolder), log));
}

}  // namespace setup
