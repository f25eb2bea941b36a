#include "base/file_checks.h"

#include <cstddef>
#include <string>
#include <vector>

#include <aclapi.h>

#include "win32/folders.h"
#include "win32/wide_text.h"

namespace base {

dt::KnownFolders KnownPlaces(const std::string& installFolder) {
  dt::KnownFolders known;
  known.install = win::AnsiToUtf8(installFolder);
  known.windows = win::AnsiToUtf8(win::GetWindowsDir());
  known.system = win::AnsiToUtf8(win::GetSystemDir());
  known.fonts = known.windows.empty() ? "" : known.windows + "\\Fonts";
  return known;
}

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

bool InUse(unsigned long error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
         error == ERROR_ACCESS_DENIED;
}

win::FileHandle OpenForCheck(const std::string& path, DWORD access) {
  return win::FileHandle(CreateFileA(path.c_str(), access,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

bool OwnedByAdministrators(HANDLE handle) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(handle, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                      nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  const win::LocalMemory owned(descriptor);
  if (!owner) return false;
  if (IsWellKnownSid(owner, WinBuiltinAdministratorsSid) ||
      IsWellKnownSid(owner, WinLocalSystemSid)) {
    return true;
  }
  // The owner this process gives what it makes (Administrators under an elevated token), or the
  // user it runs as: Wine, which knows one user only, makes that user the owner of every file.
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  const win::KernelHandle ownToken(token);
  const auto tokenSidIs = [&](TOKEN_INFORMATION_CLASS kind) {
    DWORD size = 0;
    GetTokenInformation(token, kind, nullptr, 0, &size);
    std::vector<std::byte> buffer(size);
    if (size == 0 || !GetTokenInformation(token, kind, buffer.data(), size, &size)) return false;
    const PSID sid = kind == TokenOwner ? reinterpret_cast<TOKEN_OWNER*>(buffer.data())->Owner
                                        : reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
    return EqualSid(owner, sid) != FALSE;
  };
  return tokenSidIs(TokenOwner) || tokenSidIs(TokenUser);
}

bool OwnedByAdministrators(const std::string& path) {
  const win::FileHandle handle(CreateFileA(path.c_str(), READ_CONTROL,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                           nullptr, OPEN_EXISTING,
                                           FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                           nullptr));
  return handle && OwnedByAdministrators(handle.get());
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

}  // namespace base
