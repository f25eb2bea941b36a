#include "setup/run/run_state.h"

#include "core/text.h"
#include "setup/run/distribution_check.h"
#include "setup/run/own_seal.h"
#include "win32/files.h"

namespace setup {

RunState StateOfThisProgram() {
  RunState state;
  const std::string program = win::ProgramFilePath().value_or(std::string());
  state.SourceDir = dt::TrimTrailingBackslashes(dt::SplitPath(program).folder);
  if (const std::optional<dt::Seal> seal = OwnSeal(); seal && seal->sealed) {
    state.Check = std::make_shared<DistributionCheck>(*seal, program, state.SourceDir);
  }
  return state;
}

}  // namespace setup
