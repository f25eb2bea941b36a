// A temporary distribution folder and installation folder for tests of an installation run.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "core/archive_writer.h"
#include "setup/run/run_state.h"
#include "support/temp_folder.h"
#include "win32/registry.h"

namespace testing_support {

inline std::string ReadFileBytes(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<missing>";
  std::string bytes;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
  CloseHandle(file);
  return bytes;
}

inline bool Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The temporary files that replacing a file leaves in `folder` ("<name>.~" and 8 hex digits):
// none, once a replacement has ended either way.
inline std::vector<std::string> TemporaryFilesIn(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*.~*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do names.push_back(found.cFileName);
  while (FindNextFileA(search, &found));
  FindClose(search);
  return names;
}

// The two keys the registration writes, under HKEY_LOCAL_MACHINE.
inline constexpr char kUninstallKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Korvu v5.02 build Ostelan";
inline constexpr char kSettingsKey[] = "SOFTWARE\\Fendaro\\Korvu\\5.0";

// A text value under HKEY_LOCAL_MACHINE, or nothing.
inline std::optional<std::string> HklmString(const char* key, const char* name) {
  const win::RegKey k = win::OpenKey(HKEY_LOCAL_MACHINE, key, false);
  if (!k) return std::nullopt;
  return win::ReadStringValue(k.get(), name);
}

// A value as the registry holds it: its type and its bytes (a text without its ending zero).
struct RegValue {
  DWORD type;
  std::string data;
  bool operator==(const RegValue&) const = default;
};
inline RegValue Text(const std::string& text) {
  return {REG_SZ, text};
}
inline RegValue Dword(DWORD value) {
  return {REG_DWORD, std::string(reinterpret_cast<const char*>(&value), sizeof value)};
}
inline void PrintTo(const RegValue& value, std::ostream* out) {
  *out << "type " << value.type << " \"" << value.data << "\" (" << value.data.size() << " bytes)";
}

// A value under HKEY_LOCAL_MACHINE in this program's own registry view, or in another view
// (KEY_WOW64_64KEY, KEY_WOW64_32KEY); nothing when there is no such value.
inline std::optional<RegValue> HklmValue(const char* key, const char* name, REGSAM view = 0) {
  HKEY k;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_READ | view, &k) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  DWORD type = 0, size = 0;
  std::optional<RegValue> value;
  if (RegQueryValueExA(k, name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
    std::string data(size, '\0');
    RegQueryValueExA(k, name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
    data.resize(size);
    if ((type == REG_SZ || type == REG_EXPAND_SZ) && !data.empty() && data.back() == '\0') {
      data.pop_back();
    }
    value = RegValue{type, data};
  }
  RegCloseKey(k);
  return value;
}

// A 32-bit program on 64-bit Windows: the registry has a 64-bit view beside the program's own.
inline bool HasOther64BitView() {
  if (sizeof(void*) != 4) return false;
  BOOL wow64 = FALSE;
  return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

// The values the registration adds to the uninstall entry beside DisplayName and UninstallString.
inline const std::vector<const char*>& NewUninstallValues() {
  static const std::vector<const char*> names = {
      "QuietUninstallString", "DisplayVersion", "Publisher", "InstallLocation",
      "InstallDate",          "EstimatedSize",  "NoModify",  "NoRepair"};
  return names;
}

// A Unix path of the build tree as Wine shows it (drive Z: is the root).
inline std::string FromUnixPath(std::string path) {
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return "Z:" + path;
}

class InstallFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    CreateDirectoryA(source.c_str(), nullptr);
    state.SourceDir = source;
    state.InstallFolder = target;
  }

  void WriteArchive(const std::string& name,
                    const std::vector<std::pair<std::string, std::string>>& files) {
    WriteFileBytes(source + "\\" + name, dt::BuildArchive(files));
  }

  TempFolder temp;
  const std::string source = temp / "dist";
  const std::string target = temp / "Program Files\\Korvu";
  setup::RunState state;  // the run's: its distribution and installation folders
};

}  // namespace testing_support
