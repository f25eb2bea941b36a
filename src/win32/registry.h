// Registry keys, text and number values, ANSI names and data.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

#include "win32/handles.h"

namespace win {

// Opens a key with full access; with create, a missing key (and its missing parents) is created.
// A leading backslash in the path means "from the root key". An empty owner when it fails.
RegKey OpenKey(HKEY root, std::string_view path, bool create);

// A text value (plain or expandable string, taken as stored, up to its first zero), or nothing
// when there is no such value. Throws std::runtime_error "Invalid data type for '<name>'" for a
// value of another type.
std::optional<std::string> ReadStringValue(HKEY key, const std::string& name);

// Writes a plain text value; throws std::runtime_error "Failed to set data for '<name>'".
void WriteStringValue(HKEY key, const std::string& name, const std::string& value);

// Writes a 32-bit number value (REG_DWORD); throws std::runtime_error "Failed to set data for
// '<name>'".
void WriteDwordValue(HKEY key, const std::string& name, DWORD value);

}  // namespace win
