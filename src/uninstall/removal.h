// The removal: acts on the plan made from the record, item by item, in the order the plan gives
// (files in the reverse order of the record, then folders deepest first, then registry values and
// keys, then the INI keys, the record and the uninstall entry). Every removal goes through one
// seam (RemovalSystem), so that a test can make one fail. Nothing outside the installation folder
// and the Windows, system and fonts folders is touched, whatever the record says.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/removal_plan.h"
#include "base/program_log.h"
#include "uninstall/record_check.h"
#include "uninstall/removal_view.h"

namespace uninstall {

// Every removal of a file, folder or registry item; each returns 0 or the system's error code.
class RemovalSystem {
 public:
  virtual ~RemovalSystem() = default;
  virtual unsigned long DeleteFileAt(const std::string& path);
  // The file checked through `file` (a HANDLE opened with DELETE access), deleted through it.
  virtual unsigned long DeleteChecked(void* file, const std::string& path);
  virtual unsigned long RemoveFolder(const std::string& path);
  // At the next restart (MoveFileEx with MOVEFILE_DELAY_UNTIL_REBOOT).
  virtual unsigned long DeleteAtRestart(const std::string& path);
  virtual unsigned long DeleteValue(const std::string& key, const std::string& name);
  // Only a key with no values and no subkeys.
  virtual unsigned long DeleteEmptyKey(const std::string& key);
  virtual unsigned long DeleteKeyTree(const std::string& key);
  virtual unsigned long DeleteIniKey(const std::string& ini, const std::string& section,
                                     const std::string& key);
};

RemovalSystem& SystemRemoval();

RemovalReport RemoveInstallation(const CheckedInstallation& installation, RemovalView& view,
                                 RemovalSystem& system, base::ProgramLog& log);

}  // namespace uninstall
