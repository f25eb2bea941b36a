// The state of one installation run, which the preparation fills in and the run receives: where
// the distribution lies, the product's title, the installation folder, the progress in bytes, and
// the folder levels made for it before the run.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/product.h"
#include "setup/run/run_record.h"

namespace setup {

class DistributionCheck;

struct RunState {
  // The folder that holds Setup.exe, without trailing backslashes.
  std::string SourceDir;
  // The product's title: the uninstall entry's DisplayName and the INI's ProgName. The entry's
  // key is always product::kUninstallKey, the key the uninstaller opens.
  std::string ProgramTitle = product::kProgramTitle;
  // The installation folder exactly as typed (ANSI code page), set by the folder step.
  std::string InstallFolder;
  // The two archives' sizes added up, and the payload bytes processed so far. 64-bit, so that
  // distributions of 2 GiB and more are counted correctly.
  std::int64_t TotalBytes = 0;
  std::int64_t DoneBytes = 0;
  // The levels this process made for an installation folder: by the folder step, or by the
  // folder browser opened on the typed folder. The record names those of the folder it installs
  // into.
  std::vector<MadeFolder> FoldersMade;
  // A sealed program's check of its archives, started with the program; the run and the checks
  // before it read the archives only through it. Null for a program without a seal.
  std::shared_ptr<DistributionCheck> Check;
};

// The state of a run of the running program: SourceDir is the folder that holds it; a sealed
// program starts the check of its archives here.
RunState StateOfThisProgram();

}  // namespace setup
