// dtpack seal: a copy of Setup.exe that names its distribution's archives, with their sizes and
// SHA-256 (core/seal_format.h); and the checks of archives against a sealed program.
#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "core/archive_format.h"
#include "core/bundle_format.h"
#include "core/seal_format.h"

namespace dtpack {

struct SealInputs {
  std::filesystem::path setup;
  // ProgramFiles.dt and SystemFiles.dt, in this order; an archive not given does not belong to
  // the distribution.
  std::array<std::optional<std::filesystem::path>, dt::kBundledArchives> archives;
  std::filesystem::path out;
};

struct SealReport {
  dt::Seal seal;
  std::uint64_t bytes = 0;
  std::vector<std::string> warnings;
};

// Writes a copy of Setup.exe whose seal names the archives given, with their sizes and SHA-256,
// and whose CheckSum field, when set, is the copy's; through a temporary file that replaces
// `out` only when complete. The same inputs give the same bytes. Refuses (InputError, nothing
// written): no archive given, a program without a valid seal block (not this project's
// Setup.exe), one already sealed, one with anything behind its image (a one-file installer) or
// signed, an archive that dtpack verify finds a problem in, and an output that is an input.
SealReport SealSetup(const SealInputs& inputs);

// What a seal would say of an archive: its bytes to the end, counted and hashed.
dt::SealedArchive Measure(dt::ByteSource& archive);

// Checks archives against a sealed program, each taken for the archive its file name (any letter
// case) names; without `archives`, those beside the program, where an archive the seal names is
// missing and one it does not name is not used. A one-file installer's seal is checked against
// the archives inside it (and archives given beside it are refused). One line per archive and per
// problem; 1 when there is any problem, an unsealed program included.
int VerifySealed(const std::filesystem::path& setup,
                 const std::vector<std::filesystem::path>& archives, std::ostream& out);

// For dtpack verify of a one-file installer: the archives inside it against its seal, each line
// after "seal: ". Nothing to check (0, no line) when the file is no one-file installer or its
// program carries no seal block or an unsealed one.
int VerifyBundleSeal(const std::filesystem::path& installer, std::ostream& out);

}  // namespace dtpack
