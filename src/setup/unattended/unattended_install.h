// An unattended installation (/SILENT, /VERYSILENT): the same preparation and run as the wizard's,
// through a view that needs nobody.
#pragma once

#include <string>

#include "base/program_log.h"
#include "setup/run/install_view.h"
#include "setup/run/run_outcome.h"

namespace setup {

// Installs into folder (ANSI code page, as if typed into the path field) and says how it ended.
// The view is one of unattended_views.h; an error that leaves the run has been logged.
Outcome InstallUnattended(InstallView& view, const std::string& folder, base::ProgramLog& log);

}  // namespace setup
