#include "uninstall/self_removal_helper.h"

#include <windows.h>

#include "base/pending_renames.h"
#include "win32/handles.h"

namespace uninstall {
namespace {

std::string Quoted(const std::string& text) {
  return "\"" + text + "\"";
}

// A folder opened as itself (not through a link in its last place), with the access asked for.
win::FileHandle OpenFolder(const std::string& path, DWORD access) {
  return win::FileHandle(CreateFileA(path.c_str(), access,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING,
                                     FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                     nullptr));
}

// Deletes the file through the handle that was checked to be the file that ran.
// settled: the paths whose restart entries are no longer wanted (removed, or another file now).
void DeleteIfItRan(const std::string& path, const FileIdentity& ran, base::ProgramLog& log,
                   std::vector<std::string>& settled) {
  const win::FileHandle file(CreateFileA(path.c_str(), DELETE | FILE_READ_ATTRIBUTES |
                                                           FILE_WRITE_ATTRIBUTES,
                                         FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                         FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return;
    log.WriteAnsi("not removed: file " + Quoted(path) + " (system error " +
                  std::to_string(error) + "); it is deleted at the next restart");
    return;
  }
  if (IdentityOfOpened(file.get()) != ran) {
    log.WriteAnsi("kept: file " + Quoted(path) + " (not the uninstaller that ran)");
    settled.push_back(path);  // nor may the restart delete what is there now
    return;
  }
  if (const unsigned long error = win::DeleteOpened(file.get())) {
    log.WriteAnsi("not removed: file " + Quoted(path) + " (system error " +
                  std::to_string(error) + "); it is deleted at the next restart");
    return;
  }
  log.WriteAnsi("removed: file " + Quoted(path));
  settled.push_back(path);
}

// Removes the folder when it is still the one the uninstaller named (the same volume and index,
// whatever names lead to it now) and empty; deleted through the handle it checked.
void RemoveFolderIfEmpty(const std::string& path, const win::FileId& id, base::ProgramLog& log,
                         std::vector<std::string>& settled) {
  win::FileHandle folder = OpenFolder(path, DELETE | FILE_READ_ATTRIBUTES);
  if (!folder) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return;
    log.WriteAnsi("not removed: folder " + Quoted(path) + " (system error " +
                  std::to_string(error) + ")");
    return;
  }
  FILE_BASIC_INFO basic{};
  if (!GetFileInformationByHandleEx(folder.get(), FileBasicInfo, &basic, sizeof basic) ||
      !(basic.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
      (basic.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || win::FileIdOf(folder.get()) != id) {
    log.WriteAnsi("kept: folder " + Quoted(path) + " (no longer the folder it was)");
    settled.push_back(path);  // nor may the restart remove what is there now
    return;
  }
  const unsigned long error = win::DeleteOpened(folder.get());
  folder.reset();
  if (error == 0 && !win::DirectoryExistsQuiet(path)) {
    log.WriteAnsi("removed: folder " + Quoted(path));
    settled.push_back(path);
  } else if (error == 0 || error == ERROR_DIR_NOT_EMPTY) {
    log.WriteAnsi("kept: folder " + Quoted(path) + " (not empty)");
  } else {
    log.WriteAnsi("not removed: folder " + Quoted(path) + " (system error " +
                  std::to_string(error) + ")");
  }
}

}  // namespace

bool HelperSystem::TakeGuard() {
  guard_.emplace();
  return guard_->Held();
}

void HelperSystem::DropRestartEntries(const std::vector<std::string>& paths,
                                      base::ProgramLog& log) {
  base::PendingRenames pending = base::PendingRenames::Read();
  for (const std::string& path : paths) pending.AfterRemoval(path, log);
}

std::optional<win::FileId> FolderIdOf(const std::string& path) {
  const win::FileHandle opened = OpenFolder(path, FILE_READ_ATTRIBUTES);
  return opened ? win::FileIdOf(opened.get()) : std::nullopt;
}

HelperTask TaskFor(const SelfRemoval& removal) {
  HelperTask task{removal.uninstaller, removal.identity, {}};
  for (const std::string& folder : removal.folders) {
    if (const std::optional<win::FileId> id = FolderIdOf(folder)) {
      task.folders.push_back({folder, *id});
    }
  }
  return task;
}

void FinishSelfRemoval(const HelperTask& task, HelperSystem& system, base::ProgramLog& log) {
  if (!system.TakeGuard()) {
    log.Write(L"helper: an installation or uninstallation runs; the uninstaller and its folders "
              L"go at the next restart");
    return;
  }
  std::vector<std::string> settled;
  DeleteIfItRan(task.uninstaller, task.identity, log, settled);
  for (const HelperFolder& folder : task.folders) {
    RemoveFolderIfEmpty(folder.path, folder.id, log, settled);
  }
  // Their deletes at the next restart are no longer wanted.
  system.DropRestartEntries(settled, log);
  log.Write(L"helper: done");
}

}  // namespace uninstall
