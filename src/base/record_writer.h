// The one writer of the installation record ("Uninstaller.dat", format in core/install_record.h),
// for the installer's runs and the uninstaller's progress alike. Fields are ANSI texts (paths,
// names, command lines) and are stored in UTF-8, so that the record names the same files after the
// system's code page changed.
//
// The installer announces every change before it happens (Announce: written through at once, with
// every line noted since) and notes it after it happened (Note: written with the next
// announcement or at the end), so that a run that is cancelled, fails or is ended from outside
// leaves a record that covers at least everything it did, at one write per change. The
// uninstaller appends its progress lines as it works (Write). A write that fails leaves nothing
// half written: the next one starts where the record ended.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "win32/handles.h"

namespace base {

class RecordWriter {
 public:
  // Records nothing, and every announcement succeeds (tests and benchmarks of the run alone).
  RecordWriter() = default;
  // Writes to an opened record file of `size` bytes, at its end; a null file is a record that
  // cannot be written (the first announcement fails).
  RecordWriter(win::FileHandle file, std::string path, std::uint64_t size);
  RecordWriter(RecordWriter&&) = default;
  RecordWriter& operator=(RecordWriter&&) = default;

  // The record at path, appended to: the uninstaller's progress. Opened without following a link
  // and shared for reading only; a record that cannot be opened takes no lines.
  static RecordWriter AppendTo(const std::string& path);

  // Whether changes are recorded at all (false for the default writer).
  bool Recording() const { return recording_; }
  // The record's path, for the write-error message.
  const std::string& Path() const { return path_; }

  // A change about to happen; false (with GetLastError set) when the record cannot be written:
  // the change must not happen then.
  bool Announce(std::string_view kind, std::initializer_list<std::string_view> ansiFields) {
    return Write(kind, ansiFields);
  }
  // A line written at once, with every line noted before it; false (GetLastError set) when it
  // cannot be written, and then it is not in the record.
  bool Write(std::string_view kind, std::initializer_list<std::string_view> ansiFields);
  // A change that happened.
  void Note(std::string_view kind, std::initializer_list<std::string_view> ansiFields);
  // The same with fields in UTF-8 already.
  void NoteUtf8(std::string_view kind, const std::vector<std::string>& utf8Fields);
  // Writes what was noted; false when it cannot be written.
  bool Flush();
  // A line written at once and through to the disk, with every line noted before it; false
  // (GetLastError set) when it cannot be written or flushed.
  bool WriteThrough(std::string_view kind, std::initializer_list<std::string_view> ansiFields);
  // Writes what was noted and flushes the record to the disk (the end of a stage: a power cut
  // then loses none of its lines); false when it cannot.
  bool Sync();
  // The anchor for the record as it stands now (synced first): its length and SHA-256.
  std::optional<std::string> Anchor();
  // Lets the file go (what was noted and not flushed is dropped).
  void Close() { file_.reset(); }

 private:
  win::FileHandle file_;
  std::string path_;
  std::uint64_t size_ = 0;  // bytes in the file
  std::string pending_;     // noted lines not written yet
  bool recording_ = false;
};

// The writer that records nothing, for callers that were given none.
RecordWriter& NoRecord();

}  // namespace base
