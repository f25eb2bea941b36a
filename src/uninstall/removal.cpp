#include "uninstall/removal.h"

#include <windows.h>

#include <algorithm>
#include <optional>

#include "base/file_checks.h"
#include "base/held_files.h"
#include "base/held_folders.h"
#include "base/record_writer.h"
#include "base/started_programs.h"
#include "core/install_record.h"
#include "core/product.h"
#include "core/text.h"
#include "base/shared_files.h"
#include "uninstall/admin_folder.h"
#include "uninstall/ini_check.h"
#include "uninstall/unregistration.h"
#include "win32/files.h"
#include "win32/handles.h"
#include "win32/registry.h"
#include "win32/wide_text.h"

namespace uninstall {
namespace {

using base::Check;
using base::CheckedFile;
using base::FileState;
using base::InUse;
using base::OpenForCheck;

std::string Ansi(const std::string& utf8) {
  return win::Utf8ToAnsi(utf8);
}

// A recorded path that the code page cannot name exactly: the installer, which wrote every path
// from an ANSI one, never wrote it, and a plain conversion could make a look-alike character (a
// fullwidth dot or colon) into another path.
constexpr char kNoExactName[] = "a name the system's code page cannot hold exactly";

class Removal {
 public:
  Removal(const CheckedInstallation& installation, RemovalView& view, RemovalSystem& system,
          base::ProgramLog& log)
      : installation_(installation),
        view_(view),
        system_(system),
        log_(log),
        progress_(base::RecordWriter::AppendTo(installation.recordPath)),
        plan_(dt::MakeRemovalPlan({installation.checked.read, installation.checked.anchoredLength,
                                   win::AnsiToUtf8(installation.folder)})),
        restricted_(!installation.checked.anchoredLength) {
    known_ = base::KnownPlaces(installation.folder);
    self_ = dt::PathKey(win::AnsiToUtf8(win::ProgramFilePath().value_or(std::string())));
    for (const auto& [key, level] : plan_.linkLevels) {
      const DWORD attributes = GetFileAttributesA(Ansi(level.path).c_str());
      const bool linkNow = attributes != INVALID_FILE_ATTRIBUTES &&
                           (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
      // Only an anchored line may say that a level was a link already at the installation.
      if (linkNow && (!level.wasLink || !level.anchored)) blockedBelow_.push_back(key);
    }
  }

  RemovalReport Run() {
    RemoveAll();
    // After every file left to the restart: Windows deletes in the order asked.
    if (!leftovers_.empty() && system_.DeleteAtRestart(leftovers_) == 0) {
      log_.WriteAnsi("the folder \"" + leftovers_ + "\" is removed at the next restart");
    }
    return report_;
  }

 private:
  void RemoveAll() {
    const std::int32_t total = static_cast<std::int32_t>(
        plan_.files.size() + plan_.folders.size() + plan_.values.size() + plan_.keys.size() + 1);
    view_.SetGaugeMax(total);
    if (!restricted_) {
      // While the files still exist.
      view_.SetLabel(L"Отмена регистрации библиотек программы...");
      view_.Pump();
      UnregisterLibraries(installation_.folder, plan_, view_, log_);
    } else {
      log_.Write(L"no libraries unregistered: the record is not anchored");
    }
    for (const dt::PlannedFile& file : plan_.files) {
      if (!Next()) return;
      RemoveFile(file);
    }
    view_.SetLabel(L"Удаление записей программы...");
    for (const dt::PlannedFolder& folder : plan_.folders) {
      if (!Next()) return;
      RemoveFolder(folder);
    }
    for (const dt::PlannedValue& value : plan_.values) {
      if (!Next()) return;
      RemoveValue(value);
    }
    for (const dt::PlannedKey& key : plan_.keys) {
      if (!Next()) return;
      RemoveKey(key);
    }
    if (!Next()) return;
    Finish();
  }

  // Between two items: the pump, the gauge, and a confirmed cancel.
  bool Next() {
    view_.SetGaugePosition(++done_);
    view_.Pump();
    if (view_.Aborted()) {
      log_.Write(L"cancelled: the record says what was done, a second run finishes");
      report_.cancelled = true;
      return false;
    }
    return true;
  }

  // Kept by rule. A lasting reason goes to the record, so that a second run does not ask again;
  // one that may pass (a folder that is not empty yet) does not.
  void Keep(const char* what, const std::string& path, const std::string& why,
            bool lasting = true) {
    log_.WriteAnsi(std::string("kept: ") + what + " \"" + path + "\" (" + why + ")");
    report_.kept.push_back(path);
    if (lasting) progress_.Write(dt::kRecordKeptByRule, {what, path, why});
  }
  void Fail(const char* what, const std::string& path, unsigned long error) {
    log_.WriteAnsi(std::string("not removed: ") + what + " \"" + path + "\" (system error " +
                   std::to_string(error) + ")");
    report_.failed.push_back({what, path});
  }
  void Removed(const char* what, const std::string& path) {
    log_.WriteAnsi(std::string("removed: ") + what + " \"" + path + "\"");
    progress_.Write(dt::kRecordRemoved, {what, path});
  }

  // Below a level of the installation folder's path that was not a link at installation and is
  // one now: not followed.
  bool Blocked(const std::string& utf8) const {
    const std::string key = dt::PathKey(utf8);
    return std::any_of(blockedBelow_.begin(), blockedBelow_.end(), [&](const std::string& b) {
      return key == b || key.rfind(b + "\\", 0) == 0;
    });
  }

  // The levels below the installation folder down to `folder`, held as themselves for the rest of
  // the removal: the level that is a link (or cannot be held), if any. Nothing below a link is
  // deleted, removed or left to the restart: it is not the product's.
  std::optional<std::string> LinkOnTheWay(const std::string& folder, dt::Place place) {
    if (place != dt::Place::kInstallFolder) return std::nullopt;
    return held_.Hold(installation_.folder, folder);
  }
  static std::string BelowALink(const std::string& level) {
    return "below \"" + level + "\", a link or a folder that cannot be held";
  }

  void RemoveFile(const dt::PlannedFile& file) {
    if (file.done) return;
    const std::string path = Ansi(file.path);
    const std::string folder = dt::SplitPath(path).folder;
    view_.SetLabel(L"Файл: " + win::AnsiToWide(dt::SplitPath(path).file) + L"...");
    const dt::Place place = dt::Classify(file.path, known_);
    if (place == dt::Place::kOutside) return Keep("file", path, "outside the folders it may touch");
    if (!win::Utf8ToAnsiExact(file.path)) return Keep("file", path, kNoExactName);
    if (Blocked(file.path)) return Keep("file", path, "below a link made since the installation");
    if (const auto link = LinkOnTheWay(folder, place)) return Keep("file", path, BelowALink(*link));
    if (dt::PathKey(file.path) == self_) return;  // the running uninstaller: left to the end
    if (file.temporary) return RemoveTemporary(file, path, folder, place);
    if (restricted_ || !file.anchored) {
      // Only what the record created inside the installation folder, unchanged since.
      if (place != dt::Place::kInstallFolder || !file.createdByProduct || file.shared) {
        return Keep("file", path, "not vouched for by the anchored record");
      }
    }
    CheckedFile checked = Check(path, file);
    if (checked.state == FileState::kMissing) return;
    if (checked.handle && !held_.Contains(folder, checked.handle.get())) {
      return Keep("file", path, "reached through a link its folder became");
    }
    if (place == dt::Place::kFonts) return Keep("file", path, "fonts are never removed");
    if (file.shared) {
      if (!ReturnUses(file, path)) return;
    } else if (!file.createdByProduct &&
               !(file.replacedOnly && place == dt::Place::kInstallFolder &&
                 plan_.installFolderCreated)) {
      return Keep("file", path, "it was there before the installation");
    }
    if (checked.state != FileState::kUnchanged) {
      return Keep("file", path, "changed since the installation");
    }
    Delete(path, place, std::move(checked));
  }

  // A temporary file a killed run left beside a file it replaced ("<name>.~" and 8 hex digits,
  // made anew under a random name, so the product's own): removed when it is still there as a
  // plain file. A line the anchor does not vouch for counts only inside the installation folder.
  void RemoveTemporary(const dt::PlannedFile& file, const std::string& path,
                       const std::string& folder, dt::Place place) {
    if ((restricted_ || !file.anchored) && place != dt::Place::kInstallFolder) {
      return Keep("file", path, "not vouched for by the anchored record");
    }
    if (!dt::TemporaryTarget(file.path)) return Keep("file", path, "not a temporary file's name");
    CheckedFile checked = Check(path, file);
    if (checked.state == FileState::kMissing) return;
    if (checked.state == FileState::kNotAFile) return Keep("file", path, "not a plain file");
    if (checked.handle && !held_.Contains(folder, checked.handle.get())) {
      return Keep("file", path, "reached through a link its folder became");
    }
    Delete(path, place, std::move(checked));
  }

  // Gives back the uses the record counted; true when the file may go (its count is gone and the
  // product created it).
  bool ReturnUses(const dt::PlannedFile& file, const std::string& path) {
    if (file.shared->countLowered) {
      // A first run lowered it already.
    } else {
      // The record says so, on the disk, before the count changes: a rerun never gives the same
      // uses back twice, which would take them from other products. A record that cannot take
      // the line leaves the count as it is, and the run fails.
      bool recorded = true;
      const auto lowering = base::ReturnSharedUses(path, file.shared->increments, [&] {
        recorded = progress_.WriteThrough(dt::kRecordCountLowered, {path});
        return recorded;
      });
      if (!recorded) {
        const DWORD error = GetLastError();
        log_.WriteAnsi("the installation record \"" + installation_.recordPath +
                       "\" cannot take the line that the count of \"" + path +
                       "\" is lowered (system error " + std::to_string(error) +
                       "): the count stays");
        Fail("shared count of", path, error);
        return false;
      }
      switch (lowering) {
        case base::CountReturn::kLowered:
          Keep("file", path, "still used by other programs");
          return false;
        case base::CountReturn::kReleased:
          log_.WriteAnsi("shared file count released: \"" + path + "\"");
          break;
        case base::CountReturn::kUnusable:
          Keep("file", path, "its shared count is missing, not a number or 0");
          return false;
        case base::CountReturn::kFailed:
          Fail("shared count of", path, GetLastError());
          return false;
      }
    }
    if (file.shared->existedBefore || !file.createdByProduct) {
      Keep("file", path, "it was there before the installation");
      return false;
    }
    return true;
  }

  // Through the checked handle. A file in use is tried again for a while, each time through a
  // new handle that must reach the same file as the one checked (a name that leads elsewhere by
  // then is not followed), then left to the next restart.
  void Delete(const std::string& path, dt::Place place, CheckedFile checked) {
    unsigned long error = checked.deletable ? system_.DeleteChecked(checked.handle.get(), path)
                                            : ERROR_SHARING_VIOLATION;
    // Asked only now: under Wine it costs as much as the delete.
    const std::optional<win::FileId> id =
        InUse(error) ? win::FileIdOf(checked.handle.get()) : std::nullopt;
    checked.handle.reset();  // a deleted file goes as its last handle closes
    for (int attempt = 1; InUse(error) && attempt <= base::kHeldFileRetries; ++attempt) {
      base::WaitPumping({}, base::kHeldFileRetryPause, [this] { view_.Pump(); });
      const win::FileHandle again =
          OpenForCheck(path, DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES);
      if (!again) {
        error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) error = 0;
        continue;
      }
      if (!id || win::FileIdOf(again.get()) != id) {
        return Keep("file", path, "another file took its place while it was in use");
      }
      error = system_.DeleteChecked(again.get(), path);
    }
    if (error == 0) return Removed("file", path);
    if (InUse(error)) {
      if (const auto moved = MoveOutOfReach(path, id)) {
        if (system_.DeleteAtRestart(*moved) == 0) {
          log_.WriteAnsi("in use: \"" + path + "\" is moved to \"" + *moved +
                         "\" and deleted there at the next restart");
          return LeftToTheRestart(path);
        }
        error = GetLastError();
      } else if (system_.DeleteAtRestart(path) == 0) {
        // By its name, as the last resort: a link put on a level of its path by then would lead
        // the deletion elsewhere (see MoveOutOfReach). The log says so.
        log_.WriteAnsi("in use: \"" + path + "\" is deleted at the next restart by its name: it " +
                       "could not be moved out of the reach of others (" +
                       (place == dt::Place::kInstallFolder ? "its holder denies it"
                                                           : "another volume, or its holder") +
                       ")");
        return LeftToTheRestart(path);
      }
    }
    Fail("file", path, error);
  }

