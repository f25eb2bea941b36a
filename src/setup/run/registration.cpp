#include "setup/run/registration.h"

#include <cstdio>
#include <optional>
#include <stdexcept>

#include "core/install_record.h"
#include "core/product.h"
#include "base/profile_file.h"
#include "base/program_log.h"
#include "base/shared_files.h"
#include "win32/files.h"
#include "win32/handles.h"
#include "win32/registry.h"
#include "win32/sha256.h"
#include "win32/wide_text.h"

namespace setup {
namespace {

// A record line that cannot be written stops the stage before the change it announces.
void Announce(base::RecordWriter& record, std::string_view kind,
              std::initializer_list<std::string_view> fields) {
  if (!record.Announce(kind, fields)) {
    throw std::runtime_error(win::WideToUtf8(RecordWriteError(record)));
  }
}

// A key that logs and records each value written, or the error that stops the stage.
class LoggedKey {
 public:
  LoggedKey(std::unique_ptr<ProductRegistry::Key> key, std::string path, std::string recordPath,
            base::ProgramLog& log, base::RecordWriter& record)
      : key_(std::move(key)),
        path_(std::move(path)),
        recordPath_(std::move(recordPath)),
        log_(log),
        record_(record) {}
  void WriteString(const std::string& name, const std::string& value) {
    Write(name, "\"" + value + "\"", [&] { key_->WriteString(name, value); });
  }
  void WriteDword(const std::string& name, std::uint32_t value) {
    Write(name, std::to_string(value) + " (DWORD)", [&] { key_->WriteDword(name, value); });
  }
  // A value the record does not list: the anchor, which the record cannot hold.
  void WriteAnchor(const std::string& value) {
    const std::string name = "InstallRecord";
    key_->WriteString(name, value);
    log_.WriteAnsi("registry value " + path_ + "\\" + name + " = \"" + value + "\"");
  }

 private:
  template <typename WriteValue>
  void Write(const std::string& name, const std::string& shown, WriteValue write) {
    const bool existed = record_.Recording() && key_->HasValue(name);
    Announce(record_, dt::kRecordValuePending, {base::RegistryViewName(), recordPath_, name});
    try {
      write();
    } catch (const std::exception& e) {
      log_.WriteAnsi("registry value " + path_ + "\\" + name + " not written: " + e.what());
      throw;
    }
    record_.Note(dt::kRecordValue,
                 {base::RegistryViewName(), recordPath_, name, existed ? "replaced" : "created"});
    log_.WriteAnsi("registry value " + path_ + "\\" + name + " = " + shown);
  }

