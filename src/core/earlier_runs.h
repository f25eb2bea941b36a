// What a run of the installer takes over from the record it finds in its installation folder:
// the temporary files a killed run left, the files a run announced but never confirmed, the
// files this product's runs created, and, from a record the run sets aside, what the uninstaller
// would still vouch for. The record is read through the removal plan, so that the installer
// trusts a line exactly as far as the uninstaller would: a line the anchor does not vouch for
// counts only inside the installation folder. Only text is read; every check against the disk is
// the caller's.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "core/path_places.h"
#include "core/removal_plan.h"

namespace dt {

struct EarlierRuns {
  // Temporary files ("<name>.~" and 8 hex digits) of runs that did not end, inside the
  // installation folder: remove when present as plain files. (A run that ended left none.)
  std::vector<std::string> temporaries;
  // Files only announced by a run that did not end, inside the installation folder, and never
  // named as being replaced (a "temp?" beside them): this product's own when they hold exactly
  // what the archive holds for them (and nobody but the administrators could have put them
  // there: the caller checks the owner).
  std::vector<std::string> unconfirmed;
  // By PathKey: files a run of this product created (anchored lines, or other lines inside the
  // installation folder). A later run that finds one does not take it for somebody else's.
  std::set<std::string> created;
  // Only from a record the run sets aside: files created inside the installation folder and not
  // shared, with the size and last-write time to find them unchanged on the disk, and folders
  // made below it (never the installation folder itself). The new record names those of them
  // that are still as recorded.
  std::vector<PlannedFile> carriedFiles;
  std::vector<std::string> carriedFolders;
};

// From the record's accepted lines. input.anchoredLength is the anchor's length for a record the
// run appends to, nothing for one it sets aside (then carriedFiles and carriedFolders are
// filled). A record no plan can be made of gives nothing (why in `error`, when asked).
EarlierRuns ReadEarlierRuns(const RemovalInput& input, const KnownFolders& known,
                            std::string* error = nullptr);

}  // namespace dt
