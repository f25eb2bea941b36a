// An installation without a person (/SILENT, /VERYSILENT): the folder step, the run and the wait
// for the registration tools, through a view that needs nobody.
#pragma once

#include <chrono>
#include <string>

#include "core/command_line.h"
#include "setup/install_log.h"
#include "setup/run_outcome.h"

namespace setup {

// How long a silent run waits for the two registration tools, both together.
inline constexpr std::chrono::seconds kToolWait{60};

// Installs into folder (ANSI code page, as if typed into the path field). /SILENT shows the
// wizard window on its "Progress" page, /VERYSILENT nothing. Needs the application object.
Outcome RunSilently(dt::RunMode mode, const std::string& folder, InstallLog& log);

}  // namespace setup
