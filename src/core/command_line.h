// The command lines of the installer and the uninstaller: how a line is split into arguments and
// which switches each program takes.
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
  std::optional<std::wstring> dir;      // /DIR=folder, as given: a full installation folder
  bool log = false;                     // /LOG or /LOG=file
  std::optional<std::wstring> logFile;  // /LOG=file (absolute)
  // The first argument that is not acceptable; empty when the command line is sound. The fields
  // above still hold what could be read, so that an unattended run can log the problem.
  std::wstring badArgument;
  // The uninstaller's helper form: the arguments after its switch (see ProgramSwitches).
  std::optional<std::vector<std::wstring>> helper;

  bool Unattended() const { return mode != RunMode::kWizard; }
  bool Bad() const { return !badArgument.empty(); }
};

// What sets the two programs' command lines apart. Both take /SILENT, /VERYSILENT and /S, /LOG and
// /LOG=file, /NORESTART, /SUPPRESSMSGBOXES, /? and /HELP.
struct ProgramSwitches {
  // /DIR=folder and /SP-: the installer's; a bad argument to the uninstaller.
  bool installFolder = true;
  // A first argument that is exactly this text starts the program's helper form; its other
  // arguments are the helper's (CommandLine::helper), read by the helper itself.
  const wchar_t* helperSwitch = nullptr;
};
inline constexpr ProgramSwitches kInstallerSwitches{true, nullptr};
inline constexpr ProgramSwitches kUninstallerSwitches{false, L"/REMOVE-AFTER-EXIT"};

// Reads the arguments that follow the program's name. Switch names are case-insensitive and start
// with '/' or '-'; a switch given twice counts as given last; /VERYSILENT and /S win over /SILENT.
CommandLine ParseArguments(const std::vector<std::wstring>& arguments,
                           const ProgramSwitches& switches = kInstallerSwitches);

// Reads a whole command line as the system hands it over, the program's name first.
CommandLine ParseCommandLine(std::wstring_view commandLine,
                             const ProgramSwitches& switches = kInstallerSwitches);

// An absolute Windows path: a drive letter, a colon and a backslash, or a share (two backslashes,
// not the device forms "\\.\" and "\\?\").
bool IsAbsolutePath(std::wstring_view path);

}  // namespace dt
