#include "uninstall/removal_outcome.h"

namespace uninstall {

int ExitCodeOf(RemovalOutcome outcome) {
  switch (outcome) {
    case RemovalOutcome::kRemoved:
    case RemovalOutcome::kHelpShown:
      return 0;
    case RemovalOutcome::kBadCommandLine:
    case RemovalOutcome::kStartFailed:
      return 1;
    case RemovalOutcome::kDeclined:
      return 2;
    case RemovalOutcome::kNothingChanged:
      return 3;
    case RemovalOutcome::kErrors:
      return 4;
    case RemovalOutcome::kCancelled:
      return 5;
    case RemovalOutcome::kAlreadyRunning:
      return 6;
    case RemovalOutcome::kRestartNeeded:
      return 3010;
  }
  return 1;
}

const wchar_t* Describe(RemovalOutcome outcome) {
  switch (outcome) {
    case RemovalOutcome::kRemoved:
      return L"removed";
    case RemovalOutcome::kHelpShown:
      return L"help shown";
    case RemovalOutcome::kBadCommandLine:
      return L"bad command line";
    case RemovalOutcome::kStartFailed:
      return L"the program could not start";
    case RemovalOutcome::kDeclined:
      return L"declined: nothing changed";
    case RemovalOutcome::kNothingChanged:
      return L"nothing changed";
    case RemovalOutcome::kErrors:
      return L"finished with errors: entry and record kept";
    case RemovalOutcome::kCancelled:
      return L"cancelled";
    case RemovalOutcome::kAlreadyRunning:
      return L"another installation or uninstallation is running";
    case RemovalOutcome::kRestartNeeded:
      return L"removed; a restart completes the removal";
  }
  return L"";
}

}  // namespace uninstall
