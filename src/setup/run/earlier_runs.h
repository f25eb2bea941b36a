// What a run does first with what it took over from the record it found in its installation
// folder (core/earlier_runs.h), before it unpacks anything.
#pragma once

#include <string>

#include "base/program_log.h"
#include "setup/run/run_result.h"

namespace setup {

// Removes the temporary files that runs which did not end left in the installation folder, and,
// when the run set the record it found aside, names again in its own record the files that record
// says this product created there and that are still as recorded (same size and last-write time),
// and the folders it made there that are still plain folders; those files count as created by
// this product from then on. Each through the folders the run holds: nothing below a link is
// touched or named. Logs what it did and left.
void SettleEarlierRuns(const std::string& installFolder, TMessages& messages,
                       base::ProgramLog& log);

}  // namespace setup
