// The Windows, system and shell folders.
#pragma once

#include <string>

namespace win {

// The Windows folder and the system folder, trailing backslashes removed; empty when the platform
// call fails.
std::string GetWindowsDir();
std::string GetSystemDir();

// A shell folder by name: the current user's "Shell Folders" value of that name, else the
// machine's "Common <name>" value, else a fixed fall-back for "Programs", "Desktop", "AppData"
// and "Fonts"; the empty text for any other name. An empty value counts as missing. Throws
// std::runtime_error "Invalid data type for '<name>'" when such a value is not text.
std::string GetShellFolder(const std::string& name);

}  // namespace win
