// The folders below the installation folder that a run writes into, each opened as itself (never
// through a link) and held without delete sharing until the run ends, so that no level can be
// renamed, or replaced by a link or junction, while the run works in it. An ordinary user who can
// write the installation folder could otherwise point a level at any folder of the machine, and
// the elevated run would write there.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "win32/handles.h"

namespace setup {

class HeldFolders {
 public:
  // Holds the installation folder and every existing level of `folder` below it (`folder` is the
  // installation folder followed by its levels, as the folder macros make it; another folder is
  // not looked at). A missing level ends the walk: the caller makes it and asks again. Returns
  // the first level that cannot be held: a link, junction or any other reparse point below the
  // installation folder, or a level that cannot be opened. A file where a level should be ends
  // the walk as a missing level does: making the folder fails, and the caller reports that.
  std::optional<std::string> Hold(const std::string& installFolder, const std::string& folder);

 private:
  std::map<std::string, win::FileHandle> held_;  // by level, in upper case
};

}  // namespace setup
