// dtpack bundle: a one-file installer from Setup.exe and its archives.
#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/bundle_format.h"
#include "core/seal_format.h"

namespace dtpack {

struct BundleInputs {
  std::filesystem::path setup;
  // ProgramFiles.dt and SystemFiles.dt, in this order; an archive not given is missing.
  std::array<std::optional<std::filesystem::path>, dt::kBundledArchives> archives;
  std::filesystem::path out;
};

struct BundleReport {
  dt::BundleWindows windows;
  std::uint64_t bytes = 0;
  // The seal written into the one-file installer; nothing for a stub without a seal block.
  std::optional<dt::Seal> seal;
  std::vector<std::string> warnings;
};

// Writes Setup.exe with the archives behind its image, each on a multiple of 8 bytes, and the
// trailer at the end, through a temporary file that replaces `out` only when complete. The copy
// is sealed with the archives inside it (their sizes and SHA-256, as copied), and its CheckSum
// field, when set, made the whole file's. A stub without a seal block (no .dtseal section) is
// bundled unsealed, with a warning. Refuses (InputError, nothing written) a stub that is not a PE
// image, one that already carries data behind its image, is signed or sealed, or whose seal block
// is damaged, an archive of 2 GiB or more, and an output that is an input.
BundleReport Bundle(const BundleInputs& inputs);

}  // namespace dtpack
