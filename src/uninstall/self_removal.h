// What a running program cannot do itself: delete its own file and the folders that hold it. The
// uninstaller schedules both for the next restart as a fallback, then starts a copy of itself as a
// helper, from a new folder of the temporary folder that only Administrators and SYSTEM may
// change. The helper waits until the uninstaller's process has ended, takes the installer's
// single-instance guard (while an installation holds it, everything is left to the restart),
// deletes "Uninstaller.exe" only if it is still the file that ran, removes the folders when empty
// and still the ones it was told of (deepest first), drops the restart entries it made unneeded,
// and appends what it did to the uninstaller's log through a handle it inherited. The helper's
// copy and its folder go at the next restart.
//
// This file starts the helper and, as the helper, waits for the uninstaller; what the helper is
// told is in self_removal_task.h, what it then does in self_removal_helper.h.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/program_log.h"
#include "win32/files.h"

namespace uninstall {

// A file as the file system knows it: which file (volume and index) and its size and time.
struct FileIdentity {
  win::FileId id;
  std::uint64_t size = 0;
  std::uint64_t lastWrite = 0;  // FILETIME
  bool operator==(const FileIdentity&) const = default;
};

// The identity of the file at path, read through a handle that does not follow a link in its last
// place; nothing when it cannot be opened or is not a plain file.
std::optional<FileIdentity> IdentityOf(const std::string& path);
// The same for a file opened already (a HANDLE with FILE_READ_ATTRIBUTES access).
std::optional<FileIdentity> IdentityOfOpened(void* file);

// What the helper removes once the uninstaller has ended.
struct SelfRemoval {
  std::string uninstaller;           // the running Uninstaller.exe, full path (ANSI code page)
  FileIdentity identity;             // the file that ran
  std::vector<std::string> folders;  // folders the installer created that hold it, deepest first
};

// Copies the running program into the temporary folder and starts the copy as the helper, with
// this process and the log inherited. Logged; false when the helper could not be started (the
// restart then does it all).
bool StartSelfRemoval(const SelfRemoval& task, base::ProgramLog& log);

// The helper's work, for the arguments after its switch (dt::kUninstallerSwitches); its exit
// code (0, or 1 for a command line it does not understand).
int RunHelper(const std::vector<std::wstring>& arguments);

}  // namespace uninstall
