// Saves one registry value (or its absence) and puts it back at the end of a test.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace testing_support {

class RegistryValueGuard {
 public:
  RegistryValueGuard(HKEY root, std::string key, std::string name)
      : root_(root), key_(std::move(key)), name_(std::move(name)), wideName_(Wide(name_)) {
    // The value is saved and put back through the wide-character API, so that its bytes come
    // back as they were whatever its type (texts included).
    HKEY k;
    if (RegOpenKeyExA(root_, key_.c_str(), 0, KEY_READ, &k) == ERROR_SUCCESS) {
      DWORD size = 0;
      if (RegQueryValueExW(k, wideName_.c_str(), nullptr, &type_, nullptr, &size) ==
          ERROR_SUCCESS) {
        data_.resize(size);
        RegQueryValueExW(k, wideName_.c_str(), nullptr, &type_, data_.data(), &size);
        existed_ = true;
      }
      RegCloseKey(k);
    }
  }
  ~RegistryValueGuard() {
    HKEY k;
    if (RegCreateKeyExA(root_, key_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr) !=
        ERROR_SUCCESS) {
      return;
    }
    if (existed_) {
      RegSetValueExW(k, wideName_.c_str(), 0, type_, data_.data(),
                     static_cast<DWORD>(data_.size()));
    } else {
      RegDeleteValueW(k, wideName_.c_str());
    }
    RegCloseKey(k);
  }
  RegistryValueGuard(const RegistryValueGuard&) = delete;
  RegistryValueGuard& operator=(const RegistryValueGuard&) = delete;

  void Delete() const {
    HKEY k;
    if (RegOpenKeyExA(root_, key_.c_str(), 0, KEY_ALL_ACCESS, &k) == ERROR_SUCCESS) {
      RegDeleteValueA(k, name_.c_str());
      RegCloseKey(k);
    }
  }
  void Set(DWORD type, const void* data, DWORD size) const {
    HKEY k;
    if (RegCreateKeyExA(root_, key_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr) ==
        ERROR_SUCCESS) {
      RegSetValueExA(k, name_.c_str(), 0, type, static_cast<const BYTE*>(data), size);
      RegCloseKey(k);
    }
  }
  void SetText(const std::string& text) const {
    Set(REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
  }
  // A REG_MULTI_SZ value with exactly these UTF-16 bytes (zeros and closing zero included).
  void SetMultiString(const std::wstring& data) const {
    HKEY k;
    if (RegCreateKeyExA(root_, key_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr) ==
        ERROR_SUCCESS) {
      RegSetValueExW(k, wideName_.c_str(), 0, REG_MULTI_SZ,
                     reinterpret_cast<const BYTE*>(data.data()),
                     static_cast<DWORD>(data.size() * sizeof(wchar_t)));
      RegCloseKey(k);
    }
  }
  // The value's UTF-16 bytes as stored, or nothing when there is no such value.
  std::optional<std::wstring> WideData() const {
    HKEY k;
    if (RegOpenKeyExA(root_, key_.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return std::nullopt;
    std::optional<std::wstring> data;
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(k, wideName_.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
      std::wstring text(size / sizeof(wchar_t), L'\0');
      RegQueryValueExW(k, wideName_.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(text.data()),
                       &size);
      text.resize(size / sizeof(wchar_t));
      data = text;
    }
    RegCloseKey(k);
    return data;
  }

 private:
  static std::wstring Wide(const std::string& ansi) {
    std::wstring wide(ansi.size(), L'\0');
    wide.resize(static_cast<std::size_t>(MultiByteToWideChar(
        CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), wide.data(),
        static_cast<int>(wide.size()))));
    return wide;
  }

  HKEY root_;
  std::string key_, name_;
  std::wstring wideName_;
  bool existed_ = false;
  DWORD type_ = REG_SZ;
  std::vector<BYTE> data_;
};

}  // namespace testing_support
