#include "unpack_rules.h"

#include <cstdio>
#include <vector>

#include "core/archive_rules.h"
#include "core/cp1251.h"
#include "core/text.h"

namespace dtpack {
namespace fs = std::filesystem;

namespace {

std::vector<std::string_view> SplitAtBackslashes(std::string_view path) {
  std::vector<std::string_view> parts;
  for (;;) {
    const std::size_t slash = path.find('\\');
    parts.push_back(path.substr(0, slash));
    if (slash == std::string_view::npos) return parts;
    path.remove_prefix(slash + 1);
  }
}

bool IsDrive(std::string_view part) {
  const auto letter = static_cast<unsigned char>(part.empty() ? 0 : part[0]);
  return part.size() == 2 && part[1] == ':' &&
         ((letter >= 'A' && letter <= 'Z') || (letter >= 'a' && letter <= 'z'));
}

// Why one character cannot stand in a name on Windows, or empty when it can.
std::string CharacterRefusal(char c) {
  const auto code = static_cast<unsigned char>(c);
  if (code < 32) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "0x%02X", code);
    return "holds the control code " + std::string(hex) +
           ", which Windows does not allow in a name";
  }
  if (c == '/') return "holds a slash, which Windows takes for a folder separator";
  for (const char bad : {'<', '>', '"', '|', '?', '*'}) {
    if (c == bad) return std::string("holds '") + c + "', which Windows does not allow in a name";
  }
  return {};
}

}  // namespace

std::string UnpackRefusal(std::string_view stored) {
  const auto parts = SplitAtBackslashes(stored);
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const std::string_view part = parts[i];
    const bool first = i == 0, last = i + 1 == parts.size();
    if (part.empty()) {
      if (last) return "ends without a file name";
      if (!first) return "holds an empty part (two backslashes in a row)";
      continue;  // a leading backslash: the root of the current drive
    }
    for (const char c : part) {
      if (std::string why = CharacterRefusal(c); !why.empty()) return why;
    }
    if (part.find(':') != std::string_view::npos && !(first && !last && IsDrive(part))) {
      return "holds a colon outside a leading drive (\"C:\")";
    }
    if (part.find_first_not_of(". ") == std::string_view::npos) {
      return "holds the part \"" + std::string(part) +
             "\", which names its folder or the one above it";
    }
  }
  return {};
}

fs::path UnpackedPath(std::string_view stored) {
  std::string path(stored);
  for (const std::string_view macro : dt::kFolderMacros) {
    path = dt::ReplaceAll(path, macro, macro.substr(1, macro.size() - 2));
  }
  fs::path out;
  const auto parts = SplitAtBackslashes(path);
  for (std::size_t i = 0; i < parts.size(); ++i) {
    std::string_view part = parts[i];
    if (i == 0 && IsDrive(part)) part.remove_suffix(1);
    if (!part.empty()) out /= fs::u8path(dt::Cp1251ToUtf8(part));
  }
  return out;
}

}  // namespace dtpack
