#include "setup/run/globals.h"

#include <windows.h>

#include "core/product.h"
#include "core/text.h"

namespace setup {

std::string SourceDir;
std::string ProgramTitle;
std::string InstallFolder;
std::int64_t TotalBytes = 0;
std::int64_t DoneBytes = 0;
std::vector<MadeFolder> FoldersMade;

namespace {

// The folder that holds the running program: everything before the last backslash of its path.
std::string ProgramFolder() {
  std::string path(MAX_PATH, '\0');
  for (;;) {
    const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  return dt::SplitPath(path).folder;
}

}  // namespace

void SetProgramGlobals() {
  SourceDir = dt::TrimTrailingBackslashes(ProgramFolder());
  ProgramTitle = product::kProgramTitle;
}

}  // namespace setup
