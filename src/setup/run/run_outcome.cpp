#include "setup/run/run_outcome.h"

namespace setup {

Outcome DecideOutcome(bool completed, bool aborted) {
  if (completed) return Outcome::kCompleted;
  return aborted ? Outcome::kCancelled : Outcome::kFailed;
}

int ExitCodeOf(Outcome outcome) {
  switch (outcome) {
    case Outcome::kHelpShown:
    case Outcome::kCompleted:
      return 0;
    case Outcome::kBadCommandLine:
    case Outcome::kStartFailed:
      return 1;
    case Outcome::kLeftBeforeRun:
      return 2;
    case Outcome::kFolderNotCreated:
      return 3;
    case Outcome::kFailed:
      return 4;
    case Outcome::kCancelled:
      return 5;
    case Outcome::kAlreadyRunning:
      return 6;
    case Outcome::kNoDiskSpace:
      return 7;
  }
  return 1;
}

const wchar_t* Describe(Outcome outcome) {
  switch (outcome) {
    case Outcome::kHelpShown:
      return L"help shown";
    case Outcome::kBadCommandLine:
      return L"bad command line";
    case Outcome::kStartFailed:
      return L"the program could not start";
    case Outcome::kLeftBeforeRun:
      return L"left before the installation began";
    case Outcome::kFolderNotCreated:
      return L"the installation folder could not be created";
    case Outcome::kCompleted:
      return L"installation completed";
    case Outcome::kFailed:
      return L"installation ended with an error";
    case Outcome::kCancelled:
      return L"installation cancelled";
    case Outcome::kAlreadyRunning:
      return L"another installation or uninstallation is running";
    case Outcome::kNoDiskSpace:
      return L"not enough disk space";
  }
  return L"";
}

}  // namespace setup