  std::unique_ptr<ProductRegistry::Key> key_;
  std::string path_;        // as the log names it
  std::string recordPath_;  // as the record names it: below HKLM, no leading backslash
  base::ProgramLog& log_;
  base::RecordWriter& record_;
};

// Opens (creating) a key under HKEY_LOCAL_MACHINE, recording each level it creates; logs when
// that fails.
std::optional<LoggedKey> CreateLoggedKey(ProductRegistry& registry, const std::string& path,
                                         base::ProgramLog& log, base::RecordWriter& record) {
  const std::string relative = path.rfind('\\', 0) == 0 ? path.substr(1) : path;
  const std::string name = "HKLM\\" + relative;
  const std::vector<std::string> missing =
      record.Recording() ? registry.MissingLevels(HKEY_LOCAL_MACHINE, relative)
                         : std::vector<std::string>{};
  for (const std::string& level : missing) {
    Announce(record, dt::kRecordKeyPending, {base::RegistryViewName(), level});
  }
  auto key = registry.CreateKey(HKEY_LOCAL_MACHINE, path);
  if (!key) {
    log.WriteAnsi("registry key " + name + " cannot be opened or created: skipped");
    return std::nullopt;
  }
  for (const std::string& level : missing) record.Note(dt::kRecordKey, {base::RegistryViewName(), level});
  return LoggedKey(std::move(key), name, relative, log, record);
}

// A file of the registration as this run wrote it, held (nobody may write, rename or delete it)
// and checked to hold exactly what the run wrote into it, so that an ordinary user who can write
// the installation folder cannot swap it before the elevated run starts or reads it. Null, and
// logged why, otherwise.
win::FileHandle HoldWritten(const std::string& path, const WrittenFiles& written,
                            base::ProgramLog& log) {
  const auto content = written.ContentOf(FileIdentity(path));
  if (!content) {
    log.WriteAnsi("not used: \"" + path + "\" is no file this run wrote");
    return {};
  }
  win::FileHandle file = win::HoldPlainFile(path);
  if (!file) {
    log.WriteAnsi("not used: \"" + path + "\" cannot be held (system error " +
                  std::to_string(GetLastError()) + ")");
    return {};
  }
  const auto digest = win::Sha256OfWholeFile(file.get());
  if (!digest || dt::Sha256Hex(*digest) != *content) {
    log.WriteAnsi("not used: \"" + path + "\" is not what this run wrote there");
    return {};
  }
  return file;
}

// Starts a registration tool on a file, both held as this run wrote them until the tool ends, and
// logs its command line and whether it started.
void StartTool(const std::string& path, const std::string& argumentFile,
               const std::string& arguments, const WrittenFiles& written,
               base::StartedTools& started, base::ProgramLog& log, base::RecordWriter& record) {
  const std::string commandLine = "\"" + path + "\" " + arguments;
  std::vector<win::FileHandle> held;
  for (const std::string& file : {path, argumentFile}) {
    held.push_back(HoldWritten(file, written, log));
    if (!held.back()) {
      log.WriteAnsi("tool not started: " + commandLine);
      return;
    }
  }
  Announce(record, dt::kRecordToolPending, {commandLine});
  win::KernelHandle process = base::StartProgram(path, arguments, /*minimised=*/true);
  if (process) record.Note(dt::kRecordTool, {commandLine});
  if (!process) {
    log.WriteAnsi("tool not started (system error " + std::to_string(GetLastError()) +
                  "): " + commandLine);
    return;
  }
  log.WriteAnsi("tool started: " + commandLine);
  started.push_back({commandLine, std::move(process), std::move(held)});
}

void WriteLoggedIniValue(const std::string& ini, const std::string& key, const std::string& value,
                         base::ProgramLog& log, base::RecordWriter& record) {
  const bool fileExisted = win::FileExistsQuiet(ini);
  char current[2];
  const bool keyExisted =
      fileExisted && GetPrivateProfileStringA(product::kIniSection, key.c_str(), "\x01", current,
                                              sizeof current, ini.c_str()) != 0 &&
      current[0] != '\x01';
  Announce(record, dt::kRecordIniPending, {ini, product::kIniSection, key});
  const bool written = WriteIniValue(ini, product::kIniSection, key, value);
  if (written) {
    record.Note(dt::kRecordIni, {ini, product::kIniSection, key,
                                 keyExisted ? "replaced" : "created", fileExisted ? "0" : "1"});
  }
  log.WriteAnsi(std::string("INI value [") + product::kIniSection + "] " + key + "=" + value +
                " in \"" + ini + "\": " + (written ? "written" : "not written"));
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
  bool HasValue(const std::string& name) const override {
    return RegQueryValueExA(key_.get(), name.c_str(), nullptr, nullptr, nullptr, nullptr) ==
           ERROR_SUCCESS;
  }

 private:
  win::RegKey key_;
};

class SystemProductRegistry final : public ProductRegistry {
 public:
  std::unique_ptr<Key> CreateKey(HKEY root, const std::string& path) override {
    win::RegKey key = win::OpenKey(root, path, /*create=*/true, base::ProgramRegistryView());
    if (!key) return nullptr;
    return std::make_unique<SystemKey>(std::move(key));
  }
  std::vector<std::string> MissingLevels(HKEY root, const std::string& path) override {
    std::vector<std::string> missing;
    for (std::size_t slash = 0; slash != std::string::npos;) {
      slash = path.find('\\', slash + 1);
      const std::string level = path.substr(0, slash);
      if (!missing.empty() || !win::OpenKey(root, level, /*create=*/false, base::ProgramRegistryView())) {
        missing.push_back(level);
      }
    }
    return missing;
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

base::StartedTools RegisterProduct(ProductRegistry& registry, const RunState& state,
                                   std::uint32_t estimatedSizeKiB, const WrittenFiles& written,
                                   base::ProgramLog& log,
                                   base::RecordWriter& record) {
  const std::string& installFolder = state.InstallFolder;
  // In the program's own registry view: the 32-bit program's entry goes to the 32-bit view,
  // where Windows lists the 32-bit programs.
  std::optional<LoggedKey> entry =
      CreateLoggedKey(registry, product::kUninstallKeyFromRoot, log, record);
  if (entry) {
    entry->WriteString("DisplayName", state.ProgramTitle);
    // Quoted: a path with blanks would otherwise let Windows start C:\Program.exe in its place.
    const std::string uninstallString = Quoted(installFolder + "\\" + product::kUninstaller);
    entry->WriteString("UninstallString", uninstallString);
    // What deployment tools run to remove the product without a person.
    entry->WriteString("QuietUninstallString", uninstallString + " /VERYSILENT");
    // What "Apps & Features" shows of the product; it offers no Change or Repair.
    entry->WriteString("DisplayVersion", product::kVersion);
    entry->WriteString("Publisher", product::kPublisher);
    entry->WriteString("InstallLocation", installFolder);
    entry->WriteString("InstallDate", LocalDateText());
    entry->WriteDword("EstimatedSize", estimatedSizeKiB);
    entry->WriteDword("NoModify", 1);
    entry->WriteDword("NoRepair", 1);
  }
  if (auto key = CreateLoggedKey(registry, product::kSettingsKey, log, record)) {
    key->WriteString("ProgramDir", installFolder);
    key->WriteString("SearchPaths", "");
    key->WriteString("GeoDictionary", installFolder + "\\Maps\\GeoDict.DCT");
    key->WriteString("VersionCode", product::kVersion);
    key->WriteString("CommonDLLDir", installFolder);
  }
  const std::string folder = installFolder + "\\";
  // The files that the uninstaller will run, load or read elevated: it checks them against these.
  for (const char* name : {product::kRegisterTool, product::kLibrary, product::kTypeLibrary}) {
    if (const auto hash = written.ContentOf(FileIdentity(folder + name))) {
      record.Note(dt::kRecordSha256, {folder + name, *hash});
    }
  }
  // The record's anchor, the last registry write: only administrators can change it.
  if (entry) {
    if (const auto anchor = record.Anchor()) {
      entry->WriteAnchor(*anchor);
    } else if (record.Recording()) {
      throw std::runtime_error(win::WideToUtf8(RecordWriteError(record)));
    }
  }
  base::StartedTools started;
  StartTool(folder + product::kRegisterTool, folder + product::kLibrary,
            "/s " + Quoted(folder + product::kLibrary), written, started, log, record);
  StartTool(folder + product::kTypeLibraryTool, folder + product::kTypeLibrary,
            Quoted(folder + product::kTypeLibrary), written, started, log, record);
  const std::string ini = folder + product::kUninstallerIni;
  WriteLoggedIniValue(ini, product::kIniTitleKey, state.ProgramTitle, log, record);
  WriteLoggedIniValue(ini, product::kIniFolderKey, installFolder, log, record);
  record.Flush();
  return started;
}

bool WriteIniValue(const std::string& iniPath, const std::string& section, const std::string& key,
                   const std::string& value) {
  // The full path, so that the profile functions never take a relative path for a name in the
  // Windows folder.
  const std::string path = win::FullPath(iniPath).value_or(iniPath);
  // Never through a link: the file itself, held while the profile functions write it by name.
  win::FileHandle held = base::HoldProfileFile(path, /*create=*/true);
  if (!held) return false;
  return base::WriteWhileHeld(held, [&] {
    const bool written =
        WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), path.c_str()) != 0;
    const DWORD error = GetLastError();
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());  // flush
    SetLastError(error);
    return written;
  });
}

}  // namespace setup
