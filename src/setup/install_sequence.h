// One installation run, from sizing the archives to the registration stage.
#pragma once

#include "setup/archive_source.h"
#include "setup/install_view.h"
#include "setup/registration.h"

namespace setup {

// Runs the installation into InstallFolder from the running program's archives (inside it when it
// is a one-file installer, beside it in SourceDir otherwise); true when it completed, false after
// a cancel or an error (the error box has then been shown). Errors raised by the registration
// stage pass to the caller.
bool RunInstall(InstallView& view);
// The same with another registry, from the archives in SourceDir (tests).
bool RunInstall(InstallView& view, ProductRegistry& registry);
// The same from the given archives.
bool RunInstall(InstallView& view, ProductRegistry& registry, const ArchiveSources& archives);

}  // namespace setup
