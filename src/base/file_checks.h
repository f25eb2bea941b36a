// Checks of the files a record names, on handles opened without following a link: whether a file
// is still the one the record names (size and last-write time, to the volume's resolution). The
// uninstaller checks what it may remove; the installer what it takes over from an earlier run.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "core/path_places.h"
#include "core/removal_plan.h"
#include "win32/handles.h"

namespace base {

// The places a record's paths are classified by (path_places.h), in UTF-8: the installation
// folder (as given, in the ANSI code page), the Windows folder, the system folder and the fonts.
dt::KnownFolders KnownPlaces(const std::string& installFolder);

// How close two last-write times must be on the volume that holds path: FAT keeps 2 s (and a
// change of exactly one hour comes from summer time on FAT), exFAT 10 ms, others exactly.
bool SameLastWrite(const std::string& path, std::uint64_t expected, std::uint64_t actual);

enum class FileState { kMissing, kUnchanged, kChanged, kNotAFile };

// A sharing or lock violation, or access denied: the file is held by another program.
bool InUse(unsigned long error);

// A file as the removal found it, and when it could be opened for deleting, the handle its
// deletion goes through: the file deleted is the file checked, whatever its name leads to by then.
struct CheckedFile {
  FileState state = FileState::kMissing;
  win::FileHandle handle;  // the handle checked
  bool deletable = false;  // it has DELETE access: not held by another program without delete sharing
};

// The file at path, opened without following a link in its last place, with the access asked
// for and every sharing allowed.
win::FileHandle OpenForCheck(const std::string& path, DWORD access);

// The owner of the opened file or folder (READ_CONTROL) is Administrators, SYSTEM, the owner this
// process gives what it makes (Administrators again when it runs elevated) or the user it runs
// as: what another, ordinary user made is owned by that user.
bool OwnedByAdministrators(HANDLE handle);
// The same for the file or folder at path, opened as itself (a link at its name is not followed).
bool OwnedByAdministrators(const std::string& path);

// The file at path against what the plan says of it.
CheckedFile Check(const std::string& path, const dt::PlannedFile& planned);

}  // namespace base
