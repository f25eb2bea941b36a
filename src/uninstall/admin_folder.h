// New folders in the system's own temporary folder (%SystemRoot%\Temp, from the system, never an
// environment variable) that only Administrators and SYSTEM may change: ordinary users may add
// folders there but neither rename nor delete what others made, so nothing a user controls lies
// on the way to what the uninstaller puts there.
#pragma once

#include <string>

namespace uninstall {

// The system's temporary folder with a trailing backslash; empty when the system cannot tell.
std::wstring SystemTempFolder();

// Makes a new folder "<prefix><16 random hex digits>" in the system's temporary folder, with only
// Administrators and SYSTEM allowed in and nothing inherited from above; never over a name taken
// (users may make folders there too, so a name is drawn anew). Its path, or empty when none
// could be made (GetLastError tells why).
std::wstring NewAdminOnlyFolder(const std::wstring& prefix);

}  // namespace uninstall
