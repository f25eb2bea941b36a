#include "base/record_writer.h"

#include <windows.h>

#include "core/install_record.h"
#include "win32/sha256.h"
#include "win32/wide_text.h"

namespace base {

RecordWriter::RecordWriter(win::FileHandle file, std::string path, std::uint64_t size)
    : file_(std::move(file)), path_(std::move(path)), size_(size), recording_(true) {}

RecordWriter RecordWriter::AppendTo(const std::string& path) {
  win::FileHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  LARGE_INTEGER size{};
  if (file && !(GetFileSizeEx(file.get(), &size) &&
                SetFilePointerEx(file.get(), size, nullptr, FILE_BEGIN))) {
    file.reset();
  }
  return RecordWriter(std::move(file), path, static_cast<std::uint64_t>(size.QuadPart));
}

RecordWriter& NoRecord() {
  static RecordWriter none;
  return none;
}

void RecordWriter::Note(std::string_view kind, std::initializer_list<std::string_view> ansiFields) {
  if (!recording_) return;
  std::vector<std::string> fields;
  fields.reserve(ansiFields.size());
  for (const std::string_view field : ansiFields) fields.push_back(win::AnsiToUtf8(field));
  pending_ += dt::FormatRecordLine(kind, fields);
}

void RecordWriter::NoteUtf8(std::string_view kind, const std::vector<std::string>& utf8Fields) {
  if (recording_) pending_ += dt::FormatRecordLine(kind, utf8Fields);
}

bool RecordWriter::Write(std::string_view kind,
                         std::initializer_list<std::string_view> ansiFields) {
  if (!recording_) return true;
  const std::size_t before = pending_.size();
  Note(kind, ansiFields);
  if (Flush()) return true;
  pending_.resize(before);  // the line is not written; what was noted waits
  return false;
}

bool RecordWriter::WriteThrough(std::string_view kind,
                                std::initializer_list<std::string_view> ansiFields) {
  if (!Write(kind, ansiFields)) return false;
  return !recording_ || FlushFileBuffers(file_.get());
}

bool RecordWriter::Flush() {
  if (!recording_ || pending_.empty()) return true;
  if (!file_) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  DWORD written = 0;
  if (!WriteFile(file_.get(), pending_.data(), static_cast<DWORD>(pending_.size()), &written,
                 nullptr) ||
      written != pending_.size()) {
    const DWORD error = written != pending_.size() && GetLastError() == 0 ? ERROR_DISK_FULL
                                                                          : GetLastError();
    // Nothing half written stays behind: the reader would take it for a torn line anyway, but
    // the next attempt starts where the record ended.
    LARGE_INTEGER end{};
    end.QuadPart = static_cast<LONGLONG>(size_);
    SetFilePointerEx(file_.get(), end, nullptr, FILE_BEGIN);
    SetEndOfFile(file_.get());
    SetLastError(error);
    return false;
  }
  size_ += written;
  pending_.clear();
  return true;
}

bool RecordWriter::Sync() {
  if (!Flush()) return false;
  return !recording_ || !file_ || FlushFileBuffers(file_.get());
}

std::optional<std::string> RecordWriter::Anchor() {
  // On the disk before the anchor that vouches for it: an anchor that outlives a power cut the
  // record's tail does not would make the record look changed for good.
  if (!recording_ || !file_ || !Sync()) return std::nullopt;
  const auto digest = win::Sha256OfFile(file_.get(), size_);
  if (!digest) return std::nullopt;
  return dt::FormatRecordAnchor(size_, dt::Sha256Hex(*digest));
}

}  // namespace base
