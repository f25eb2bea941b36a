// The folder macros of stored paths.
#pragma once

#include <string>
#include <string_view>

namespace setup {

// Replaces, in this order, "%InstallDir%" with InstallFolder, "%WinDir%" with the Windows folder,
// "%Fonts%" with the shell folder "Fonts" and "%System32%" with the system folder; each step works
// on the output of the one before. Exact, case-sensitive. All three folders are asked for afresh
// on every call. Throws what GetShellFolder throws.
std::string ExpandFolderMacros(std::string_view path);
// The same with another installation folder in place of InstallFolder.
std::string ExpandFolderMacros(std::string_view path, const std::string& installFolder);

}  // namespace setup
