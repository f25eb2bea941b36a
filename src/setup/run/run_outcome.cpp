#include "setup/run/run_outcome.h"

namespace setup {

Outcome DecideOutcome(bool completed, bool aborted) {
  if (completed) return Outcome::kCompleted;
  return aborted ? Outcome::kCancelled : Outcome::kFailed;
}

base::Ending EndingOf(Outcome outcome) {
  switch (outcome) {
    case Outcome::kHelpShown:
      return {L"help shown", 0};
    case Outcome::kCompleted:
      return {L"installation completed", 0};
    case Outcome::kBadCommandLine:
      return {L"bad command line", 1};
    case Outcome::kStartFailed:
      return {L"the program could not start", 1};
    case Outcome::kLeftBeforeRun:
      return {L"left before the installation began", 2};
    case Outcome::kFolderNotCreated:
      return {L"the installation folder could not be created", 3};
    case Outcome::kFailed:
      return {L"installation ended with an error", 4};
    case Outcome::kCancelled:
      return {L"installation cancelled", 5};
    case Outcome::kAlreadyRunning:
      return {L"another installation or uninstallation is running", 6};
    case Outcome::kNoDiskSpace:
      return {L"not enough disk space", 7};
  }
  return {L"", 1};
}

}  // namespace setup
