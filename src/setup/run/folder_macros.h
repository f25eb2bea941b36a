// The folder macros of stored paths.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace setup {

// Replaces, in this order, "%InstallDir%" with the installation folder, "%WinDir%" with the
// Windows folder, "%Fonts%" with the shell folder "Fonts" and "%System32%" with the system folder;
// each step works on the output of the one before. Exact, case-sensitive. All three folders are
// asked for afresh on every call. Throws what GetShellFolder throws.
std::string ExpandFolderMacros(std::string_view path, const std::string& installFolder);

// The same expansion for one archive run, which asks for the three folders once, at its first
// expansion, instead of once per entry. A failed query is not kept: the next expansion asks again
// and fails as ExpandFolderMacros would.
class FolderMacroExpander {
 public:
  explicit FolderMacroExpander(std::string installFolder)
      : installFolder_(std::move(installFolder)) {}
  std::string Expand(std::string_view path);

 private:
  std::string installFolder_;
  struct Sources {
    std::string windows, fonts, system;
  };
  std::optional<Sources> sources_;
};

}  // namespace setup
