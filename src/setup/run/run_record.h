// The installation record of a run: "Uninstaller.dat" in the installation folder, in the format
// of core/install_record.h, written through base::RecordWriter as the run goes so that the
// uninstaller can undo exactly what the installer did. Here: how a run opens it (appending to an
// anchored record of this folder, or starting anew) and its first lines.
//
// The file stays open from the first line to the end of the run, shared for reading only: an
// archive entry that would write it under any spelling meets a sharing violation.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/record_writer.h"
#include "core/earlier_runs.h"
#include "base/program_log.h"
#include "win32/handles.h"

namespace setup {

// A folder level this process made for an installation folder before a run, and what made it:
// "step" (the folder step of a run's start) or "browser" (the folder browser, opened on the typed
// folder). The installation record names those of the folder it installs into.
struct MadeFolder {
  std::string path;
  std::string madeBy;
};

// Opens the record of `folder` (the installation folder as typed) for this run. An existing
// record is appended to when its first anchor.length bytes hash to the anchor (the uninstall
// entry's "InstallRecord", empty when there is none), it names this folder and nothing inside
// the anchored part is damaged; a torn last line after that part is cut off. Any other existing
// record is renamed "Uninstaller.dat.old" and a new one is started. Writes the run's first
// lines: the run, whether each level of the folder's path is a link or junction, and the levels
// made for it before the run. Logs what it found and did. When the file cannot be opened the
// record is broken: the first announcement fails. What the run takes over from the record found
// (appended to or set aside) goes to `earlier` when one is given.
base::RecordWriter OpenInstallRecord(const std::string& folder, const std::string& anchor,
                                     const std::vector<MadeFolder>& madeFolders,
                                     base::ProgramLog& log, dt::EarlierRuns* earlier = nullptr);

// The write error about the record, as the run reports it.
std::wstring RecordWriteError(const base::RecordWriter& record);

// Every level of a path from its first folder below the root down to itself ("C:\a\b" gives
// "C:\a" and "C:\a\b").
std::vector<std::string> PathLevels(const std::string& path);

// The last-write time of an open file as the record stores it (16 hex digits of the FILETIME),
// with its size; nothing when the system cannot tell.
struct FileStamp {
  std::uint64_t size;
  std::string lastWrite;
};
std::optional<FileStamp> StampOf(HANDLE file);

}  // namespace setup
