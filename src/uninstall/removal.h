// The removal: acts on the plan made from the record, item by item, in the order the plan gives
// (files in the reverse order of the record, then folders deepest first, then registry values and
// keys, then the INI keys, the record and the uninstall entry). Every removal goes through one
// seam (RemovalSystem), so that a test can make one fail. Nothing outside the installation folder
// and the Windows, system and fonts folders is touched, whatever the record says.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/removal_plan.h"
#include "base/program_log.h"
#include "uninstall/record_check.h"
#include "uninstall/removal_system.h"
#include "uninstall/removal_view.h"

namespace uninstall {

RemovalReport RemoveInstallation(const CheckedInstallation& installation, RemovalView& view,
                                 RemovalSystem& system, base::ProgramLog& log);

}  // namespace uninstall
