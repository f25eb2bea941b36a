#include "setup/unattended/unattended_install.h"

#include "setup/run/run_state.h"
#include "setup/run/distribution_check.h"
#include "setup/run/install_sequence.h"

namespace setup {

Outcome InstallUnattended(InstallView& view, const std::string& folder, base::ProgramLog& log) {
  // The disk-space check finds the archives where the run will.
  RunState state = StateOfThisProgram();
  // A sealed distribution is checked before anything is written, the installation folder too.
  if (state.Check && !state.Check->Await(view, log)) {
    return view.Aborted() ? Outcome::kCancelled : Outcome::kFailed;
  }
  if (const auto refusal = PrepareRun(state, folder, view, log)) return *refusal;
  return RunAndDecide(state, view, log).outcome;
}

}  // namespace setup
