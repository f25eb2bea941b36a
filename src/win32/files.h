// File-system tests and folder creation on ANSI paths.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

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

// Creates a folder with every missing parent, from the first missing level down. Returns the
// system error of the first creation that failed (ERROR_ALREADY_EXISTS for a file of that name,
// say), or 0 when none failed. Creates nothing, and returns 0, for an empty text or a path that
// starts with neither a drive letter and colon nor a backslash.
unsigned long ForceDirectories(std::string_view path);

}  // namespace win