  void LeftToTheRestart(const std::string& path) {
    report_.restartNeeded = true;
    progress_.Write(dt::kRecordRemoved, {"file", path});
  }

  // Windows deletes a file left to the restart by its name, at boot, as SYSTEM: by then a user
  // who can write its folder could have made a level of that path a link. So the file, through a
  // handle checked to reach the file checked before, first moves into a new folder that only
  // administrators may change (in the system's temporary folder), and that path is left to the
  // restart. Nothing when it cannot be moved: another volume, or a holder that denies it.
  std::optional<std::string> MoveOutOfReach(const std::string& path,
                                            const std::optional<win::FileId>& id) {
    const win::FileHandle file = OpenForCheck(path, DELETE | FILE_READ_ATTRIBUTES);
    if (!file || !id || win::FileIdOf(file.get()) != id ||
        !held_.Contains(dt::SplitPath(path).folder, file.get())) {
      return std::nullopt;
    }
    if (leftovers_.empty()) {
      leftovers_ = win::WideToAnsi(NewAdminOnlyFolder(L"Uninstall leftovers "));
      if (leftovers_.empty()) return std::nullopt;
    }
    const std::string to = leftovers_ + "\\" + std::to_string(++movedOut_) + " " +
                           dt::SplitPath(path).file;
    if (system_.MoveChecked(file.get(), to) != 0) return std::nullopt;
    return to;
  }

