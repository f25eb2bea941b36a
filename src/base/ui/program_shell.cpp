#include "base/ui/program_shell.h"

#include <windows.h>

#include <cstdio>

#include "base/dll_search.h"
#include "base/single_instance.h"
#include "base/ui/dialogs/dialogs.h"
#include "win32/handles.h"
#include "win32/wide_text.h"

namespace base {
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

int RunProgram(const ProgramDescription& program, std::wstring_view commandLine) {
  dt::CommandLine options = dt::ParseCommandLine(commandLine, program.switches);
  if (options.helper) return program.helper ? program.helper(*options.helper) : 1;
  // No system box may wait for a person in an unattended run, from its first disk access on (the
  // log may be on a drive without a medium): no critical-error box, no open-file error box.
  if (options.Unattended()) SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  if (options.help && (program.helpBesideBadArgument || !options.Bad())) {
    MessageBoxW(nullptr, program.helpText().c_str(), program.title, MB_OK | MB_ICONINFORMATION);
    return program.endings.helpShown.exitCode;
  }

  std::optional<std::string> folder;
  if (program.ansiPathsAndEnvironment) {
    // Paths the ANSI code page cannot hold cannot be used: the program works on ANSI paths.
    if (options.dir) {
      folder = ExactAnsi(*options.dir);
      if (!folder && !options.Bad()) options.badArgument = L"/DIR=" + *options.dir;
    }
    if (options.logFile && !ExactAnsi(*options.logFile) && !options.Bad()) {
      options.badArgument = L"/LOG=" + *options.logFile;
    }
  }

  ProgramLog log = OpenLogFor(options, program.logKind);
  const ResultLine result(log);
  const auto end = [&result](const Ending& ending) { return result(ending); };
  log.WriteAnsi(program.logHeading);
  log.Write(L"command line: " + std::wstring(commandLine));
  if (program.ansiPathsAndEnvironment) {
    log.Write(L"Windows " + WindowsVersion() + L", " + Elevation() + L", mode " +
              ModeName(options.mode));
  }

  if (options.Bad()) {
    log.Write(L"bad command line argument: " + options.badArgument);
    if (!options.Unattended()) {
      ShowErrorBox(L"", L"Неверный параметр командной строки: " + options.badArgument +
                            L"\rСписок параметров: " + program.fileName + L" /?");
    }
    return end(program.endings.badCommandLine);
  }

  const SingleInstance instance;
  if (!instance.Held()) {
    log.Write(L"another installation or uninstallation is running");
    if (!options.Unattended() && program.showRunningOne) program.showRunningOne();
    return end(program.endings.alreadyRunning);
  }

  ProgramStart start{options, std::move(folder), log};
  return end(program.body(start));
}

}  // namespace

int ProgramMain(const ProgramDescription& program, std::wstring_view commandLine) {
  KeepPlantedDllsOut();
  try {
    return RunProgram(program, commandLine);
  } catch (...) {
    // Nothing may leave the program's entry as an exception: report it and end.
    tk::ReportCurrentException();
    return program.endings.startFailed.exitCode;
  }
}

ScopedErrorReporter::ScopedErrorReporter(tk::ErrorReporter reporter)
    : previous_(tk::SetErrorReporter(std::move(reporter))) {}

ScopedErrorReporter::~ScopedErrorReporter() {
  tk::SetErrorReporter(std::move(previous_));
}

tk::ErrorReporter ReportToLog(ProgramLog& log) {
  return [&log](const std::wstring& message) { log.Write(L"error: " + tk::WithFullStop(message)); };
}

}  // namespace base
