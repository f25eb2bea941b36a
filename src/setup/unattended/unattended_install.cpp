#include "setup/unattended/unattended_install.h"

#include "setup/run/globals.h"
#include "setup/run/install_sequence.h"

namespace setup {

Outcome InstallUnattended(InstallView& view, const std::string& folder, InstallLog& log) {
  SetProgramGlobals();  // the disk-space check finds the archives where the run will
  if (const auto refusal = PrepareRun(folder, view, log)) return *refusal;
  return RunAndDecide(view, log).outcome;
}

}  // namespace setup
