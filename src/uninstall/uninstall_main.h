// The uninstaller as a program: its description for the shell (base/ui/program_shell.h), its help,
// and its body: the record checked, the person asked, the removal and its report, with or without
// a person; or, in its helper form, the removal of the uninstaller itself after it has ended.
#pragma once

#include <string>

#include "base/ui/program_shell.h"

namespace uninstall {

// Uninstaller.exe: what the shell needs to know of it, and its work.
base::ProgramDescription UninstallerProgram();

// The help box's text.
std::wstring HelpText();

}  // namespace uninstall
