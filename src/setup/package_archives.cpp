#include "setup/package_archives.h"

#include "setup/globals.h"

namespace setup {

std::string PackageArchivePath(const std::string& name) {
  return SourceDir + "\\" + name;
}

}  // namespace setup
