// Saves one registry value (or its absence) and puts it back at the end of a test.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace testing_support {

class RegistryValueGuard {
 public:
  RegistryValueGuard(HKEY root, std::string key, std::string name)
      : root_(root), key_(std::move(key)), name_(std::move(name)) {
    HKEY k;
    if (RegOpenKeyExA(root_, key_.c_str(), 0, KEY_READ, &k) == ERROR_SUCCESS) {
      DWORD size = 0;
      if (RegQueryValueExA(k, name_.c_str(), nullptr, &type_, nullptr, &size) == ERROR_SUCCESS) {
        data_.resize(size);
        RegQueryValueExA(k, name_.c_str(), nullptr, &type_, data_.data(), &size);
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
      RegSetValueExA(k, name_.c_str(), 0, type_, data_.data(), static_cast<DWORD>(data_.size()));
    } else {
      RegDeleteValueA(k, name_.c_str());
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

 private:
  HKEY root_;
  std::string key_, name_;
  bool existed_ = false;
  DWORD type_ = REG_SZ;
  std::vector<BYTE> data_;
};

}  // namespace testing_support
