#include "core/path_places.h"

#include <algorithm>
#include <utility>

namespace dt {
namespace {

// Whether a PathKey is one plain full path: a drive or UNC root, then components that Windows
// would take as they are.
bool IsPlainFullPath(std::string_view key) {
  std::size_t rest = 0;  // where the components after the root begin
  const auto component = [](std::string_view c) {
    return !c.empty() && c != "." && c != ".." && c.back() != '.' && c.back() != ' ' &&
           c.find(':') == std::string_view::npos;
  };
  if (key.size() >= 2 && key[0] >= 'a' && key[0] <= 'z' && key[1] == ':') {
    if (key.size() > 2 && key[2] != '\\') return false;
    rest = 2;
  } else if (key.substr(0, 2) == "\\\\") {
    const std::size_t server = key.find('\\', 2);
    if (server == std::string_view::npos) return false;
    const std::size_t share = key.find('\\', server + 1);
    rest = share == std::string_view::npos ? key.size() : share;
    const std::string_view serverName = key.substr(2, server - 2);
    if (serverName == "?" || !component(serverName) ||
        !component(key.substr(server + 1, rest - server - 1))) {
      return false;
    }
  } else {
    return false;
  }
  while (rest < key.size()) {  // key[rest] is a backslash
    const std::size_t next = std::min(key.find('\\', rest + 1), key.size());
    if (!component(key.substr(rest + 1, next - rest - 1))) return false;
    rest = next;
  }
  return true;
}

// Whether the PathKey `key` is `folder` or lies below it, on whole components.
bool IsWithin(std::string_view key, std::string_view folder) {
  return key.substr(0, folder.size()) == folder &&
         (key.size() == folder.size() || key[folder.size()] == '\\');
}

}  // namespace

std::string FoldCase(std::string_view text) {
  std::string out(text);
  for (std::size_t i = 0; i < out.size(); ++i) {
    auto& c = reinterpret_cast<unsigned char&>(out[i]);
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<unsigned char>(c + 32);
    } else if ((c == 0xD0 || c == 0xD2) && i + 1 < out.size() &&
               (static_cast<unsigned char>(out[i + 1]) & 0xC0) == 0x80) {
      auto& next = reinterpret_cast<unsigned char&>(out[i + 1]);
      if (c == 0xD0 && next >= 0x80 && next <= 0x8F) {  // U+0400..040F -> U+0450..045F
        c = 0xD1;
        next = static_cast<unsigned char>(next + 0x10);
      } else if (c == 0xD0 && next >= 0x90 && next <= 0x9F) {  // U+0410..041F -> U+0430..043F
        next = static_cast<unsigned char>(next + 0x20);
      } else if (c == 0xD0 && next >= 0xA0 && next <= 0xAF) {  // U+0420..042F -> U+0440..044F
        c = 0xD1;
        next = static_cast<unsigned char>(next - 0x20);
      } else if (c == 0xD2 && next == 0x90) {  // U+0490 -> U+0491
        next = 0x91;
      }
      ++i;
    }
  }
  return out;
}

std::string PathKey(std::string_view path) {
  const std::string folded = FoldCase(path);
  const auto separator = [](char c) { return c == '\\' || c == '/'; };
  std::string key;
  std::size_t i = 0;
  std::size_t root = 0;  // leading backslashes that stay
  if (folded.size() >= 2 && separator(folded[0]) && separator(folded[1])) {
    key = "\\\\";
    root = 2;
    while (i < folded.size() && separator(folded[i])) ++i;
  } else if (!folded.empty() && separator(folded[0])) {
    root = 1;
  }
  for (; i < folded.size(); ++i) {
    if (!separator(folded[i])) {
      key += folded[i];
    } else if (key.empty() || key.back() != '\\') {
      key += '\\';
    }
  }
  while (key.size() > root && key.back() == '\\') key.pop_back();
  return key;
}

bool IsFullInstallFolder(std::string_view folder) {
  const auto separator = [](char c) { return c == '\\' || c == '/'; };
  // "C:" alone and "C:Korvu" name the current folder of drive C:, whatever it is.
  if (folder.size() >= 2 && folder[1] == ':' && (folder.size() < 3 || !separator(folder[2]))) {
    return false;
  }
  return IsPlainFullPath(PathKey(folder));
}

Place Classify(std::string_view path, const KnownFolders& known) {
  const std::string key = PathKey(path);
  if (!IsPlainFullPath(key)) return Place::kOutside;
  const std::pair<Place, const std::string*> places[] = {{Place::kInstallFolder, &known.install},
                                                         {Place::kSystem, &known.system},
                                                         {Place::kFonts, &known.fonts},
                                                         {Place::kWindows, &known.windows}};
  Place best = Place::kOutside;
  std::size_t bestLength = 0;
  for (const auto& [place, folder] : places) {
    if (folder->empty()) continue;
    const std::string folderKey = PathKey(*folder);
    if (IsPlainFullPath(folderKey) && IsWithin(key, folderKey) && folderKey.size() > bestLength) {
      best = place;
      bestLength = folderKey.size();
    }
  }
  return best;
}

}  // namespace dt
