// One installation run, from sizing the archives to the registration stage.
#pragma once

#include "setup/install_view.h"
#include "setup/registration.h"

namespace setup {

// Runs the installation into InstallFolder from the archives in SourceDir; true when it
// completed, false after a cancel or an error (the error box has then been shown). Errors raised
// by the registration stage pass to the caller.
bool RunInstall(InstallView& view);
// The same with another registry (tests).
bool RunInstall(InstallView& view, ProductRegistry& registry);

}  // namespace setup
