// How a start of the uninstaller ended, and the table that turns it into its exit code.
#pragma once

#include "base/program_log.h"

namespace uninstall {

enum class RemovalOutcome {
  kRemoved,         // removed; items kept by rule are listed in the log (and the final box)
  kHelpShown,       // /? or /HELP
  kBadCommandLine,  // or the log named on it cannot be opened
  kStartFailed,     // the program could not start
  kDeclined,        // the person declined the question
  kNothingChanged,  // the record is missing, damaged, not anchored as it should be, or elsewhere
  kErrors,          // some items could be neither removed nor scheduled; entry and record kept
  kCancelled,       // a second run finishes
  kAlreadyRunning,  // another installation or uninstallation of the product is running
  kRestartNeeded,   // removed; a restart completes the removal
};

// The exit code and a few words for the log: the one table of the uninstaller's endings.
base::Ending EndingOf(RemovalOutcome outcome);
inline int ExitCodeOf(RemovalOutcome outcome) { return EndingOf(outcome).exitCode; }
inline const wchar_t* Describe(RemovalOutcome outcome) { return EndingOf(outcome).words; }

}  // namespace uninstall
