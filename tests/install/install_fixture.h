// A temporary distribution folder and installation folder for tests of an installation run.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "core/archive_writer.h"
#include "setup/globals.h"
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
    setup::SourceDir = source;
    setup::InstallFolder = target;
    setup::ProgramTitle = "Korvu v5.02 build Ostelan";
    setup::TotalBytes = setup::DoneBytes = 0;
  }

  void WriteArchive(const std::string& name,
                    const std::vector<std::pair<std::string, std::string>>& files) {
    WriteFileBytes(source + "\\" + name, dt::BuildArchive(files));
  }

  TempFolder temp;
  const std::string source = temp / "dist";
  const std::string target = temp / "Program Files\\Korvu";
};

}  // namespace testing_support
