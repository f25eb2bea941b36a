#include "setup/folder_macros.h"

#include "core/text.h"
#include "setup/globals.h"
#include "win32/folders.h"

namespace setup {

std::string ExpandFolderMacros(std::string_view path) {
  return ExpandFolderMacros(path, InstallFolder);
}

std::string ExpandFolderMacros(std::string_view path, const std::string& installFolder) {
  std::string result = dt::ReplaceAll(path, "%InstallDir%", installFolder);
  result = dt::ReplaceAll(result, "%WinDir%", win::GetWindowsDir());
  result = dt::ReplaceAll(result, "%Fonts%", win::GetShellFolder("Fonts"));
  return dt::ReplaceAll(result, "%System32%", win::GetSystemDir());
}

}  // namespace setup
