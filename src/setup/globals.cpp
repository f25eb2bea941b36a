#include "setup/globals.h"

namespace setup {

std::string SourceDir;
std::string ProgramTitle;
std::string InstallFolder;
std::int64_t TotalBytes = 0;
std::int64_t DoneBytes = 0;

}  // namespace setup
