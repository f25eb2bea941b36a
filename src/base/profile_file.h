// INI files written through the system's profile functions, which take a name. Before they write,
// the file is opened as itself (a link, junction or other reparse point at its name is refused, as
// is a folder) and held without delete sharing, so that its name reaches that same file while they
// write: an ordinary user who can write its folder cannot make the elevated run write another file.
#pragma once

#include <functional>
#include <string>

#include "win32/handles.h"

namespace base {

// The INI file at `path` (a full path), held as itself while the caller writes it by name; made
// anew, never through a link, when it is missing and `create` says so. Null when it cannot be
// (GetLastError: ERROR_CANT_ACCESS_FILE for a link or folder at the name).
win::FileHandle HoldProfileFile(const std::string& path, bool create);

// Runs `write` (calls of the profile functions) on a file that `held` holds. Should the profile
// functions refuse to share the file with the hold (a sharing violation), the hold goes and the
// write is tried once more: the file was checked, and an INI file left unwritten would lose the
// product's entry. The result of the last try (GetLastError tells why it failed).
bool WriteWhileHeld(win::FileHandle& held, const std::function<bool()>& write);

}  // namespace base
