#include "base/held_folders.h"

#include <vector>

namespace base {
namespace {

enum class LevelState { kHeld, kMissing, kRefused };

// Opens the level itself, not what a link there leads to; sharing everything but its deletion
// (and so its renaming) for as long as the handle lives. The handle asks for traversal too: an
// open with attribute access alone leaves no sharing mode behind, and so would stop no rename.
LevelState Open(const std::string& level, bool mayBeLink, win::FileHandle& held) {
  held.reset(CreateFileA(level.c_str(), FILE_TRAVERSE | FILE_READ_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE,
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

// A folder as a level's name: no trailing backslash, but a drive's root keeps its own ("C:" alone
// would name the drive's current folder).
std::string LevelName(std::string folder) {
  while (folder.size() > 3 && folder.back() == '\\') folder.pop_back();
  if (folder.size() == 2 && folder[1] == ':') folder += '\\';
  return folder;
}

// The path the system gives for an open file or folder; empty when it cannot. With the drive's
// letter: under Wine that costs a quarter of the volume's device name.
std::wstring FinalPath(HANDLE handle) {
  std::wstring path(MAX_PATH, L'\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    const DWORD n = GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()),
                                              FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      CharUpperBuffW(path.data(), n);
      return path;
    }
    path.resize(n + 1);
  }
  return {};
}

// The system's path of the folder a name leads to, through a link there: the installation folder
// may be a link an administrator made, and the levels below it stand in the folder it leads to.
std::wstring FinalPathFollowed(const std::string& folder) {
  const win::FileHandle followed(CreateFileA(folder.c_str(), FILE_READ_ATTRIBUTES,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                             nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                             nullptr));
  return followed ? FinalPath(followed.get()) : std::wstring();
}

// Whether the system's path of a file or folder is one level below `folder`'s. True when either
// path is unknown: the system cannot tell.
bool StandsIn(const std::wstring& folder, HANDLE child) {
  if (folder.empty()) return true;
  const std::wstring path = FinalPath(child);
  if (path.empty()) return true;
  const std::size_t slash = path.rfind(L'\\');
  if (slash == std::wstring::npos) return false;
  std::wstring parent = path.substr(0, slash);
  std::wstring expected = folder;
  while (!expected.empty() && expected.back() == L'\\') expected.pop_back();  // a drive's root
  return parent == expected;
}

}  // namespace

std::optional<std::string> HeldFolders::Hold(const std::string& installFolder,
                                             const std::string& folder, bool complete) {
  // Only the installation folder and what lies below it: "C:\\Korvu2" is not below "C:\\Korvu".
  if (installFolder.empty() || folder.size() < installFolder.size() ||
      Upper(folder.substr(0, installFolder.size())) != Upper(installFolder) ||
      (folder.size() > installFolder.size() && installFolder.back() != '\\' &&
       folder[installFolder.size()] != '\\')) {
    return std::nullopt;
  }
  // The installation folder itself (a drive's root keeps its backslash), then each level below
  // it. The installation folder may be a link an administrator made on purpose (its path's
  // levels are in the record's "link" lines); every level below it is the run's own.
  const std::string root = LevelName(installFolder);
  root_ = Upper(root);
  std::vector<std::string> levels{root};
  for (std::size_t i = installFolder.size(); i <= folder.size(); ++i) {
    const bool ends = i == folder.size() || folder[i] == '\\';
    if (ends && i > installFolder.size() && folder[i - 1] != '\\') {
      levels.push_back(folder.substr(0, i));
    }
  }
  const Level* above = nullptr;
  for (std::size_t i = 0; i < levels.size(); ++i) {
    const std::string key = Upper(levels[i]);
    if (const auto found = held_.find(key); found != held_.end()) {
      above = &found->second;
      continue;
    }
    Level level;
    switch (Open(levels[i], /*mayBeLink=*/i == 0 && installFolderMayBeLink_, level.handle)) {
      case LevelState::kHeld:
        break;
      case LevelState::kMissing:
        if (complete) return levels[i];
        return std::nullopt;
      case LevelState::kRefused:
        return levels[i];
    }
    // Reached through a link the level above became since it was held: not the run's.
    if (above && !StandsIn(above->finalPath, level.handle.get())) return levels[i];
    level.finalPath = i == 0 ? FinalPathFollowed(levels[i]) : FinalPath(level.handle.get());
    above = &held_.emplace(key, std::move(level)).first->second;
  }
  return std::nullopt;
}

bool HeldFolders::Contains(const std::string& folder, HANDLE file) const {
  const std::string key = Upper(LevelName(folder));
  const auto found = held_.find(key);
  if (found == held_.end()) {
    // Inside the installation folder, only a held level is known to be the run's own.
    const bool inside = !root_.empty() && (key == root_ || key.rfind(root_ + "\\", 0) == 0 ||
                                           (root_.size() == 3 && key.rfind(root_, 0) == 0));
    return !inside;
  }
  return StandsIn(found->second.finalPath, file);
}

void HeldFolders::Release(const std::string& folder) {
  const std::string key = Upper(LevelName(folder));
  for (auto it = held_.lower_bound(key); it != held_.end();) {
    const std::string& level = it->first;
    if (level != key && level.rfind(key + "\\", 0) != 0) {
      if (level.compare(0, key.size(), key) != 0) break;  // past every level that starts so
      ++it;
      continue;
    }
    it = held_.erase(it);
  }
}

}  // namespace base
