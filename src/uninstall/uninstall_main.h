// What the uninstaller does when started: reads its command line, shows the help, or checks the
// record, asks, removes and reports, with or without a person; keeps one installation or
// uninstallation at a time; writes the log; and decides the exit code.
#pragma once

#include <string>
#include <string_view>

namespace uninstall {

// Runs the uninstaller for the command line the system handed over (the program's name first)
// and returns the exit code.
int UninstallMain(std::wstring_view commandLine);

// The help box's text.
std::wstring HelpText();

}  // namespace uninstall
