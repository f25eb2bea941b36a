// The installer's command line: how it is split into arguments and which switches it takes.
// Portable: the text comes in as UTF-16 (wchar_t) and stays so; converting the folder and the log
// path into the ANSI code page is the program's business.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dt {

// Splits a command line into arguments: blanks (spaces and tabs) outside double quotes separate
// them; a double quote starts or ends quoting and is removed; a backslash is always literal.
// Blanks alone give no argument; "" gives an empty one.
std::vector<std::wstring> SplitArguments(std::wstring_view commandLine);

enum class RunMode { kWizard, kSilent, kVerySilent };

struct CommandLine {
  RunMode mode = RunMode::kWizard;
  bool help = false;                    // /? or /HELP: only the help box
  std::optional<std::wstring> dir;      // /DIR=folder, as given
  bool log = false;                     // /LOG or /LOG=file
  std::optional<std::wstring> logFile;  // /LOG=file (absolute)
  // The first argument that is not acceptable; empty when the command line is sound. The fields
  // above still hold what could be read, so that an unattended run can log the problem.
  std::wstring badArgument;

  bool Unattended() const { return mode != RunMode::kWizard; }
  bool Bad() const { return !badArgument.empty(); }
};

// Reads the arguments that follow the program's name. Switch names are case-insensitive and start
// with '/' or '-'; a switch given twice counts as given last; /VERYSILENT and /S win over /SILENT.
CommandLine ParseArguments(const std::vector<std::wstring>& arguments);

// Reads a whole command line as the system hands it over, the program's name first.
CommandLine ParseCommandLine(std::wstring_view commandLine);

// An absolute Windows path: a drive letter, a colon and a backslash, or a share (two backslashes,
// not the device forms "\\.\" and "\\?\").
bool IsAbsolutePath(std::wstring_view path);

}  // namespace dt
