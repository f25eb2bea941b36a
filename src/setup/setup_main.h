// What the program does when started: reads its command line, shows the help or the wizard, or
// installs without a person; keeps one installation at a time; writes the log; and decides the
// exit code.
#pragma once

#include <string_view>

namespace setup {

// The folder that silent runs install into without /DIR (the path field's default).
inline constexpr char kDefaultInstallFolder[] = "C:\\Program Files\\Ostelan\\Korvu";

// Runs the program for the command line the system handed over (the program's name first) and
// returns the exit code.
int SetupMain(std::wstring_view commandLine);

// The help box's text: every switch with a few words, then the exit codes.
const wchar_t* HelpText();

}  // namespace setup
