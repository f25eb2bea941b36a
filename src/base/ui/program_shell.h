// What both programs do when started, before their own work: read the command line once, keep
// system boxes away from unattended runs, show the help, open the log and write its heading,
// refuse a bad command line, keep one installation or uninstallation at a time, and close the log
// with the result and the exit code. A program is described once (ProgramDescription); its body
// gets the command line as read and the log, and says how it ended.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/program_log.h"
#include "core/command_line.h"
#include "toolkit/error_report.h"

namespace base {

// What the body of a program is handed.
struct ProgramStart {
  const dt::CommandLine& options;
  // /DIR= in the ANSI code page (the programs work on ANSI paths), when given.
  std::optional<std::string> folder;
  ProgramLog& log;
};

// The endings the shell itself decides, from the program's table.
struct ShellEndings {
  Ending helpShown, badCommandLine, alreadyRunning, startFailed;
};
// The same from a program's outcome table (an Outcome enum with those four values).
template <typename Outcome, typename Table>
ShellEndings ShellEndingsOf(Table endingOf) {
  return {endingOf(Outcome::kHelpShown), endingOf(Outcome::kBadCommandLine),
          endingOf(Outcome::kAlreadyRunning), endingOf(Outcome::kStartFailed)};
}

struct ProgramDescription {
  const wchar_t* title;       // the help box's caption
  const wchar_t* fileName;    // "Setup.exe": named by the bad-command-line box
  const wchar_t* logKind;     // "Setup": the default log's "Setup Log YYYY-MM-DD #NNN.txt"
  std::string logHeading;     // the log's first line
  dt::ProgramSwitches switches;
  std::function<std::wstring()> helpText;
  ShellEndings endings;
  // /? shows the help even beside a bad argument (the installer); otherwise that is a bad
  // command line.
  bool helpBesideBadArgument = false;
  // /DIR= and /LOG= must fit the ANSI code page, and the log says the Windows version, the
  // elevation and the mode (the installer).
  bool ansiPathsAndEnvironment = false;
  // With a person, when another installation or uninstallation runs (the installer brings its
  // wizard to the front).
  std::function<void()> showRunningOne;
  // The helper form of the command line (see dt::ProgramSwitches): its exit code.
  std::function<int(const std::vector<std::wstring>&)> helper;
  // The program's own work, once the shell has let it start.
  std::function<Ending(ProgramStart&)> body;
};

// Keeps planted DLLs out, runs the program for the command line the system handed over (the
// program's name first) and returns the exit code; nothing leaves it as an exception.
int ProgramMain(const ProgramDescription& program, std::wstring_view commandLine);

// Puts an error reporter in place for its lifetime and the previous one back afterwards.
class ScopedErrorReporter {
 public:
  explicit ScopedErrorReporter(tk::ErrorReporter reporter);
  ~ScopedErrorReporter();
  ScopedErrorReporter(const ScopedErrorReporter&) = delete;
  ScopedErrorReporter& operator=(const ScopedErrorReporter&) = delete;

 private:
  tk::ErrorReporter previous_;
};

// A reporter that writes what a person would see in a box to the log instead ("error: ...").
tk::ErrorReporter ReportToLog(ProgramLog& log);

}  // namespace base
