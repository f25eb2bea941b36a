// The installation record of a run: "Uninstaller.dat" in the installation folder, in the format
// of core/install_record.h, written as the run goes so that the uninstaller can undo exactly what
// the installer did.
//
// Every change is announced before it happens (Announce: written through at once, with every
// line noted since) and noted after it happened (Note: written with the next announcement or at
// the end). So a run that is cancelled, fails or is ended from outside leaves a record that
// covers at least everything it did, at one write per change; no line is flushed on its own.
// Fields are ANSI texts (paths, names, command lines) and are stored in UTF-8, so that the record
// names the same files after the system's code page changed.
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

#include "setup/run/globals.h"
#include "setup/run/install_log.h"
#include "win32/handles.h"

namespace setup {

class InstallRecord {
 public:
  // Records nothing, and every announcement succeeds (tests and benchmarks of the run alone).
  InstallRecord() = default;
  InstallRecord(InstallRecord&&) = default;
  InstallRecord& operator=(InstallRecord&&) = default;

  // Opens the record of `folder` (the installation folder as typed) for this run. An existing
  // record is appended to when its first anchor.length bytes hash to the anchor (the uninstall
  // entry's "InstallRecord", empty when there is none), it names this folder and nothing inside
  // the anchored part is damaged; a torn last line after that part is cut off. Any other
  // existing record is renamed "Uninstaller.dat.old" and a new one is started. Writes the run's
  // first lines: the run, whether each level of the folder's path is a link or junction, and
  // the levels made for it before the run. Logs what it found and did. When the file cannot be
  // opened the record is broken: the first announcement fails.
  static InstallRecord Open(const std::string& folder, const std::string& anchor,
                            const std::vector<MadeFolder>& madeFolders, InstallLog& log);

  // Whether changes are recorded at all (false for the default record).
  bool Recording() const { return recording_; }
  // The record's path, for the write-error message.
  const std::string& Path() const { return path_; }

  // A change about to happen; false (with GetLastError set) when the record cannot be written:
  // the change must not happen then.
  bool Announce(std::string_view kind, std::initializer_list<std::string_view> ansiFields);
  // A change that happened.
  void Note(std::string_view kind, std::initializer_list<std::string_view> ansiFields);
  // Writes what was noted; false when it cannot be written.
  bool Flush();
  // The anchor for the record as it stands now (flushed first): its length and SHA-256.
  std::optional<std::string> Anchor();

 private:
  InstallRecord(win::FileHandle file, std::string path, std::uint64_t size)
      : file_(std::move(file)), path_(std::move(path)), size_(size), recording_(true) {}
  void Add(std::string_view kind, std::initializer_list<std::string_view> ansiFields);

  win::FileHandle file_;
  std::string path_;
  std::uint64_t size_ = 0;  // bytes in the file
  std::string pending_;     // noted lines not written yet
  bool recording_ = false;
};

// The record that records nothing, for callers that were given none.
InstallRecord& NoRecord();

// The write error about the record, as the run reports it.
std::wstring RecordWriteError(const InstallRecord& record);

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
