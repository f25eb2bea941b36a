// The disk-space check before a run: how many bytes the archives would write on each volume,
// against the space the volume has free for the caller. Only the archives' directories and
// payload sizes are read, never a payload's content.
//
// Whatever cannot be read is left out of the check without a word (an archive that cannot be
// opened or read, an entry whose folder macros raise or whose payload size cannot be read, a
// volume whose free space cannot be told): the run itself then meets it and reports it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "setup/run/archive_source.h"

namespace setup {

// What the installation record ("Uninstaller.dat") may take per archive entry: its lines before
// and after the entry's change. Counted on the installation folder's volume.
inline constexpr std::uint64_t kRecordRoomPerEntry = 200;

// One archive to check, as the run will unpack it.
struct ArchiveToCheck {
  std::string path;
  bool overwrite;  // every entry counts; without it only entries whose target does not exist yet
};

// What the run would write on one volume.
struct VolumeSpace {
  std::string volume;    // as GetVolumePathNameA gives it, e.g. "C:\"
  std::uint64_t needed;  // payload bytes
  std::uint64_t free;    // bytes free for the caller
  bool FallsShort() const { return needed > free; }
};

// Every volume the archives' entries would be written to (folder macros expanded with
// installFolder), in the order they are first met.
std::vector<VolumeSpace> MeasureDiskSpace(const std::string& installFolder,
                                          const std::vector<ArchiveToCheck>& archives);

// The same for the two archives of a run, wherever they lie.
std::vector<VolumeSpace> MeasureDiskSpace(const std::string& installFolder,
                                          const ArchiveSources& archives);

// The wizard's question for a volume that falls short (МБ = 2^20 bytes; needed rounded up, free
// rounded down; the volume's path shown literally).
std::wstring DiskSpaceQuestion(const VolumeSpace& volume);

// The log's line for a volume (ANSI code page: the volume is a path), with its figures.
std::string DiskSpaceLogLine(const VolumeSpace& volume);

}  // namespace setup