  bool HoldsTheUninstaller(const std::string& utf8) const {
    const std::string key = dt::PathKey(utf8);
    return self_.rfind(key + "\\", 0) == 0;
  }

  void RemoveFolder(const dt::PlannedFolder& folder) {
    if (folder.done) return;
    const std::string path = Ansi(folder.path);
    const dt::Place place = dt::Classify(folder.path, known_);
    if (place == dt::Place::kOutside && !HoldsTheUninstaller(folder.path)) {
      return Keep("folder", path, "outside the folders it may touch");
    }
    if (!win::Utf8ToAnsiExact(folder.path)) return Keep("folder", path, kNoExactName);
    if ((restricted_ || !folder.anchored) && place != dt::Place::kInstallFolder) {
      // Only what the record made inside the installation folder, as for files.
      return Keep("folder", path, "not vouched for by the anchored record");
    }
    if (Blocked(folder.path)) return Keep("folder", path, "below a link made since the installation");
    if (HoldsTheUninstaller(folder.path)) {
      leftToTheEnd_.push_back(path);  // removed when the uninstaller has gone
      return;
    }
    const std::string parent = dt::SplitPath(path).folder;
    const bool below = place == dt::Place::kInstallFolder && !SameKey(path, installation_.folder);
    if (const auto link = below ? LinkOnTheWay(parent, place) : std::nullopt) {
      return Keep("folder", path, BelowALink(*link));
    }
    // Itself, never what a link at its name leads to, checked and removed through one handle.
    held_.Release(path);
    win::FileHandle opened(CreateFileA(
        path.c_str(), DELETE | FILE_READ_ATTRIBUTES,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!opened) {
      const DWORD error = GetLastError();
      if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return;
      return Fail("folder", path, error);
    }
    FILE_BASIC_INFO basic{};
    if (!GetFileInformationByHandleEx(opened.get(), FileBasicInfo, &basic, sizeof basic) ||
        !(basic.FileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
      return;  // a file took the folder's name: not the product's folder
    }
    // The name's attributes as well: Wine shows a link's reparse point there, not on a handle.
    const DWORD named = GetFileAttributesA(path.c_str());
    if ((basic.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
        (named != INVALID_FILE_ATTRIBUTES && (named & FILE_ATTRIBUTE_REPARSE_POINT)) ||
        (below && !held_.Contains(parent, opened.get()))) {
      return Keep("folder", path, "a link, or reached through one");
    }
    const unsigned long error = system_.RemoveCheckedFolder(opened.get(), path);
    opened.reset();  // a folder deleted through its handle goes as the handle closes
    if (error == 0 && !win::DirectoryExistsQuiet(path)) return Removed("folder", path);
    if (error == 0 || error == ERROR_DIR_NOT_EMPTY) return Keep("folder", path, "not empty", false);
    Fail("folder", path, error);
  }

  static bool SameKey(std::string a, std::string b) {
    return dt::PathKey(a) == dt::PathKey(b);
  }

  void RemoveValue(const dt::PlannedValue& value) {
    if (value.done || restricted_ || !value.anchored) return;
    // Only the product's settings key: the uninstall entry goes as a whole at the end.
    if (!SameKey(Ansi(value.key), product::kSettingsKey)) return;
    const std::string name = Ansi(value.key) + "\\" + Ansi(value.name);
    const unsigned long error = system_.DeleteValue(Ansi(value.key), Ansi(value.name));
    if (error == 0 || error == ERROR_FILE_NOT_FOUND) {
      log_.WriteAnsi("removed: registry value HKLM\\" + name);
      progress_.Write(dt::kRecordRemoved, {"value", value.view, Ansi(value.key), Ansi(value.name)});
      return;
    }
    Fail("registry value", "HKLM\\" + name, error);
  }

  void RemoveKey(const dt::PlannedKey& key) {
    if (key.done || restricted_ || !key.anchored) return;
    const std::string path = Ansi(key.key);
    const std::string uninstall = UninstallKey();
    if (SameKey(path, uninstall) || dt::PathKey(uninstall).rfind(dt::PathKey(path) + "\\", 0) == 0) {
      return;  // the entry and the keys above it: at the end, or never (shared parents)
    }
    const unsigned long error = system_.DeleteEmptyKey(path);
    if (error == 0 || error == ERROR_FILE_NOT_FOUND) {
      log_.WriteAnsi("removed: registry key HKLM\\" + path);
      progress_.Write(dt::kRecordRemoved, {"key", key.view, path});
      return;
    }
    if (error == ERROR_DIR_NOT_EMPTY) return Keep("key", "HKLM\\" + path, "not empty", false);
    Fail("registry key", "HKLM\\" + path, error);
  }

  // Last: the INI's two keys, the record and the uninstall entry, only when nothing failed, so
  // that a second run finishes the work. Then what the running uninstaller holds is left to the
  // next restart.
  void Finish() {
    if (!report_.failed.empty()) {
      log_.Write(L"the uninstall entry, the record and Uninstaller.ini stay: run the uninstaller "
                 L"again to finish");
      return;
    }
    const std::string ini = installation_.folder + "\\" + product::kUninstallerIni;
    for (const char* key : {product::kIniTitleKey, product::kIniFolderKey}) {
      if (const unsigned long error = system_.DeleteIniKey(ini, product::kIniSection, key)) {
        Fail("INI value", ini + " [" + product::kIniSection + "] " + key, error);
      }
    }
    if (IniIsEmpty(ini) && system_.DeleteFileAt(ini) == 0) Removed("file", ini);
    progress_.Close();
    if (const unsigned long error = system_.DeleteFileAt(installation_.recordPath)) {
      return Fail("file", installation_.recordPath, error);
    }
    log_.WriteAnsi("removed: the installation record \"" + installation_.recordPath + "\"");
    if (const unsigned long error = system_.DeleteKeyTree(UninstallKey())) {
      return Fail("registry key", "HKLM\\" + UninstallKey(), error);
    }
    log_.WriteAnsi("removed: the uninstall entry HKLM\\" + UninstallKey());
    report_.entryRemoved = true;
    report_.foldersHoldingTheUninstaller = leftToTheEnd_;
    if (const auto self = win::ProgramFilePath(); self && system_.DeleteAtRestart(*self) == 0) {
      log_.WriteAnsi("the uninstaller \"" + *self + "\" is deleted at the next restart");
    }
    for (const std::string& folder : leftToTheEnd_) {
      if (system_.DeleteAtRestart(folder) == 0) {
        log_.WriteAnsi("the folder \"" + folder + "\" is removed at the next restart, when empty");
      }
    }
  }

  const CheckedInstallation& installation_;
  RemovalView& view_;
  RemovalSystem& system_;
  base::ProgramLog& log_;
  base::RecordWriter progress_;  // the record's progress lines: a second run finishes the work
  dt::RemovalPlan plan_;
  const bool restricted_;  // no anchor: only the restricted rule
  dt::KnownFolders known_;
  std::string self_;                       // the running uninstaller, as PathKey
  std::vector<std::string> blockedBelow_;  // levels that became links since the installation
  std::vector<std::string> leftToTheEnd_;  // folders that hold the running uninstaller
  base::HeldFolders held_;  // the levels below the installation folder, held as themselves
  std::string leftovers_;   // the folder files in use are moved into before the restart, once made
  int movedOut_ = 0;        // files moved there
  std::int32_t done_ = 0;
  RemovalReport report_;
};

}  // namespace

RemovalReport RemoveInstallation(const CheckedInstallation& installation, RemovalView& view,
                                 RemovalSystem& system, base::ProgramLog& log) {
  view.SetLabel(L"Подготовка...");
  Removal removal(installation, view, system, log);
  return removal.Run();
}

}  // namespace uninstall
