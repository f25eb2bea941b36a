// One uninstallation, the same for every view: PrepareRemoval (the record checked, the person
// asked), then RemoveAndDecide (the removal, the helper that removes the uninstaller afterwards,
// the report and how it ended).
#pragma once

#include <optional>
#include <string>
#include <variant>

#include "base/program_log.h"
#include "uninstall/record_check.h"
#include "uninstall/removal_outcome.h"
#include "uninstall/removal_view.h"
#include "uninstall/self_removal.h"

namespace uninstall {

// The installation in folder (the uninstaller's own), checked and confirmed; or how the start
// ended: kNothingChanged (after the view showed the record's error) or kDeclined.
std::variant<CheckedInstallation, RemovalOutcome> PrepareRemoval(const std::string& folder,
                                                                  RemovalView& view,
                                                                  base::ProgramLog& log);

// Removes the installation through view, then, when the uninstall entry is gone, starts the
// helper that removes the running uninstaller (`ran`: its file when the program started; nothing
// leaves it to the restart), shows the report and says how it ended.
RemovalOutcome RemoveAndDecide(const CheckedInstallation& installation, RemovalView& view,
                               const std::optional<FileIdentity>& ran, base::ProgramLog& log);

// How a removal ended, from its report.
RemovalOutcome OutcomeOf(const RemovalReport& report);

}  // namespace uninstall
