// The uninstaller's system calls: every removal of a file, folder, registry item or INI value goes
// through this one seam, so that a test can make one fail.
#pragma once

#include <string>

namespace uninstall {

// Every removal of a file, folder or registry item; each returns 0 or the system's error code.
class RemovalSystem {
 public:
  virtual ~RemovalSystem() = default;
  virtual unsigned long DeleteFileAt(const std::string& path);
  // The file checked through `file` (a HANDLE opened with DELETE access), deleted through it.
  virtual unsigned long DeleteChecked(void* file, const std::string& path);
  // The empty folder checked through `folder` (a HANDLE opened with DELETE access), removed
  // through it (ERROR_DIR_NOT_EMPTY while anything is in it).
  virtual unsigned long RemoveCheckedFolder(void* folder, const std::string& path);
  // The file checked through `file` (a HANDLE opened with DELETE access) given the new name `to`
  // (never over a file of that name), so that the restart deletes it where nobody else can reach.
  virtual unsigned long MoveChecked(void* file, const std::string& to);
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

}  // namespace uninstall
