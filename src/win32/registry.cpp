#include "win32/registry.h"

#include <stdexcept>
#include <vector>

#include "win32/wide_text.h"

namespace win {

RegKey OpenKey(HKEY root, std::string_view path, bool create) {
  if (!path.empty() && path.front() == '\\') path.remove_prefix(1);
  const std::string name(path);
  HKEY key = nullptr;
  LONG result;
  if (create) {
    result = RegCreateKeyExA(root, name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                             KEY_ALL_ACCESS, nullptr, &key, nullptr);
  } else {
    result = RegOpenKeyExA(root, name.c_str(), 0, KEY_ALL_ACCESS, &key);
  }
  return RegKey(result == ERROR_SUCCESS ? key : nullptr);
}

std::optional<std::string> ReadStringValue(HKEY key, const std::string& name) {
  DWORD type = 0, size = 0;
  if (RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  if (type != REG_SZ && type != REG_EXPAND_SZ) {
    throw std::runtime_error("Invalid data type for '" + AnsiToUtf8(name) + "'");
  }
  std::vector<char> data(size + 1, '\0');
  DWORD got = size;
  if (RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                       &got) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  return std::string(data.data());  // up to the first zero
}

namespace {

[[noreturn]] void ThrowSetDataFailed(const std::string& name) {
  throw std::runtime_error("Failed to set data for '" + AnsiToUtf8(name) + "'");
}

}  // namespace

void WriteStringValue(HKEY key, const std::string& name, const std::string& value) {
  if (RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>(value.size() + 1)) != ERROR_SUCCESS) {
    ThrowSetDataFailed(name);
  }
}

void WriteDwordValue(HKEY key, const std::string& name, DWORD value) {
  if (RegSetValueExA(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                     sizeof value) != ERROR_SUCCESS) {
    ThrowSetDataFailed(name);
  }
}

}  // namespace win
