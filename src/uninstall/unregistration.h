// Unregistering the product's libraries, before their files go: the library through the
// product's own registration tool ("REGSVR32.EXE /u /s"), the type library through the system's
// type-library functions. The uninstaller runs elevated from a folder that others may be able to
// write, so it runs the tool only when the record says the installer wrote both files and their
// SHA-256 is the recorded one, checked on handles that it holds, without write or delete sharing,
// until the tool has ended: nobody can swap them in between. Every failure is logged, none is
// fatal.
#pragma once

#include <string>

#include "core/removal_plan.h"
#include "base/program_log.h"
#include "uninstall/removal.h"

namespace uninstall {

// How long the registration tool may take.
inline constexpr unsigned long kUnregisterTimeoutMs = 60'000;

// folder: the installation folder (ANSI code page, no trailing backslash); plan: the anchored
// record's plan (the caller passes no unanchored plan). The view is pumped while the tool runs.
void UnregisterLibraries(const std::string& folder, const dt::RemovalPlan& plan, RemovalView& view,
                         base::ProgramLog& log);

}  // namespace uninstall
