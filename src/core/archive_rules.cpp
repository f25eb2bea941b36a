#include "core/archive_rules.h"

#include <algorithm>
#include <cctype>

#include "core/install_record.h"
#include "core/text.h"

namespace dt {
namespace {

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

bool IsKnownMacro(std::string_view word) {
  return std::find(std::begin(kFolderMacros), std::end(kFolderMacros), word) !=
         std::end(kFolderMacros);
}

void CheckMacros(std::string_view folder, std::vector<PathFinding>& out, bool& hasMacro) {
  for (std::size_t open = folder.find('%'); open != std::string_view::npos;) {
    const std::size_t close = folder.find('%', open + 1);
    if (close == std::string_view::npos) break;
    const std::string_view word = folder.substr(open, close - open + 1);
    if (word.size() > 2 && word.find('\\') == std::string_view::npos) {
      if (IsKnownMacro(word)) {
        hasMacro = true;
      } else {
        const auto known =
            std::find_if(std::begin(kFolderMacros), std::end(kFolderMacros),
                         [&](std::string_view m) { return EqualsIgnoringCase(m, word); });
        out.push_back({false, known != std::end(kFolderMacros)
                                  ? "macro " + std::string(word) +
                                        " is written in another letter "
                                        "case than " +
                                        std::string(*known) + " and is not expanded"
                                  : "unknown macro " + std::string(word) + " is not expanded"});
      }
      open = folder.find('%', close + 1);
    } else {
      open = close;
    }
  }
}

}  // namespace

std::vector<PathFinding> CheckStoredPath(std::string_view name) {
  std::vector<PathFinding> out;
  if (name.find('\0') != std::string_view::npos) {
    out.push_back({true, "the stored path holds a zero byte"});
    return out;
  }
  const SplitResult parts = SplitPath(name);
  if (parts.folder.empty() || parts.file.empty()) {
    out.push_back({true,
                   "the stored path needs a folder part and a file name, "
                   "separated by a backslash"});
    return out;
  }
  if (IsRecordFileName(parts.folder, parts.file)) {
    out.push_back({true, "the installer writes its record of the run, " +
                             std::string(kRecordFileName) +
                             ", into the installation folder and holds it open while it runs"});
    return out;
  }
  bool hasMacro = false;
  CheckMacros(parts.folder, out, hasMacro);
  std::string_view rest = parts.folder;
  for (;;) {
    const std::size_t slash = rest.find('\\');
    if (rest.substr(0, slash) == "..") {
      out.push_back({false, "the folder part holds a \"..\" component"});
      break;
    }
    if (slash == std::string_view::npos) break;
    rest.remove_prefix(slash + 1);
  }
  if (!hasMacro) {
    out.push_back({false, IsRootedPath(parts.folder)
                              ? "the folder names a fixed place on the target machine (no macro)"
                              : "the folder is relative to the installer's working folder "
                                "(no macro)"});
  }
  return out;
}

}  // namespace dt
