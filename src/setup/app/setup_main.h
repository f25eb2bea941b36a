// What the program does when started: reads its command line, shows the help or the wizard, or
// installs unattended; keeps one installation at a time; writes the log; and decides the
// exit code.
#pragma once

#include <string>
#include <string_view>

namespace setup {

// Runs the program for the command line the system handed over (the program's name first) and
// returns the exit code.
int SetupMain(std::wstring_view commandLine);

// The help box's text: every switch with a few words, then the exit codes.
std::wstring HelpText();

}  // namespace setup
