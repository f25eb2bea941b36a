#include "uninstall/removal_system.h"

#include <windows.h>

#include "base/profile_file.h"
#include "base/registry_view.h"
#include "win32/files.h"
#include "win32/registry.h"

namespace uninstall {

unsigned long RemovalSystem::DeleteFileAt(const std::string& path) {
  if (DeleteFileA(path.c_str())) return 0;
  const DWORD error = GetLastError();
  // A read-only file is refused as access denied: its attribute cleared, it is tried once more.
  // (Only then: clearing it first costs as much again as the delete under Wine.)
  const DWORD attributes = error == ERROR_ACCESS_DENIED ? GetFileAttributesA(path.c_str())
                                                        : INVALID_FILE_ATTRIBUTES;
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_READONLY) ||
      !SetFileAttributesA(path.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY))) {
    return error;
  }
  return DeleteFileA(path.c_str()) ? 0 : GetLastError();
}
unsigned long RemovalSystem::DeleteChecked(void* file, const std::string&) {
  return win::DeleteOpened(file);
}
unsigned long RemovalSystem::RemoveCheckedFolder(void* folder, const std::string&) {
  return win::DeleteOpened(folder);
}
unsigned long RemovalSystem::MoveChecked(void* file, const std::string& to) {
  return win::RenameOpened(file, to, /*replace=*/false) ? 0 : GetLastError();
}
unsigned long RemovalSystem::DeleteAtRestart(const std::string& path) {
  return MoveFileExA(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) ? 0 : GetLastError();
}
unsigned long RemovalSystem::DeleteValue(const std::string& key, const std::string& name) {
  const win::RegKey opened =
      win::OpenKey(HKEY_LOCAL_MACHINE, key, false, base::ProgramRegistryView());
  if (!opened) return GetLastError() ? GetLastError() : ERROR_FILE_NOT_FOUND;
  return static_cast<unsigned long>(RegDeleteValueA(opened.get(), name.c_str()));
}
unsigned long RemovalSystem::DeleteEmptyKey(const std::string& key) {
  {
    const win::RegKey opened =
        win::OpenKey(HKEY_LOCAL_MACHINE, key, false, base::ProgramRegistryView());
    if (!opened) return ERROR_FILE_NOT_FOUND;
    DWORD subkeys = 0, values = 0;
    if (RegQueryInfoKeyA(opened.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                         &values, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
      return ERROR_ACCESS_DENIED;
    }
    if (subkeys || values) return ERROR_DIR_NOT_EMPTY;
  }
  return static_cast<unsigned long>(
      RegDeleteKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), base::ProgramRegistryView(), 0));
}
unsigned long RemovalSystem::DeleteKeyTree(const std::string& key) {
  // Named below its parent, opened in the program's view: then the key itself goes too.
  const std::size_t slash = key.rfind('\\');
  if (slash == std::string::npos) return ERROR_INVALID_PARAMETER;  // never a root's own key
  const win::RegKey parent = win::OpenKey(HKEY_LOCAL_MACHINE, key.substr(0, slash), false,
                                          base::ProgramRegistryView());
  if (!parent) return GetLastError() == ERROR_FILE_NOT_FOUND ? 0 : GetLastError();
  const LONG result = RegDeleteTreeA(parent.get(), key.substr(slash + 1).c_str());
  return result == ERROR_FILE_NOT_FOUND ? 0 : static_cast<unsigned long>(result);
}
unsigned long RemovalSystem::DeleteIniKey(const std::string& ini, const std::string& section,
                                          const std::string& key) {
  if (!win::FileExistsQuiet(ini)) return 0;
  // Never through a link: the file itself, held while the profile functions write it by name.
  win::FileHandle held = base::HoldProfileFile(ini, /*create=*/false);
  if (!held) return GetLastError();
  return base::WriteWhileHeld(held, [&] {
           return WritePrivateProfileStringA(section.c_str(), key.c_str(), nullptr, ini.c_str()) != 0;
         })
             ? 0
             : GetLastError();
}

RemovalSystem& SystemRemoval() {
  static RemovalSystem system;
  return system;
}

}  // namespace uninstall
