#include "core/install_record_check.h"

#include "core/path_places.h"

namespace dt {

CheckedRecord CheckRecordBytes(const std::string& bytes, const std::optional<std::string>& anchor,
                               const std::function<std::string(std::string_view)>& sha256Hex) {
  CheckedRecord checked;
  checked.read = ReadRecord(bytes);
  for (const RecordLine& line : checked.read.lines) {
    if (line.kind == kRecordRun && !line.fields.empty()) {
      checked.recordedFolder = line.fields[0];
      break;
    }
  }
  if (checked.read.damaged) {
    checked.verdict = RecordVerdict::kDamaged;
    return checked;
  }
  if (!anchor) {
    checked.verdict = RecordVerdict::kUnanchored;
    return checked;
  }
  const auto parsed = ParseRecordAnchor(*anchor);
  if (!parsed || parsed->length == 0 || parsed->length > checked.read.acceptedBytes ||
      sha256Hex(std::string_view(bytes).substr(0, parsed->length)) != parsed->sha256Hex) {
    checked.verdict = RecordVerdict::kAnchorMismatch;
    return checked;
  }
  // The anchor must end on a line's end: a length inside a line was never written by a run.
  bool onLineEnd = parsed->length == checked.read.acceptedBytes;
  for (const RecordLine& line : checked.read.lines) onLineEnd |= line.offset == parsed->length;
  if (!onLineEnd) {
    checked.verdict = RecordVerdict::kAnchorMismatch;
    return checked;
  }
  checked.verdict = RecordVerdict::kAnchored;
  checked.anchoredLength = parsed->length;
  return checked;
}

const char* Describe(RecordVerdict verdict) {
  switch (verdict) {
    case RecordVerdict::kAnchored:
      return "anchored";
    case RecordVerdict::kUnanchored:
      return "not anchored";
    case RecordVerdict::kMissing:
      return "missing";
    case RecordVerdict::kUnreadable:
      return "unreadable";
    case RecordVerdict::kDamaged:
      return "damaged";
    case RecordVerdict::kAnchorMismatch:
      return "cut, changed or anchored differently";
  }
  return "";
}

bool FirstRunMadeFolder(const RecordRead& read, const std::string& folderUtf8) {
  const std::string key = PathKey(folderUtf8);
  for (const RecordLine& line : read.lines) {
    if (line.kind == kRecordRun && &line != &read.lines.front()) break;  // first run only
    if (line.kind == kRecordMadeFolder && !line.fields.empty() && PathKey(line.fields[0]) == key) {
      return true;
    }
  }
  return false;
}

}  // namespace dt
