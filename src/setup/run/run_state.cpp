#include "setup/run/run_state.h"

#include "core/text.h"
#include "win32/files.h"

namespace setup {

RunState StateOfThisProgram() {
  RunState state;
  const std::string program = win::ProgramFilePath().value_or(std::string());
  state.SourceDir = dt::TrimTrailingBackslashes(dt::SplitPath(program).folder);
  return state;
}

}  // namespace setup
