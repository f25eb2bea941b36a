// The system's counts of the products that use a shared file: one value per full path under
// HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\SharedDLLs, in the program's own registry view.
// The value name is the path as this program names it: for the 32-bit program that is the
// 32-bit view and the system folder as a 32-bit program names it (C:\Windows\system32\x.dll).
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>

#include "base/registry_view.h"

namespace base {

// The key of the counts under HKEY_LOCAL_MACHINE.
inline constexpr char kSharedDllsKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

// Adds one use to the count of fullPath.
//
// A missing count starts at 1 when the file did not exist before this run wrote or kept it, at 2
// when it existed (its earlier, unknown owner counts 1). A count is a REG_DWORD; one stored by an
// older installer as text (REG_SZ, decimal) or bytes (REG_BINARY, 4 bytes little-endian) is read
// and written back in its own type. A count at 4294967295 stays there.
//
// A value that holds no usable count (another type, another size, text that is not a decimal
// number of 32 bits) is taken as missing and replaced with a REG_DWORD.
//
// Returns the count before, as the log shows it: "none", "dword:N", "sz:N", "binary:N", or
// "other" for a value without a usable count. Nothing when the key cannot be opened or created,
// or the value cannot be read or written; the system's error code is then in *error when given.
std::optional<std::string> AddSharedUse(const std::string& fullPath, bool existedBefore,
                                        DWORD* error = nullptr);

// What became of a count when uses were given back.
enum class CountReturn {
  kLowered,   // still above 0: others use the file
  kReleased,  // reached 0: the value is deleted
  kUnusable,  // missing, not a number, or already 0: nothing changed
  kFailed,    // the key or value could not be opened or written
};

// Gives back `uses` uses of fullPath's count (the uninstaller, once per increment its record
// holds), in the count's own type. `beforeChange`, when given, runs once the count is known to be
// usable and before it changes (the uninstaller writes its record line there, so that a rerun
// never gives the same uses back twice); false from it leaves the count as it was (kFailed, with
// its GetLastError).
CountReturn ReturnSharedUses(const std::string& fullPath, int uses,
                             const std::function<bool()>& beforeChange = {});

}  // namespace base
