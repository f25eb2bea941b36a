// The installation the uninstaller is to remove: its own folder, checked against the record and
// "Uninstaller.ini" before anything is asked or changed.
#pragma once

#include <optional>
#include <string>

#include "core/install_record_check.h"
#include "base/program_log.h"

namespace uninstall {

struct CheckedInstallation {
  std::string folder;       // the uninstaller's own folder (ANSI code page), no trailing backslash
  std::string title;        // the product's title as the INI names it, for the texts shown
  std::string recordPath;   // folder + "\Uninstaller.dat"
  std::string recordBytes;  // the record as read
  dt::CheckedRecord checked;
};

// The uninstall entry's key below HKLM (the product's, whatever the INI says).
std::string UninstallKey();

// Reads the record in folder and checks it: every line's check value, the anchored part against
// the uninstall entry's "InstallRecord", the record's folder, and the INI's "InstallDir" while the
// INI holds it, must all be this folder (same volume and file index). A record without any anchor
// is accepted only when its first run made the installation folder and the folder's owner is
// Administrators or SYSTEM. Nothing (logged) when any check fails: nothing may change then.
std::optional<CheckedInstallation> FindInstallation(const std::string& folder, base::ProgramLog& log);

}  // namespace uninstall
