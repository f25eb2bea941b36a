#include "uninstall/file_checks.h"

#include <string>

#include "core/product.h"

namespace uninstall {

bool SameLastWrite(const std::string& path, std::uint64_t expected, std::uint64_t actual) {
  if (expected == actual) return true;
  char volume[MAX_PATH * 2];
  char fileSystem[64] = "";
  if (GetVolumePathNameA(path.c_str(), volume, sizeof volume)) {
    GetVolumeInformationA(volume, nullptr, 0, nullptr, nullptr, nullptr, fileSystem,
                          sizeof fileSystem);
  }
  const std::string fs = fileSystem;
  const std::uint64_t difference = expected > actual ? expected - actual : actual - expected;
  constexpr std::uint64_t kSecond = 10'000'000;  // FILETIME ticks
  if (fs == "FAT" || fs == "FAT32") {
    return difference <= 2 * kSecond || difference == 3600 * kSecond;
  }
  if (fs == "exFAT") return difference <= kSecond / 100;
  return false;
}

bool IniIsEmpty(const std::string& ini) {
  const win::FileHandle file(CreateFileA(ini.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                         OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  LARGE_INTEGER size{};
  if (!file || !GetFileSizeEx(file.get(), &size) || size.QuadPart > 4096) return false;
  std::string text(static_cast<std::size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  if (!text.empty() && !ReadFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &read,
                                 nullptr)) {
    return false;
  }
  text.resize(read);
  // The lines are compared in lower case.
  std::string header = std::string("[") + product::kIniSection + "]";
  CharLowerBuffA(header.data(), static_cast<DWORD>(header.size()));
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) {
      line.pop_back();
    }
    CharLowerBuffA(line.data(), static_cast<DWORD>(line.size()));
    if (!line.empty() && line != header) return false;
    start = end + 1;
  }
  return true;
}

bool InUse(unsigned long error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
         error == ERROR_ACCESS_DENIED;
}

win::FileHandle OpenForCheck(const std::string& path, DWORD access) {
  return win::FileHandle(CreateFileA(path.c_str(), access,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

namespace {

FileState StateOfOpened(HANDLE file, const std::string& path, const dt::PlannedFile& planned) {
  // The basic information and the size, not GetFileInformationByHandle: under Wine that also
  // asks for the volume's serial number, which costs more than the rest of a file's removal.
  FILE_BASIC_INFO basic{};
  LARGE_INTEGER size{};
  if (!GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic) ||
      (basic.FileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))) {
    return FileState::kNotAFile;
  }
  if (planned.temporary) return FileState::kUnchanged;  // nothing to compare: remove when there
  if (!planned.size || !planned.lastWrite) return FileState::kChanged;  // cannot tell: keep
  if (!GetFileSizeEx(file, &size)) return FileState::kChanged;
  const auto time = static_cast<std::uint64_t>(basic.LastWriteTime.QuadPart);
  return static_cast<std::uint64_t>(size.QuadPart) == *planned.size &&
                 SameLastWrite(path, *planned.lastWrite, time)
             ? FileState::kUnchanged
             : FileState::kChanged;
}

}  // namespace

CheckedFile Check(const std::string& path, const dt::PlannedFile& planned) {
  CheckedFile checked;
  win::FileHandle file = OpenForCheck(path, DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES);
  const bool deletable = static_cast<bool>(file);
  if (!deletable && InUse(GetLastError())) {
    // Held without delete sharing, or a running program: checked all the same, and deleted by
    // name once it is free (or at the next restart).
    file = OpenForCheck(path, FILE_READ_ATTRIBUTES);
  }
  if (!file) {
    const DWORD error = GetLastError();
    checked.state = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                        ? FileState::kMissing
                        : FileState::kChanged;
    return checked;
  }
  checked.state = StateOfOpened(file.get(), path, planned);
  checked.handle = std::move(file);
  checked.deletable = deletable;
  return checked;
}

}  // namespace uninstall
