#include "win32/folders.h"

#include <windows.h>

#include "core/cp1251.h"
#include "core/text.h"
#include "win32/registry.h"

namespace win {
namespace {

constexpr char kShellFoldersKey[] =
    "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

template <typename Query>
std::string FolderFromPlatform(Query query) {
  char buffer[255];
  const UINT n = query(buffer, sizeof buffer);
  if (n == 0 || n >= sizeof buffer) return {};  // failed, or did not fit
  return dt::TrimTrailingBackslashes(std::string_view(buffer, n));
}

std::string ValueOf(HKEY root, const std::string& name) {
  const RegKey key = OpenKey(root, kShellFoldersKey, /*create=*/false);
  if (!key) return {};
  return ReadStringValue(key.get(), name).value_or(std::string());
}

// The fall-backs are fixed code page 1251 paths, whatever the system's code page.
std::string Cp1251(std::string_view utf8) {
  return *dt::Utf8ToCp1251(utf8);
}

}  // namespace

std::string GetWindowsDir() {
  return FolderFromPlatform(GetWindowsDirectoryA);
}
std::string GetSystemDir() {
  return FolderFromPlatform(GetSystemDirectoryA);
}

std::string GetShellFolder(const std::string& name) {
  std::string result = ValueOf(HKEY_CURRENT_USER, name);
  if (result.empty()) result = ValueOf(HKEY_LOCAL_MACHINE, "Common " + name);
  if (!result.empty()) return result;
  if (name == "Programs") {
    return Cp1251("C:\\Documents and Settings\\All Users\\Главное меню\\Программы");
  }
  if (name == "Desktop") return Cp1251("C:\\Documents and Settings\\All Users\\Рабочий стол");
  if (name == "AppData") return "C:\\Documents and Settings\\All Users\\Application Data";
  if (name == "Fonts") return GetWindowsDir() + "\\Fonts";
  return {};
}

}  // namespace win
