// File-system tests and folder creation on ANSI paths.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>
#include <functional>

#include "win32/handles.h"

namespace win {

// The low 32 bits of the size of the first directory-listing match of path (any attributes; a
// folder matches with size 0), as a signed value; 0 when nothing matches.
std::int32_t GetFileSizeByName(const std::string& path);

// The whole size of an existing file, or nothing.
std::optional<std::uint64_t> GetFileSize64ByName(const std::string& path);

// Existence tests with the system's critical-error boxes switched off, so that a drive without a
// medium answers false instead of asking the user.
bool DirectoryExistsQuiet(const std::string& path);
bool FileExistsQuiet(const std::string& path);

// Whether two paths name the same existing folder: both open as folders to the same volume serial
// number and file index, which settles letter case, short names and doubled or trailing
// separators. A relative path never matches.
bool SameFolder(const std::string& a, const std::string& b);

// The path of the running program's own file (ANSI code page), or nothing.
std::optional<std::string> ProgramFilePath();

// Which file an opened handle (a HANDLE) reaches: its volume's serial number and its index there.
// Two handles with the same FileId reach the same file, whatever names led to it.
struct FileId {
  unsigned long volume = 0;
  std::uint64_t index = 0;
  bool operator==(const FileId&) const = default;
};
std::optional<FileId> FileIdOf(void* file);

// Deletes the opened file or empty folder (a HANDLE opened with DELETE access, and
// FILE_WRITE_ATTRIBUTES for a read-only file, whose attribute is then cleared through the same
// handle): it goes when its last handle closes. 0 or the system's error code.
unsigned long DeleteOpened(void* file);
// Takes back the deletion DeleteOpened asked for, while the handle is still open: the file stays
// when it closes. 0 or the system's error code.
unsigned long KeepOpened(void* file);

// Opens a plain file for reading as itself (a link, junction or other reparse point at its name
// is not followed but refused, as is a folder), sharing only reading: while the handle is open,
// nobody can write, rename or delete the file. Null when it cannot be opened (GetLastError tells
// why) or is no plain file.
FileHandle HoldPlainFile(const std::string& path);

// Renames the opened file (a HANDLE opened with DELETE access) to newPath, an absolute path,
// replacing a file of that name when asked: the file renamed is the one the handle reaches,
// whatever its old name names by now. False when it fails (GetLastError tells why).
bool RenameOpened(void* file, const std::string& newPath, bool replace);

// The full path of path as the system resolves it (GetFullPathName: against the current folder,
// dots and doubled separators folded); nothing when the system cannot tell. No length limit.
std::optional<std::string> FullPath(const std::string& path);
std::optional<std::wstring> FullPath(const std::wstring& path);

// Creates a folder with every missing parent, from the first missing level down. Returns the
// system error of the first creation that failed (ERROR_ALREADY_EXISTS for a file of that name,
// say), or 0 when none failed. Creates nothing, and returns 0, for an empty text or a path that
// starts with neither a drive letter and colon nor a backslash.
unsigned long ForceDirectories(std::string_view path);

// The same, level by level from the first missing one down: before(level) is asked ahead of each
// creation (false stops there), and each level created is added to created. Returns the system
// error of the first creation that failed, or 0.
unsigned long CreateFolderLevels(std::string_view path,
                                 const std::function<bool(const std::string&)>& before,
                                 std::vector<std::string>& created);

}  // namespace win
