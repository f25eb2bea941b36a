// dtpack list, verify and unpack: reading archives on a build machine.
#pragma once

#include <filesystem>
#include <ostream>
#include <string>

#include "core/archive_format.h"

namespace dtpack {

// Checks one archive against every rule; each problem and warning, and "ok: N entries" when there
// is no problem, goes to `out` as a line after `lead`. 0 when there is no problem, else 1.
int VerifyArchive(dt::ByteSource& source, const std::string& lead, std::ostream& out);

// Each takes an archive or a one-file installer (then each archive inside it in turn) and returns
// the exit status: 0 when all went well, 1 for a problem with the archive or the installer.
int List(const std::filesystem::path& archive, std::ostream& out, std::ostream& err);
int Verify(const std::filesystem::path& archive, std::ostream& out);
int Unpack(const std::filesystem::path& archive, const std::filesystem::path& dir,
           std::ostream& out, std::ostream& err);

}  // namespace dtpack
