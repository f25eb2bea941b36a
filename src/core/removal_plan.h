// The removal plan: what the uninstaller removes, read from the installation record
// (install_record.h) and nothing else. The plan only reads lines; it never looks at the disk or
// the registry, so every check against what is there now (sizes, counts, links) is the caller's.
//
// How the record's lines become items:
// - An item is one file, folder, registry key or value, or INI value, named case-insensitively
//   (PathKey). `anchored` says that every installer line naming it lies in the anchored part of
//   the record: the first `anchoredLength` bytes, which the uninstall entry's hash vouches for,
//   less the gap of each run that appended (from the anchored length its "run" line names up to
//   that line: bytes its anchor covers but that it neither wrote nor found anchored). Lines after
//   the anchored part, or in a gap, were written by a run that did not end, by the uninstaller
//   itself, or by a run after its anchor (its tools and INI values), and anyone who can write the
//   installation folder could have added them. A shared file's count says for itself how many of
//   its increments are anchored.
// - An announcement ("file?", "folder?", "key?", "value?", "ini?") is confirmed by the line of
//   the same kind without '?' for the same item later in the same run. In the anchored part an
//   unconfirmed announcement means the change never happened (every confirmation is written
//   before the next announcement and before the anchor), so it counts for nothing. After it, it
//   may be a run killed in the middle of the change: when no confirmed line names the item, the
//   item is planned as `announcedOnly` (whether the change happened, and whether the thing
//   existed before, is unknown); when confirmed lines name it, they decide, and a file announced
//   after its last confirmed write has no expected size and time (the killed run may have written
//   it). A file planned as `announcedOnly` is to be removed when it exists and lies in the
//   installation folder; outside it, like every item that is not anchored, it is to be left alone.
// - The first confirmed line of an item decides whether this product created it ("created", or
//   a "folder"/"key"/"made-folder" line); later runs that replace it change nothing about that.
// - The uninstaller's own progress lines ("removed", "kept-by-rule", "count-lowered") settle
//   items: a "removed" or "kept-by-rule" line after an item's last line makes it `done`, so that
//   a second uninstallation finishes what the first began, wherever they stand (they only ever
//   make the uninstaller do less). A later installer line about the item opens it again; after
//   "removed" it starts from scratch, as something new.
// - A "temp?" names a temporary file beside a file being replaced; it is planned as `temporary`,
//   to be removed when present (a killed run leaves it behind; otherwise it is gone already).
// - A "shared?" without its "shared" is left out: a count raised without the record knowing stays
//   one too high, which only keeps the file.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/install_record.h"
#include "core/install_record_validation.h"  // RemovalInput, PlanError
#include "core/path_places.h"  // PathKey, the key of the plan's maps; Classify, for its callers

namespace dt {

// What every planned item carries.
struct PlanItem {
  bool anchored = false;       // every installer line naming it lies in the anchored part
  bool announcedOnly = false;  // only unconfirmed announcements of a run that did not end name it
  bool done = false;           // the uninstaller's "removed" or "kept-by-rule" line settled it
};

// A file's uses counted under SharedDLLs by the installer.
struct SharedUse {
  int increments = 0;          // "shared" lines since the last "count-lowered": uses to give back
  int anchoredIncrements = 0;  // of those, the ones in the anchored part
  bool existedBefore = false;  // the file or its count was there before the product counted it
  std::string countBefore;     // the first "shared" line's count before ("none", "dword:N", ...)
  bool countLowered = false;   // a "count-lowered" line follows the last increment
};

struct PlannedFile : PlanItem {
  std::string path;  // UTF-8, as first recorded
  // From the last "file" line; nothing when not read at the time, when a later write was only
  // announced, and for announced-only and temporary files.
  std::optional<std::uint64_t> size;
  std::optional<std::uint64_t> lastWrite;  // FILETIME
  bool createdByProduct = false;  // the first confirmed line about it says a run created it
  bool replacedOnly = false;      // written, but only ever over a file that was there before
  bool temporary = false;         // a "temp?" file: remove when present, no size check possible
  std::optional<SharedUse> shared;
};

struct PlannedFolder : PlanItem {
  std::string path;
};

struct PlannedKey : PlanItem {
  std::string view;  // "32" or "64"
  std::string key;   // below HKLM
};

struct PlannedValue : PlanItem {
  std::string view;
  std::string key;
  std::string name;
};

struct PlannedIniKey : PlanItem {
  std::string path;
  std::string section;
  std::string key;
  bool fileCreated = false;  // the first "ini" line of this file says the run created the file
};

struct RecordedHash {
  std::string path;
  std::string hex;  // 64 lower-case hex digits
  bool anchored = false;
};

struct LinkLevel {
  std::string path;
  bool wasLink = false;  // a link or junction when the first run began
  bool anchored = false;
};

// In the order the uninstaller acts.
struct RemovalPlan {
  // Files written, shared files, announced-only files and temporary files, in the reverse order
  // of their first line. Files only kept (and not shared) are not listed.
  std::vector<PlannedFile> files;
  // Created folders ("folder", "made-folder"), deepest first, then in reverse record order.
  std::vector<PlannedFolder> folders;
  // Values whose first confirmed line says "created", in reverse record order.
  std::vector<PlannedValue> values;
  // Created keys, deepest first, then in reverse record order.
  std::vector<PlannedKey> keys;
  // INI values whose first confirmed line says "created", in reverse record order.
  std::vector<PlannedIniKey> iniKeys;
  // By PathKey: the last "sha256" line of each file in the anchored part, else the last one.
  std::map<std::string, RecordedHash> sha256;
  // An anchored "made-folder" or "folder" line names the installation folder itself.
  bool installFolderCreated = false;
  // By PathKey: the "link" lines of the record's first run.
  std::map<std::string, LinkLevel> linkLevels;
};

// The plan. Throws std::invalid_argument with PlanError's text when there is one.
RemovalPlan MakeRemovalPlan(const RemovalInput& input);

}  // namespace dt
