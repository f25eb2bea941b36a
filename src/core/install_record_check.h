// The uninstaller's first step, before it asks anything or changes anything: is the installation
// record in its own folder the one the installer left for this folder? The record lists what may
// be removed, and the folder is often writable by ordinary users while the uninstaller runs
// elevated, so nothing is acted on unless every check passes.
#pragma once

#include <cstdint>
#include <optional>
#include <functional>
#include <string>
#include <string_view>

#include "core/install_record.h"

namespace dt {

enum class RecordVerdict {
  kAnchored,       // the anchored part is intact; lines after it may follow
  kUnanchored,     // no anchor at all: an installation that ended before its registration stage
  kMissing,        // no record in the folder
  kUnreadable,     // cannot be opened or read, or not a plain file
  kDamaged,        // a bad line with more after it
  kAnchorMismatch  // cut or changed inside its anchored part, or anchored differently
};

struct CheckedRecord {
  RecordVerdict verdict = RecordVerdict::kMissing;
  RecordRead read;                         // the accepted lines
  std::optional<std::uint64_t> anchoredLength;  // with kAnchored: the anchored bytes
  std::string recordedFolder;                   // the first run's folder (UTF-8), if any
  // The record may be acted on at all (the restricted rule for kUnanchored is the caller's).
  bool Usable() const {
    return verdict == RecordVerdict::kAnchored || verdict == RecordVerdict::kUnanchored;
  }
};

// Checks the record's bytes against the uninstall entry's "InstallRecord" value (nothing when the
// entry has none). Every line's check value first; then the anchored part: the anchor must parse,
// its length lie within the accepted lines and its SHA-256 match. After the anchored part, checked
// lines of any kind are accepted (the uninstaller's own progress, a later run that did not end)
// and a torn last line is ignored; a bad line with more after it is damage. sha256 is handed in
// (the system's hash), so that the rule stays portable.
CheckedRecord CheckRecordBytes(const std::string& bytes, const std::optional<std::string>& anchor,
                               const std::function<std::string(std::string_view)>& sha256Hex);

// A few words for the log.
const char* Describe(RecordVerdict verdict);

// The record's first run made the installation folder (a "made-folder" line of it among the first
// run's lines): a record without an anchor is trusted, within its limits, only then (and only when
// the folder is owned by Administrators or SYSTEM, which the caller checks).
bool FirstRunMadeFolder(const RecordRead& read, const std::string& folderUtf8);

}  // namespace dt
