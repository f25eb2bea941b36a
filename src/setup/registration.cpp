#include "setup/registration.h"

#include <cstdio>

#include "setup/globals.h"
#include "win32/files.h"
#include "win32/handles.h"
#include "win32/registry.h"

namespace setup {
namespace {

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

// The full path of a file, so that the profile functions never take a relative path for a name
// in the Windows folder.
std::string FullPath(const std::string& path) {
  char buffer[MAX_PATH * 4];
  const DWORD n = GetFullPathNameA(path.c_str(), sizeof buffer, buffer, nullptr);
  return n > 0 && n < sizeof buffer ? std::string(buffer, n) : path;
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

void RegisterProduct(ProductRegistry& registry, std::uint32_t estimatedSizeKiB) {
  // In the program's own registry view: the 32-bit program's entry goes to the 32-bit view,
  // where Windows lists the 32-bit programs.
  if (auto key = registry.CreateKey(
          HKEY_LOCAL_MACHINE,
          "\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + ProgramTitle)) {
    key->WriteString("DisplayName", ProgramTitle);
    // Quoted: a path with blanks would otherwise let Windows start C:\Program.exe in its place.
    key->WriteString("UninstallString", Quoted(InstallFolder + "\\Uninstaller.exe"));
    // What "Apps & Features" shows of the product; it offers no Change or Repair.
    key->WriteString("DisplayVersion", "5.02");
    key->WriteString("Publisher", "Fendaro");
    key->WriteString("InstallLocation", InstallFolder);
    key->WriteString("InstallDate", LocalDateText());
    key->WriteDword("EstimatedSize", estimatedSizeKiB);
    key->WriteDword("NoModify", 1);
    key->WriteDword("NoRepair", 1);
  }
  if (auto key = registry.CreateKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Fendaro\\Korvu\\5.0")) {
    key->WriteString("ProgramDir", InstallFolder);
    key->WriteString("SearchPaths", "");
    key->WriteString("GeoDictionary", InstallFolder + "\\Maps\\GeoDict.DCT");
    key->WriteString("VersionCode", "5.02");
    key->WriteString("CommonDLLDir", InstallFolder);
  }
  RunProgram(InstallFolder + "\\REGSVR32.EXE", "/s " + Quoted(InstallFolder + "\\KORVU50.DLL"),
             /*minimised=*/true, /*wait=*/false);
  RunProgram(InstallFolder + "\\RegTypLib.exe", Quoted(InstallFolder + "\\kdatasetint.tlb"),
             /*minimised=*/true, /*wait=*/false);
  const std::string ini = InstallFolder + "\\Uninstaller.ini";
  WriteIniValue(ini, "program", "ProgName", ProgramTitle);
  WriteIniValue(ini, "program", "InstallDir", InstallFolder);
}

bool RunProgram(const std::string& path, const std::string& arguments, bool minimised, bool wait) {
  if (path.empty()) return false;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = minimised ? SW_SHOWMINIMIZED : SW_SHOWNORMAL;
  std::string commandLine = Quoted(path) + " " + arguments;
  PROCESS_INFORMATION started{};
  if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &started)) {
    return false;
  }
  const win::KernelHandle process(started.hProcess), thread(started.hThread);
  if (wait) WaitForSingleObject(process.get(), INFINITE);
  return true;
}

bool WriteIniValue(const std::string& iniPath, const std::string& section, const std::string& key,
                   const std::string& value) {
  const std::string path = FullPath(iniPath);
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
