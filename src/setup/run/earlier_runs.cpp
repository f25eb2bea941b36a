#include "setup/run/earlier_runs.h"

#include <windows.h>

#include "base/file_checks.h"
#include "core/install_record.h"
#include "core/path_places.h"
#include "core/text.h"
#include "setup/run/run_record.h"
#include "win32/files.h"
#include "win32/wide_text.h"

namespace setup {
namespace {

void RemoveTemporary(const std::string& installFolder, const std::string& path,
                     TMessages& messages, base::ProgramLog& log) {
  const std::string folder = dt::SplitPath(path).folder;
  if (const auto link = messages.Folders.Hold(installFolder, folder)) {
    log.WriteAnsi("temporary file of an earlier run left: \"" + path + "\" (below \"" + *link +
                  "\", a link or a folder that cannot be held)");
    return;
  }
  dt::PlannedFile temporary;
  temporary.temporary = true;
  base::CheckedFile checked = base::Check(path, temporary);
  if (checked.state == base::FileState::kMissing) return;
  const char* why = checked.state == base::FileState::kNotAFile ? "not a plain file"
                    : !checked.deletable                      ? "in use"
                    : !messages.Folders.Contains(folder, checked.handle.get())
                        ? "reached through a link"
                        : nullptr;
  const DWORD error = why ? 0 : win::DeleteOpened(checked.handle.get());
  if (why || error) {
    log.WriteAnsi("temporary file of an earlier run left: \"" + path + "\" (" +
                  (why ? std::string(why) : "system error " + std::to_string(error)) + ")");
    return;
  }
  log.WriteAnsi("temporary file of an earlier run removed: \"" + path + "\"");
}

// A file the set-aside record says this product created: named again when it is unchanged.
void CarryFile(const std::string& installFolder, const std::string& path,
               const dt::PlannedFile& file, TMessages& messages, base::ProgramLog& log) {
  const std::string folder = dt::SplitPath(path).folder;
  if (messages.Folders.Hold(installFolder, folder)) return;
  const base::CheckedFile checked = base::Check(path, file);
  if (checked.state != base::FileState::kUnchanged ||
      !messages.Folders.Contains(folder, checked.handle.get())) {
    if (checked.state != base::FileState::kMissing) {
      log.WriteAnsi("file of the set-aside record not taken over (changed since): \"" + path +
                    "\"");
    }
    return;
  }
  const auto stamp = StampOf(checked.handle.get());
  if (!stamp || !messages.Record.Announce(dt::kRecordFilePending, {path})) return;
  messages.Record.Note(dt::kRecordFile,
                       {path, "created", std::to_string(stamp->size), stamp->lastWrite});
  messages.Earlier.created.insert(dt::PathKey(file.path));
  log.WriteAnsi("file of the set-aside record taken over as created: \"" + path + "\"");
}

void CarryFolder(const std::string& installFolder, const std::string& path, TMessages& messages,
                 base::ProgramLog& log) {
  if (!win::DirectoryExistsQuiet(path) ||
      messages.Folders.Hold(installFolder, path, /*complete=*/true) ||
      !messages.Record.Announce(dt::kRecordFolderPending, {path})) {
    return;
  }
  messages.Record.Note(dt::kRecordFolder, {path});
  log.WriteAnsi("folder of the set-aside record taken over as created: \"" + path + "\"");
}

}  // namespace

void SettleEarlierRuns(const std::string& installFolder, TMessages& messages,
                       base::ProgramLog& log) {
  const dt::EarlierRuns& earlier = messages.Earlier;
  // A path is used only when the code page names exactly it: the installer wrote every path from
  // an ANSI one, and a look-alike character (a fullwidth dot) could otherwise turn into another.
  const auto exact = [&log](const std::string& utf8) {
    const auto ansi = win::Utf8ToAnsiExact(utf8);
    if (!ansi) log.WriteAnsi("a path of the record the code page cannot name is left: " + utf8);
    return ansi;
  };
  for (const std::string& path : earlier.temporaries) {
    if (const auto ansi = exact(path)) RemoveTemporary(installFolder, *ansi, messages, log);
  }
  if (!messages.Record.Recording()) return;
  // Folders first: a folder line before the files in it, as a run writes them.
  for (auto folder = earlier.carriedFolders.rbegin(); folder != earlier.carriedFolders.rend();
       ++folder) {
    if (const auto ansi = exact(*folder)) CarryFolder(installFolder, *ansi, messages, log);
  }
  for (auto file = earlier.carriedFiles.rbegin(); file != earlier.carriedFiles.rend(); ++file) {
    if (const auto ansi = exact(file->path)) CarryFile(installFolder, *ansi, *file, messages, log);
  }
}

}  // namespace setup
