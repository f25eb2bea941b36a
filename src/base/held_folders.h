// The folders below an installation folder that a run works in, each opened as itself (never
// through a link) and held without delete sharing until the run no longer needs it, so that no
// level can be renamed, or replaced by a link or junction, meanwhile. An ordinary user who can
// write the installation folder could otherwise point a level at any folder of the machine, and
// the elevated run would write or delete there.
//
// Holding a level does not stop its owner from making it a junction in place while it is empty
// (that needs no delete access). So each level is also checked to stand in the held level above
// it, and a file made in a held level can be checked to stand in it: both by the paths the system
// gives for the handles, never by a name looked up again.
#pragma once

#include <windows.h>

#include <map>
#include <optional>
#include <string>

#include "win32/handles.h"

namespace base {

class HeldFolders {
 public:
  // Holds the installation folder and every existing level of `folder` below it (`folder` is the
  // installation folder followed by its levels, in any letter case; another folder is not looked
  // at). A missing level ends the walk: the caller makes it and asks again. Returns the first
  // level that cannot be held: a link, junction or any other reparse point below the installation
  // folder, a level that is not in the held level above it, or one that cannot be opened. A file
  // where a level should be ends the walk as a missing level does: making the folder fails, and
  // the caller reports that. With `complete`, a missing level is one that cannot be held: every
  // level must be there (a folder just made that is gone again was renamed away).
  std::optional<std::string> Hold(const std::string& installFolder, const std::string& folder,
                                  bool complete = false);

  // Whether `file`, made or opened by name in `folder`, stands in that held folder: false when it
  // was reached through a link the folder became since it was held, and for a folder inside the
  // installation folder that is not held. True for a folder outside the installation folder and
  // where the system cannot tell.
  bool Contains(const std::string& folder, HANDLE file) const;

  // Whether the installation folder itself may be a link (by default it may: an administrator may
  // make it one on purpose). A folder this process made for the run may not.
  void InstallFolderMayBeLink(bool may) { installFolderMayBeLink_ = may; }

  // Lets go of `folder` and every held level below it, so that it can be removed.
  void Release(const std::string& folder);

 private:
  struct Level {
    win::FileHandle handle;
    std::wstring finalPath;  // as the system names the held folder; empty when it cannot
  };
  std::map<std::string, Level> held_;  // by level, in upper case
  std::string root_;                   // the installation folder, in upper case
  bool installFolderMayBeLink_ = true;
};

}  // namespace base
