#include "win32/files.h"

#include <windows.h>

#include <cctype>

#include "core/text.h"
#include "win32/handles.h"
#include "win32/wide_text.h"

namespace win {

std::int32_t GetFileSizeByName(const std::string& path) {
  WIN32_FIND_DATAA found;
  const FindHandle search(FindFirstFileA(path.c_str(), &found));
  if (!search) return 0;
  return static_cast<std::int32_t>(found.nFileSizeLow);
}

std::optional<std::uint64_t> GetFileSize64ByName(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return std::nullopt;
  }
  return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

namespace {

// Attributes of a path, or INVALID_FILE_ATTRIBUTES. A file that another process holds open so
// that its attributes cannot be read still exists: ask the directory listing then.
DWORD AttributesQuiet(const std::string& path) {
  const ScopedErrorMode quiet(SEM_FAILCRITICALERRORS);
  DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES && GetLastError() == ERROR_SHARING_VIOLATION) {
    WIN32_FIND_DATAA found;
    const FindHandle search(FindFirstFileA(path.c_str(), &found));
    if (search) attributes = found.dwFileAttributes;
  }
  return attributes;
}

}  // namespace

bool DirectoryExistsQuiet(const std::string& path) {
  const DWORD attributes = AttributesQuiet(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FileExistsQuiet(const std::string& path) {
  const DWORD attributes = AttributesQuiet(path);
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

unsigned long ForceDirectories(std::string_view path) {
  std::vector<std::string> created;
  return CreateFolderLevels(path, {}, created);
}

unsigned long CreateFolderLevels(std::string_view path,
                                 const std::function<bool(const std::string&)>& before,
                                 std::vector<std::string>& created) {
  if (!dt::IsRootedPath(path)) return 0;
  const std::string folder = dt::TrimTrailingBackslashes(path);
  if (folder.empty() || DirectoryExistsQuiet(folder)) return 0;
  const std::string parent = dt::SplitPath(folder).folder;
  const unsigned long parentError =
      parent.empty() ? 0 : CreateFolderLevels(parent, before, created);
  if (before && !before(folder)) return parentError;
  const ScopedErrorMode quiet(SEM_FAILCRITICALERRORS);
  if (CreateDirectoryA(folder.c_str(), nullptr)) {
    created.push_back(folder);
    return parentError;
  }
  const DWORD error = GetLastError();
  return parentError ? parentError : error;
}

namespace {

template <typename Char, typename Call>
std::optional<std::basic_string<Char>> FullPathWith(const std::basic_string<Char>& path, Call call) {
  std::basic_string<Char> buffer(MAX_PATH, Char{});
  for (;;) {
    const DWORD n = call(path.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    if (n == 0) return std::nullopt;
    if (n < buffer.size()) {
      buffer.resize(n);
      return buffer;
    }
    buffer.resize(n);  // n counts the terminating null when the buffer was too small
  }
}

}  // namespace

std::optional<std::string> FullPath(const std::string& path) {
  return FullPathWith(path, GetFullPathNameA);
}

std::optional<std::wstring> FullPath(const std::wstring& path) {
  return FullPathWith(path, GetFullPathNameW);
}

namespace {

std::optional<BY_HANDLE_FILE_INFORMATION> FolderIdentity(const std::string& path) {
  // Absolute only: "X:\..." or "\\server\share..." (not a device path); "C:dir" and "\dir"
  // depend on the current folder.
  const bool drive = path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) &&
                     path[1] == ':' && path[2] == '\\';
  const bool share = path.size() > 2 && path.rfind("\\\\", 0) == 0 && path[2] != '?' &&
                     path[2] != '.';
  if (!drive && !share) return std::nullopt;
  const ScopedErrorMode quiet(SEM_FAILCRITICALERRORS);
  const FileHandle folder(CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION info{};
  if (!folder || !GetFileInformationByHandle(folder.get(), &info) ||
      !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return std::nullopt;
  }
  return info;
}

}  // namespace

bool SameFolder(const std::string& a, const std::string& b) {
  const auto first = FolderIdentity(a);
  const auto second = FolderIdentity(b);
  return first && second && first->dwVolumeSerialNumber == second->dwVolumeSerialNumber &&
         first->nFileIndexHigh == second->nFileIndexHigh &&
         first->nFileIndexLow == second->nFileIndexLow;
}

std::optional<std::string> ProgramFilePath() {
  std::string path(MAX_PATH, '\0');
  for (;;) {
    const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return std::nullopt;
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

std::optional<FileId> FileIdOf(void* file) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file, &info)) return std::nullopt;
  return FileId{info.dwVolumeSerialNumber,
                (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
}

unsigned long KeepOpened(void* file) {
  FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = FALSE;
  return SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition)
             ? 0
             : GetLastError();
}

unsigned long DeleteOpened(void* file) {
  FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = TRUE;
  if (SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition)) {
    return 0;
  }
  const DWORD error = GetLastError();
  // A read-only file is refused as access denied: its attribute cleared, it is tried once more.
  FILE_BASIC_INFO basic{};
  if (error != ERROR_ACCESS_DENIED ||
      !GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic) ||
      !(basic.FileAttributes & FILE_ATTRIBUTE_READONLY)) {
    return error;
  }
  basic.FileAttributes &= ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
  if (basic.FileAttributes == 0) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;  // 0: unchanged
  if (!SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof basic)) return error;
  return SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition)
             ? 0
             : GetLastError();
}

FileHandle HoldPlainFile(const std::string& path) {
  FileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  FILE_BASIC_INFO basic{};
  if (file && (!GetFileInformationByHandleEx(file.get(), FileBasicInfo, &basic, sizeof basic) ||
               (basic.FileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))) {
    file.reset();
    SetLastError(ERROR_CANT_ACCESS_FILE);
  }
  return file;
}

bool RenameOpened(void* file, const std::string& newPath, bool replace) {
  const std::wstring name = AnsiToWide(newPath);
  // FILE_RENAME_INFO ends in the name, which runs on past the structure.
  std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + name.size() * sizeof(wchar_t));
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  info->ReplaceIfExists = replace ? TRUE : FALSE;
  info->RootDirectory = nullptr;
  info->FileNameLength = static_cast<DWORD>(name.size() * sizeof(wchar_t));
  std::copy(name.begin(), name.end(), info->FileName);
  info->FileName[name.size()] = L'\0';
  return SetFileInformationByHandle(file, FileRenameInfo, info,
                                    static_cast<DWORD>(buffer.size())) != FALSE;
}

}  // namespace win
