// How a start of the program ended, and the one table that turns it into the exit code that
// deployment tools read.
#pragma once

#include "base/program_log.h"

namespace setup {

enum class Outcome {
  kHelpShown,         // /? or /HELP
  kBadCommandLine,    // or the log named on it cannot be opened
  kStartFailed,       // the program could not start
  kLeftBeforeRun,     // closed or cancelled on Welcome or Settings
  kFolderNotCreated,  // unattended runs: the installation folder could not be created
  kCompleted,         // the run completed (also when a close request came during it)
  kFailed,            // the run ended with an error
  kCancelled,         // the run was cancelled (Aborted was set)
  kAlreadyRunning,    // another installation of the product is running
  kNoDiskSpace,       // not enough disk space
};

// How a run that was started ended: completed, cancelled (the Aborted flag), or failed.
Outcome DecideOutcome(bool completed, bool aborted);

// The exit code of the program for an outcome, and a few words for the log: the one table that
// deployment tools read.
base::Ending EndingOf(Outcome outcome);
inline int ExitCodeOf(Outcome outcome) { return EndingOf(outcome).exitCode; }
inline const wchar_t* Describe(Outcome outcome) { return EndingOf(outcome).words; }

}  // namespace setup
