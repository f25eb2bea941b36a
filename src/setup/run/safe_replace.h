// Replacing an existing file so that it is never lost on the way: the new content goes into a
// temporary file beside it, which then takes the target's place in one rename. Until that rename
// the target is untouched; whatever fails before it, the temporary file goes and the old file
// stays byte for byte as it was.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>

#include "setup/run/run_record.h"
#include "win32/handles.h"

namespace setup {

// The system error of a target that is no plain file: a link, junction or other reparse point, or
// a folder. Nothing is written through a link; the run reports the write error.
inline constexpr DWORD kTargetIsNoPlainFile = ERROR_CANT_ACCESS_FILE;

class FileReplacement {
 public:
  // `inFolder` tells whether an opened file stands in the target's folder as the run holds it
  // (HeldFolders::Contains); a file that does not was reached through a link.
  explicit FileReplacement(std::string target, std::function<bool(HANDLE)> inFolder = {})
      : target_(std::move(target)), inFolder_(std::move(inFolder)) {}
  // Deletes the temporary file unless it has taken the target's place.
  ~FileReplacement() { Discard(); }
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;

  // Whether the target can be replaced: gives it normal attributes, opens it for writing and
  // deletion with full sharing (reading its access list on the way) and closes it again, each
  // time the file itself, never what a link at its name leads to. 0, or the system error of that
  // open (ERROR_SHARING_VIOLATION or ERROR_LOCK_VIOLATION while another program holds it), or
  // kTargetIsNoPlainFile for a link, junction or folder at the name, a file with more than one
  // name (a hard link could lead to a file of anybody's), or one outside the held folder.
  DWORD CheckTarget();

  // Picks the temporary file's name before it is made, so that it can be recorded first:
  // "<target>.~" and 8 random hex digits, in the target's folder, a name not taken now (one left
  // by a run that was killed is never reused; after a few draws the last one is taken anyway).
  // Discards a temporary file made before.
  const std::string& ChooseTemporary();
  // Creates the temporary file under the name chosen, as a new file (never through a link) that
  // nobody else may open meanwhile, held until it takes the target's place or goes. 0, or the
  // system error of the creation (ERROR_FILE_EXISTS when the name was taken since;
  // kTargetIsNoPlainFile when it was made outside the held folder, and then it is gone again).
  DWORD CreateTemporary();
  // The temporary file, open for writing from its start.
  const win::FileHandle& File() const { return file_; }

  // Gives the temporary file the target's access list and renames it over the target through its
  // own handle (whatever its name leads to by then). 0 once the target holds the new content;
  // otherwise the system error of the rename, the target is as it was and the temporary file
  // waits for another Commit.
  DWORD Commit();
  // The new content's size and last-write time, read through its handle before the rename.
  const std::optional<FileStamp>& Stamp() const { return stamp_; }

  // Deletes the temporary file through its handle, if one is left.
  void Discard();

 private:
  void ReadAccessList(const win::FileHandle& target);

  std::string target_;
  std::function<bool(HANDLE)> inFolder_;
  std::string chosen_;     // the temporary file's name, chosen before it is made
  std::string temporary_;  // the temporary file made; empty while there is none
  win::FileHandle file_;
  // The target's access list, when the temporary file does not get the same from the folder.
  win::LocalMemory accessList_;  // its security descriptor
  PACL dacl_ = nullptr;          // inside accessList_
  bool daclProtected_ = false;
  std::optional<FileStamp> stamp_;
  bool flushed_ = false;  // the temporary file's data is on the disk
};

}  // namespace setup
