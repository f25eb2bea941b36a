#include "uninstall/removal_outcome.h"

namespace uninstall {

base::Ending EndingOf(RemovalOutcome outcome) {
  switch (outcome) {
    case RemovalOutcome::kRemoved:
      return {L"removed", 0};
    case RemovalOutcome::kHelpShown:
      return {L"help shown", 0};
    case RemovalOutcome::kBadCommandLine:
      return {L"bad command line", 1};
    case RemovalOutcome::kStartFailed:
      return {L"the program could not start", 1};
    case RemovalOutcome::kDeclined:
      return {L"declined: nothing changed", 2};
    case RemovalOutcome::kNothingChanged:
      return {L"nothing changed", 3};
    case RemovalOutcome::kErrors:
      return {L"finished with errors: entry and record kept", 4};
    case RemovalOutcome::kCancelled:
      return {L"cancelled", 5};
    case RemovalOutcome::kAlreadyRunning:
      return {L"another installation or uninstallation is running", 6};
    case RemovalOutcome::kRestartNeeded:
      return {L"removed; a restart completes the removal", 3010};
  }
  return {L"", 1};
}

}  // namespace uninstall
