// The uninstaller's checks of the files it may remove, on handles it opens without following a
// link: whether a file is still the one the record names (size and last-write time, to the
// volume's resolution), and whether the INI file holds anything of anybody else's.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "core/removal_plan.h"
#include "win32/handles.h"

namespace uninstall {

// How close two last-write times must be on the volume that holds path: FAT keeps 2 s (and a
// change of exactly one hour comes from summer time on FAT), exFAT 10 ms, others exactly.
bool SameLastWrite(const std::string& path, std::uint64_t expected, std::uint64_t actual);

// The INI file holds nothing but blank lines and an empty [program] section: nothing of anybody
// else's is lost with it.
bool IniIsEmpty(const std::string& ini);

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

// The file at path against what the plan says of it.
CheckedFile Check(const std::string& path, const dt::PlannedFile& planned);

}  // namespace uninstall
