#include "base/profile_file.h"

#include <windows.h>

namespace base {

win::FileHandle HoldProfileFile(const std::string& path, bool create) {
  // Read access, sharing reading and writing: it stands in the way of no reader or writer, only of
  // a rename or a delete (an open with attribute access alone would leave no sharing mode behind).
  constexpr DWORD kShare = FILE_SHARE_READ | FILE_SHARE_WRITE;
  constexpr DWORD kFlags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT;
  win::FileHandle file(CreateFileA(path.c_str(), GENERIC_READ, kShare, nullptr, OPEN_EXISTING,
                                   kFlags, nullptr));
  if (!file && create && GetLastError() == ERROR_FILE_NOT_FOUND) {
    file.reset(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, kShare, nullptr, CREATE_NEW,
                           kFlags, nullptr));
  }
  if (!file) return file;
  // The name's own attributes as well: Wine shows a link's reparse point there, not always on a
  // handle. Asked while the handle holds the file, they are the held file's.
  // One name only: a second name (a hard link) could belong to a file of anybody's.
  FILE_BASIC_INFO basic{};
  FILE_STANDARD_INFO standard{};
  const DWORD named = GetFileAttributesA(path.c_str());
  if (!GetFileInformationByHandleEx(file.get(), FileBasicInfo, &basic, sizeof basic) ||
      !GetFileInformationByHandleEx(file.get(), FileStandardInfo, &standard, sizeof standard) ||
      standard.NumberOfLinks > 1 ||
      (basic.FileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ||
      (named != INVALID_FILE_ATTRIBUTES && (named & FILE_ATTRIBUTE_REPARSE_POINT))) {
    file.reset();
    SetLastError(ERROR_CANT_ACCESS_FILE);
  }
  return file;
}

bool WriteWhileHeld(win::FileHandle& held, const std::function<bool()>& write) {
  if (write()) return true;
  if (GetLastError() != ERROR_SHARING_VIOLATION) return false;
  held.reset();
  return write();
}

}  // namespace base
