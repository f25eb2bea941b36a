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
#include "setup/run/install_log.h"
#include "uninstall/installation.h"

namespace uninstall {

// What a removal shows and asks.
class RemovalView {
 public:
  virtual ~RemovalView() = default;
  virtual void SetLabel(const std::wstring& text) = 0;
  virtual void SetGaugeMax(std::int32_t max) = 0;
  virtual void SetGaugePosition(std::int32_t position) = 0;
  // The person confirmed cancelling: the removal stops between two items.
  virtual bool Aborted() const = 0;
  virtual void Pump() = 0;
};

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

struct RemovalReport {
  std::vector<std::string> kept;    // paths kept by rule (ANSI), in order
  struct Failure {
    std::string what;  // "file", "folder", "registry value", ...
    std::string path;
  };
  std::vector<Failure> failed;  // items that could be neither removed nor scheduled
  bool restartNeeded = false;
  bool cancelled = false;
  // The record and the uninstall entry are gone: what the running uninstaller holds (its file
  // and these folders, deepest first) is left to be removed after it has ended.
  bool entryRemoved = false;
  std::vector<std::string> foldersHoldingTheUninstaller;
};

// How long a file in use is retried before it is left to the next restart.
inline constexpr int kInUseRetries = 10;
inline constexpr unsigned long kInUseRetryPauseMs = 500;

RemovalReport RemoveInstallation(const Installation& installation, RemovalView& view,
                                 RemovalSystem& system, setup::InstallLog& log);

}  // namespace uninstall
