// The distribution's two package archives and where the installer finds them. Every stage that
// reads an archive (the disk-space check, the run) asks here.
#pragma once

#include <array>
#include <string>

namespace setup {

struct PackageArchive {
  const char* name;
  bool overwrite;  // its files replace existing ones
};

// In the order the run unpacks them.
inline constexpr std::array<PackageArchive, 2> kPackageArchives{{
    {"ProgramFiles.dt", true},
    {"SystemFiles.dt", false},
}};

// The path of the archive of that name: beside Setup.exe, in SourceDir.
std::string PackageArchivePath(const std::string& name);

}  // namespace setup
