// The longest path a run would write, found before anything is written. The programs use ANSI
// calls without long-path awareness, so a path holds at most kMaxPathLength characters; a folder
// that makes some target longer fails file by file in the middle of a run, leaving half an
// installation. The folder step refuses it instead.
#pragma once

#include <cstddef>
#include <string>

#include "setup/run/archive_source.h"

namespace setup {

// MAX_PATH less its terminating zero.
inline constexpr std::size_t kMaxPathLength = 259;
// What a replacement's temporary name adds to its target ("<name>.~xxxxxxxx").
inline constexpr std::size_t kTemporaryNameLength = 10;

struct LongestPath {
  std::string path;
  std::size_t length = 0;  // as the system counts it: the path's characters (ANSI code page)
};

// The longest of: every target of either archive with its folder macros expanded for
// installFolder (with the temporary name's length added for ProgramFiles.dt's, which may replace
// a file), and the record's "Uninstaller.dat.old". An archive or entry that cannot be read is
// left out (the run reports it); a macro that cannot be expanded likewise.
LongestPath LongestTargetPath(const std::string& installFolder, const ArchiveSources& archives);

}  // namespace setup
