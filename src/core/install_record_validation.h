// Whether the installation record's lines make sense as a whole, before a removal plan
// (removal_plan.h) is made of them. The reader (install_record.h) takes any kind and any field;
// here every kind the installer and the uninstaller write is held to its fields (number and
// form), every line must follow the first run, every run must be one of this installation folder,
// every "temp?" must name the temporary file of a file announced before it in its run, and the
// anchor must end a line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/install_record.h"

namespace dt {

// Inputs: the record's accepted lines, the anchored length in bytes from the uninstall entry
// (nothing: no anchor, every line is unanchored) and the installation folder (the uninstaller's
// own folder, full path, UTF-8).
struct RemovalInput {
  const RecordRead& record;
  std::optional<std::uint64_t> anchoredLength;
  std::string installFolder;
};

// The kinds the installer writes and the uninstaller's progress kinds; no other kind may appear.
bool IsKnownRecordKind(std::string_view kind);
// "removed", "kept-by-rule", "count-lowered": the lines the uninstaller appends as it works.
bool IsOwnProgressLine(std::string_view kind);

// Why no plan can be made from this record: a line before the first run, an unknown kind, a
// wrong number of fields, an empty path or key, a malformed field, a run of another folder, a
// "temp?" that is not the temporary file of a file announced before it, an anchored length that
// does not end a line of the record, a run's earlier anchored length that is not 0 or the end of
// a line before that run. Names the line (number from 1, and byte offset). Nothing when the
// record is sound.
std::optional<std::string> PlanError(const RemovalInput& input);

}  // namespace dt
