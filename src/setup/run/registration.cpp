#include "setup/run/registration.h"

#include <cstdio>
#include <optional>
#include <stdexcept>

#include "core/product.h"
#include "setup/run/globals.h"
#include "setup/run/install_log.h"
#include "win32/files.h"
#include "win32/handles.h"
#include "win32/registry.h"

namespace setup {
namespace {

// A key that logs each value written, or the error that stops the stage.
class LoggedKey {
 public:
  LoggedKey(std::unique_ptr<ProductRegistry::Key> key, std::string path, InstallLog& log)
      : key_(std::move(key)), path_(std::move(path)), log_(log) {}
  void WriteString(const std::string& name, const std::string& value) {
    try {
      key_->WriteString(name, value);
    } catch (const std::exception& e) {
      log_.WriteAnsi("registry value " + path_ + "\\" + name + " not written: " + e.what());
      throw;
    }
    log_.WriteAnsi("registry value " + path_ + "\\" + name + " = \"" + value + "\"");
  }
  void WriteDword(const std::string& name, std::uint32_t value) {
    try {
      key_->WriteDword(name, value);
    } catch (const std::exception& e) {
      log_.WriteAnsi("registry value " + path_ + "\\" + name + " not written: " + e.what());
      throw;
    }
    log_.WriteAnsi("registry value " + path_ + "\\" + name + " = " + std::to_string(value) +
                   " (DWORD)");
  }

 private:
  std::unique_ptr<ProductRegistry::Key> key_;
  std::string path_;
  InstallLog& log_;
};

// Opens (creating) a key under HKEY_LOCAL_MACHINE; logs when that fails.
std::optional<LoggedKey> CreateLoggedKey(ProductRegistry& registry, const std::string& path,
                                         InstallLog& log) {
  const std::string name = "HKLM\\" + (path.rfind('\\', 0) == 0 ? path.substr(1) : path);
  auto key = registry.CreateKey(HKEY_LOCAL_MACHINE, path);
  if (!key) {
    log.WriteAnsi("registry key " + name + " cannot be opened or created: skipped");
    return std::nullopt;
  }
  return LoggedKey(std::move(key), name, log);
}

// Starts a registration tool and logs its command line and whether it started.
void StartTool(const std::string& path, const std::string& arguments, StartedTools& started,
               InstallLog& log) {
  const std::string commandLine = "\"" + path + "\" " + arguments;
  win::KernelHandle process = StartProgram(path, arguments, /*minimised=*/true);
  if (!process) {
    log.WriteAnsi("tool not started (system error " + std::to_string(GetLastError()) +
                  "): " + commandLine);
    return;
  }
  log.WriteAnsi("tool started: " + commandLine);
  started.push_back({commandLine, std::move(process)});
}

void WriteLoggedIniValue(const std::string& ini, const std::string& key, const std::string& value,
                         InstallLog& log) {
  const bool written = WriteIniValue(ini, "program", key, value);
  log.WriteAnsi("INI value [program] " + key + "=" + value + " in \"" + ini +
                "\": " + (written ? "written" : "not written"));
}

class SystemKey final : public ProductRegistry::Key {
 public:
  explicit SystemKey(win::RegKey key) : key_(std::move(key)) {}
  void WriteString(const std::string& name, const std::string& value) override {
    win::WriteStringValue(key_.get(), name, value);
  }
  void WriteDword(const std::string& name, std::uint32_t value) override {
    win::WriteDwordValue(key_.get(), name, value);
  }

 private:
  win::RegKey key_;
};

class SystemProductRegistry final : public ProductRegistry {
 public:
  std::unique_ptr<Key> CreateKey(HKEY root, const std::string& path) override {
    win::RegKey key = win::OpenKey(root, path, /*create=*/true);
    if (!key) return nullptr;
    return std::make_unique<SystemKey>(std::move(key));
  }
};

std::string Quoted(const std::string& text) {
  return "\"" + text + "\"";
}

}  // namespace

ProductRegistry& SystemRegistry() {
  static SystemProductRegistry registry;
  return registry;
}

std::string LocalDateText() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  char text[16];
  std::snprintf(text, sizeof text, "%04u%02u%02u", static_cast<unsigned>(now.wYear),
                static_cast<unsigned>(now.wMonth), static_cast<unsigned>(now.wDay));
  return text;
}

StartedTools RegisterProduct(ProductRegistry& registry, std::uint32_t estimatedSizeKiB,
                             InstallLog& log) {
  // In the program's own registry view: the 32-bit program's entry goes to the 32-bit view,
  // where Windows lists the 32-bit programs.
  if (auto key = CreateLoggedKey(
          registry, product::kUninstallKeyParent + ProgramTitle,
          log)) {
    key->WriteString("DisplayName", ProgramTitle);
    // Quoted: a path with blanks would otherwise let Windows start C:\Program.exe in its place.
    key->WriteString("UninstallString", Quoted(InstallFolder + "\\" + product::kUninstaller));
    // What "Apps & Features" shows of the product; it offers no Change or Repair.
    key->WriteString("DisplayVersion", product::kVersion);
    key->WriteString("Publisher", product::kPublisher);
    key->WriteString("InstallLocation", InstallFolder);
    key->WriteString("InstallDate", LocalDateText());
    key->WriteDword("EstimatedSize", estimatedSizeKiB);
    key->WriteDword("NoModify", 1);
    key->WriteDword("NoRepair", 1);
  }
  if (auto key = CreateLoggedKey(registry, product::kSettingsKey, log)) {
    key->WriteString("ProgramDir", InstallFolder);
    key->WriteString("SearchPaths", "");
    key->WriteString("GeoDictionary", InstallFolder + "\\Maps\\GeoDict.DCT");
    key->WriteString("VersionCode", product::kVersion);
    key->WriteString("CommonDLLDir", InstallFolder);
  }
  StartedTools started;
  const std::string folder = InstallFolder + "\\";
  StartTool(folder + product::kRegisterTool, "/s " + Quoted(folder + product::kLibrary), started,
            log);
  StartTool(folder + product::kTypeLibraryTool, Quoted(folder + product::kTypeLibrary), started,
            log);
  const std::string ini = folder + product::kUninstallerIni;
  WriteLoggedIniValue(ini, "ProgName", ProgramTitle, log);
  WriteLoggedIniValue(ini, "InstallDir", InstallFolder, log);
  return started;
}

win::KernelHandle StartProgram(const std::string& path, const std::string& arguments,
                               bool minimised) {
  if (path.empty()) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return {};
  }
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = minimised ? SW_SHOWMINIMIZED : SW_SHOWNORMAL;
  std::string commandLine = Quoted(path) + " " + arguments;
  PROCESS_INFORMATION started{};
  if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &started)) {
    return {};
  }
  const win::KernelHandle thread(started.hThread);
  return win::KernelHandle(started.hProcess);
}

bool RunProgram(const std::string& path, const std::string& arguments, bool minimised, bool wait) {
  const win::KernelHandle process = StartProgram(path, arguments, minimised);
  if (!process) return false;
  if (wait) WaitForSingleObject(process.get(), INFINITE);
  return true;
}

bool WriteIniValue(const std::string& iniPath, const std::string& section, const std::string& key,
                   const std::string& value) {
  // The full path, so that the profile functions never take a relative path for a name in the
  // Windows folder.
  const std::string path = win::FullPath(iniPath).value_or(iniPath);
  if (!win::FileExistsQuiet(path)) {
    const win::FileHandle created(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!created) return false;
  }
  const bool written =
      WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), path.c_str()) != 0;
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());  // flush
  return written;
}

}  // namespace setup
