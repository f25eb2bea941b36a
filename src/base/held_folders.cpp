#include "setup/run/held_folders.h"

#include <windows.h>

#include <vector>

namespace setup {
namespace {

enum class LevelState { kHeld, kMissing, kRefused };

// Opens the level itself, not what a link there leads to; sharing everything but its deletion
// (and so its renaming) for as long as the handle lives.
LevelState Open(const std::string& level, bool mayBeLink, win::FileHandle& held) {
  held.reset(CreateFileA(level.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!held) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? LevelState::kMissing
                                                                          : LevelState::kRefused;
  }
  FILE_BASIC_INFO basic{};
  if (!GetFileInformationByHandleEx(held.get(), FileBasicInfo, &basic, sizeof basic)) {
    held.reset();
    return LevelState::kRefused;
  }
  // The name's own attributes as well: Wine shows a link's reparse point there, not always on a
  // handle. Asked while the handle holds the level, they are the held level's.
  const DWORD named = GetFileAttributesA(level.c_str());
  const bool link = (basic.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
                    (named != INVALID_FILE_ATTRIBUTES && (named & FILE_ATTRIBUTE_REPARSE_POINT));
  if (link && !mayBeLink) {
    held.reset();
    return LevelState::kRefused;
  }
  if (!(basic.FileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    // A file in a folder's place: the folder cannot be made there, which the caller reports.
    held.reset();
    return LevelState::kMissing;
  }
  return LevelState::kHeld;
}

std::string Upper(std::string text) {
  if (!text.empty()) CharUpperBuffA(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

}  // namespace

std::optional<std::string> HeldFolders::Hold(const std::string& installFolder,
                                             const std::string& folder) {
  if (installFolder.empty() || folder.compare(0, installFolder.size(), installFolder) != 0) {
    return std::nullopt;
  }
  // The installation folder itself (a drive's root keeps its backslash), then each level below
  // it. The installation folder may be a link an administrator made on purpose (its path's
  // levels are in the record's "link" lines); every level below it is the run's own.
  std::string root = installFolder;
  while (root.size() > 3 && root.back() == '\\') root.pop_back();
  std::vector<std::string> levels{root};
  for (std::size_t i = installFolder.size(); i <= folder.size(); ++i) {
    const bool ends = i == folder.size() || folder[i] == '\\';
    if (ends && i > installFolder.size() && folder[i - 1] != '\\') {
      levels.push_back(folder.substr(0, i));
    }
  }
  for (std::size_t i = 0; i < levels.size(); ++i) {
    const std::string key = Upper(levels[i]);
    if (held_.count(key)) continue;
    win::FileHandle handle;
    switch (Open(levels[i], /*mayBeLink=*/i == 0, handle)) {
      case LevelState::kHeld:
        held_.emplace(key, std::move(handle));
        break;
      case LevelState::kMissing:
        return std::nullopt;
      case LevelState::kRefused:
        return levels[i];
    }
  }
  return std::nullopt;
}

}  // namespace setup
