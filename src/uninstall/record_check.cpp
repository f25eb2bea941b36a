#include "uninstall/record_check.h"

#include <windows.h>

#include <aclapi.h>

#include "base/file_checks.h"
#include "core/install_record.h"
#include "core/product.h"
#include "core/removal_plan.h"
#include "base/shared_files.h"
#include "win32/files.h"
#include "win32/handles.h"
#include "win32/registry.h"
#include "win32/sha256.h"
#include "win32/wide_text.h"

namespace uninstall {
namespace {

// The whole content of a plain file with a single name, opened without following a link;
// nothing for a missing file, a link, a folder or a file with other names.
std::optional<std::string> ReadPlainFile(const std::string& path, DWORD& error) {
  const win::FileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                         OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  error = file ? 0 : GetLastError();
  BY_HANDLE_FILE_INFORMATION info{};
  if (!file || !GetFileInformationByHandle(file.get(), &info)) return std::nullopt;
  if ((info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) ||
      info.nNumberOfLinks != 1 || info.nFileSizeHigh != 0 || info.nFileSizeLow > (256u << 20)) {
    error = ERROR_INVALID_DATA;
    return std::nullopt;
  }
  std::string bytes(info.nFileSizeLow, '\0');
  DWORD read = 0;
  if (!bytes.empty() && (!ReadFile(file.get(), bytes.data(), info.nFileSizeLow, &read, nullptr) ||
                         read != info.nFileSizeLow)) {
    error = GetLastError();
    return std::nullopt;
  }
  return bytes;
}

std::optional<std::string> IniValue(const std::string& ini, const char* key) {
  char value[4096];
  const DWORD n =
      GetPrivateProfileStringA(product::kIniSection, key, "\x01", value, sizeof value, ini.c_str());
  if (n == 1 && value[0] == '\x01') return std::nullopt;
  return std::string(value, n);
}

std::string Sha256Hex(std::string_view bytes) {
  const auto digest = win::Sha256(bytes);
  return digest ? dt::Sha256Hex(*digest) : std::string();
}

// The folder as a path that names it: a drive's root keeps its backslash ("C:" alone is the
// current folder of drive C).
std::string AsFolder(const std::string& folder) {
  return folder.size() == 2 && folder[1] == ':' ? folder + "\\" : folder;
}

}  // namespace

std::string UninstallKey() {
  return product::kUninstallKey;
}

std::optional<CheckedInstallation> FindInstallation(const std::string& folder, base::ProgramLog& log) {
  CheckedInstallation found;
  found.folder = folder;
  found.recordPath = folder + "\\" + std::string(dt::kRecordFileName);
  const std::string ini = folder + "\\" + product::kUninstallerIni;
  found.title = IniValue(ini, product::kIniTitleKey).value_or(product::kProgramTitle);

  DWORD error = 0;
  const auto bytes = ReadPlainFile(found.recordPath, error);
  if (!bytes) {
    log.WriteAnsi("installation record \"" + found.recordPath + "\" cannot be read (system error " +
                  std::to_string(error) + "): nothing changed");
    return std::nullopt;
  }
  found.recordBytes = *bytes;

  std::optional<std::string> anchor;
  if (const win::RegKey key = win::OpenKey(HKEY_LOCAL_MACHINE, UninstallKey(), false,
                                               base::ProgramRegistryView())) {
    try {
      anchor = win::ReadStringValue(key.get(), "InstallRecord");
    } catch (const std::exception&) {
      anchor = "";  // not a text: an anchor that matches nothing
    }
  }
  found.checked = dt::CheckRecordBytes(found.recordBytes, anchor, Sha256Hex);
  log.WriteAnsi("installation record \"" + found.recordPath + "\", " +
                std::to_string(found.recordBytes.size()) + " bytes: " +
                dt::Describe(found.checked.verdict) +
                (found.checked.anchoredLength
                     ? ", anchored " + std::to_string(*found.checked.anchoredLength) + " bytes"
                     : std::string()) +
                (found.checked.read.tornTail ? ", a torn last line ignored" : ""));
  if (!found.checked.Usable()) return std::nullopt;

  const std::string recorded = win::Utf8ToAnsi(found.checked.recordedFolder);
  if (!win::SameFolder(recorded, AsFolder(folder))) {
    log.WriteAnsi("the record is of another folder (\"" + recorded + "\"): nothing changed");
    return std::nullopt;
  }
  if (const auto installDir = IniValue(ini, product::kIniFolderKey);
      installDir && !win::SameFolder(*installDir, AsFolder(folder))) {
    log.WriteAnsi("Uninstaller.ini names another folder (\"" + *installDir +
                  "\"): nothing changed");
    return std::nullopt;
  }
  if (found.checked.verdict == dt::RecordVerdict::kUnanchored) {
    if (!dt::FirstRunMadeFolder(found.checked.read, found.checked.recordedFolder) ||
        !base::OwnedByAdministrators(AsFolder(folder))) {
      log.Write(L"the record is not anchored, and the installation did not make a folder owned by "
                L"Administrators or SYSTEM: nothing changed");
      return std::nullopt;
    }
    log.Write(L"the record is not anchored: only files it created in the installation folder, "
              L"unchanged since, and the empty folders it created are removed");
  }
  return found;
}

}  // namespace uninstall
