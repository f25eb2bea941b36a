// dtpack bundle: a one-file installer from Setup.exe and its archives.
#pragma once

#include <array>
#include <filesystem>
#include <optional>

#include "core/bundle_format.h"

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
};

// Writes Setup.exe with the archives behind its image, each on a multiple of 8 bytes, and the
// trailer at the end, through a temporary file that replaces `out` only when complete. Refuses
// (InputError, nothing written) a stub that is not a PE image, one that already carries data
// behind its image or is signed, an archive of 2 GiB or more, and an output that is an input.
BundleReport Bundle(const BundleInputs& inputs);

}  // namespace dtpack
