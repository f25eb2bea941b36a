// The installer as a program: its description for the shell (base/ui/program_shell.h), its help,
// and its body: the wizard, or an unattended installation.
#pragma once

#include <string>

#include "base/ui/program_shell.h"

namespace setup {

// Setup.exe: what the shell needs to know of it, and its work.
base::ProgramDescription SetupProgram();

// The help box's text: every switch with a few words, then the exit codes.
std::wstring HelpText();

// Brings the running installer's wizard window to the front, when there is one.
void ActivateRunningInstaller();

}  // namespace setup
