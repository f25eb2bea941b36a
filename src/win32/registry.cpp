#include "win32/registry.h"

#include <stdexcept>
#include <vector>

#include "win32/wide_text.h"

namespace win {

RegKey OpenKey(HKEY root, std::string_view path, bool create, REGSAM view) {
  if (!path.empty() && path.front() == '\\') path.remove_prefix(1);
  const std::string name(path);
  HKEY key = nullptr;
  LONG result;
  if (create) {
    result = RegCreateKeyExA(root, name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                             KEY_ALL_ACCESS | view, nullptr, &key, nullptr);
  } else {
    result = RegOpenKeyExA(root, name.c_str(), 0, KEY_ALL_ACCESS | view, &key);
  }
  if (result != ERROR_SUCCESS) {
    SetLastError(static_cast<DWORD>(result));
    return RegKey();
  }
  return RegKey(key);
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

LONG ReadRawValue(HKEY key, const std::string& name, RawValue& value) {
  // The value may grow between asking for its size and reading it: ask again then.
  for (;;) {
    DWORD size = 0;
    LONG result = RegQueryValueExA(key, name.c_str(), nullptr, &value.type, nullptr, &size);
    if (result != ERROR_SUCCESS) return result;
    value.data.resize(size);
    result = RegQueryValueExA(key, name.c_str(), nullptr, &value.type, value.data.data(), &size);
    if (result == ERROR_MORE_DATA) continue;
    if (result == ERROR_SUCCESS) value.data.resize(size);
    return result;
  }
}

LONG WriteRawValue(HKEY key, const std::string& name, DWORD type, const void* data, DWORD size) {
  return RegSetValueExA(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
}

std::optional<std::vector<std::wstring>> ReadMultiStringValue(HKEY key, const std::wstring& name) {
  std::vector<wchar_t> data;
  DWORD type = 0;
  for (;;) {
    DWORD size = 0;
    if (RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
      return std::nullopt;
    }
    data.resize(size / sizeof(wchar_t) + 1);
    const LONG result = RegQueryValueExW(key, name.c_str(), nullptr, &type,
                                         reinterpret_cast<BYTE*>(data.data()), &size);
    if (result == ERROR_MORE_DATA) continue;
    if (result != ERROR_SUCCESS || type != REG_MULTI_SZ) return std::nullopt;
    data.resize(size / sizeof(wchar_t));
    break;
  }
  std::vector<std::wstring> strings;
  std::size_t begin = 0;
  while (begin < data.size()) {
    std::size_t end = begin;
    while (end < data.size() && data[end] != L'\0') ++end;
    strings.emplace_back(data.data() + begin, end - begin);
    begin = end + 1;
  }
  // The list's closing zero reads as one more empty string (the last one can only be empty when
  // the data ends in two zeros, or is one zero).
  if (!strings.empty() && strings.back().empty()) strings.pop_back();
  return strings;
}

LONG WriteMultiStringValue(HKEY key, const std::wstring& name,
                           const std::vector<std::wstring>& strings) {
  std::wstring data;
  for (const std::wstring& text : strings) {
    data += text;
    data += L'\0';
  }
  data += L'\0';
  return RegSetValueExW(key, name.c_str(), 0, REG_MULTI_SZ,
                        reinterpret_cast<const BYTE*>(data.data()),
                        static_cast<DWORD>(data.size() * sizeof(wchar_t)));
}

}  // namespace win
