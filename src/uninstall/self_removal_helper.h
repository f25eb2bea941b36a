// What the helper does once the uninstaller's process has ended: under the single-instance guard,
// it deletes the uninstaller's file only if it is still the file that ran, removes the folders
// only when empty and still the folders it was told of, and drops the restart entries this made
// unneeded. Each step is logged.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/program_log.h"
#include "base/single_instance.h"
#include "uninstall/self_removal.h"
#include "uninstall/self_removal_task.h"
#include "win32/files.h"

namespace uninstall {

// What the helper needs of the machine besides the files and folders themselves.
class HelperSystem {
 public:
  virtual ~HelperSystem() = default;
  // Takes the single-instance guard, held until this object goes; false while another
  // installation or uninstallation holds it.
  virtual bool TakeGuard();
  // Removes the restart's deletes of these paths (ANSI code page), no longer wanted.
  virtual void DropRestartEntries(const std::vector<std::string>& paths, base::ProgramLog& log);

 private:
  std::optional<base::SingleInstance> guard_;
};

// Which folder is at path now, opened as itself (not through a link in its last place); nothing
// when it cannot be opened.
std::optional<win::FileId> FolderIdOf(const std::string& path);

// The helper's task for a removal, with each folder as it is now: the helper removes it only if
// it is still that folder. A folder that cannot be opened is left out, to the restart.
HelperTask TaskFor(const SelfRemoval& removal);

// The helper's work once the uninstaller has ended. While another installation holds the guard,
// everything is left to the restart.
void FinishSelfRemoval(const HelperTask& task, HelperSystem& system, base::ProgramLog& log);

}  // namespace uninstall
