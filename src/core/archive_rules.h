// What a packaging tool must write, and what it should warn about, for one stored path.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace dt {

// The folder macros the installer expands, in its order of expansion.
inline constexpr std::string_view kFolderMacros[] = {"%InstallDir%", "%WinDir%", "%Fonts%",
                                                     "%System32%"};

struct PathFinding {
  bool fatal;           // the installer could not unpack the entry
  std::string message;  // English, for the packager
};

// Checks a stored path (code page 1251 bytes): it must hold a non-empty folder part and file name
// and no zero byte, and must not name the installation record (fatal). Warnings: a macro in
// another letter case or an unknown %word% (neither is expanded), ".." components, and folders
// without any macro.
std::vector<PathFinding> CheckStoredPath(std::string_view name);

}  // namespace dt
