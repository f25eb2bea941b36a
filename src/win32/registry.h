// Registry keys, text and number values, ANSI names and data.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "win32/handles.h"

namespace win {

// Opens a key with full access; with create, a missing key (and its missing parents) is created.
// A leading backslash in the path means "from the root key". view adds a registry view flag
// (KEY_WOW64_32KEY, KEY_WOW64_64KEY) to the access asked for. An empty owner when it fails, the
// system's error code then in GetLastError.
RegKey OpenKey(HKEY root, std::string_view path, bool create, REGSAM view = 0);

// A text value (plain or expandable string, taken as stored, up to its first zero), or nothing
// when there is no such value. Throws std::runtime_error "Invalid data type for '<name>'" for a
// value of another type.
std::optional<std::string> ReadStringValue(HKEY key, const std::string& name);

// Writes a plain text value; throws std::runtime_error "Failed to set data for '<name>'".
void WriteStringValue(HKEY key, const std::string& name, const std::string& value);

// Writes a 32-bit number value (REG_DWORD); throws std::runtime_error "Failed to set data for
// '<name>'".
void WriteDwordValue(HKEY key, const std::string& name, DWORD value);

// A value as stored: its type and its bytes.
struct RawValue {
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
};

// Reads a value of any type into value. Returns ERROR_SUCCESS, ERROR_FILE_NOT_FOUND when there is
// no such value, or another system error code.
LONG ReadRawValue(HKEY key, const std::string& name, RawValue& value);

// Writes a value of any type; returns the system's result code.
LONG WriteRawValue(HKEY key, const std::string& name, DWORD type, const void* data, DWORD size);

// The strings of a REG_MULTI_SZ value, in UTF-16 as stored, every one of them: an empty string in
// the middle is kept (some lists hold empty entries), only the list's closing empty string is
// dropped, and text after the last zero counts as one more string. Nothing when there is no such
// value, it cannot be read, or it has another type.
std::optional<std::vector<std::wstring>> ReadMultiStringValue(HKEY key, const std::wstring& name);

// Writes a REG_MULTI_SZ value: each string with its zero, then the closing zero. Returns the
// system's result code.
LONG WriteMultiStringValue(HKEY key, const std::wstring& name,
                           const std::vector<std::wstring>& strings);

}  // namespace win
