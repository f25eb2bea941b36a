#include "setup/run/folder_macros.h"

#include "core/text.h"
#include "win32/folders.h"

namespace setup {
namespace {

std::string Expand(std::string_view path, const std::string& installFolder,
                   const std::string& windows, const std::string& fonts,
                   const std::string& system) {
  std::string result = dt::ReplaceAll(path, "%InstallDir%", installFolder);
  result = dt::ReplaceAll(result, "%WinDir%", windows);
  result = dt::ReplaceAll(result, "%Fonts%", fonts);
  return dt::ReplaceAll(result, "%System32%", system);
}

}  // namespace

std::string ExpandFolderMacros(std::string_view path, const std::string& installFolder) {
  const std::string windows = win::GetWindowsDir();
  const std::string fonts = win::GetShellFolder("Fonts");
  return Expand(path, installFolder, windows, fonts, win::GetSystemDir());
}

std::string FolderMacroExpander::Expand(std::string_view path) {
  if (!sources_) {
    std::string windows = win::GetWindowsDir();
    std::string fonts = win::GetShellFolder("Fonts");
    sources_ = Sources{std::move(windows), std::move(fonts), win::GetSystemDir()};
  }
  return setup::Expand(path, installFolder_, sources_->windows, sources_->fonts, sources_->system);
}

}  // namespace setup
