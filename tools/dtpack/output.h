// The files dtpack writes: never one of its inputs, and through a temporary name beside the
// output that replaces it only when complete, so that a refusal or a failure leaves nothing.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <vector>

namespace dtpack {

// Whether two paths name the same file (or would, once made).
bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b);

// The size of a file; InputError when it is no regular file or cannot be read.
std::uint64_t FileSize(const std::filesystem::path& path);

// InputError when `out` is one of `inputs`.
void RefuseOutputAmongInputs(const std::filesystem::path& out,
                             const std::vector<std::filesystem::path>& inputs);

// Writes `out` through "OUT.partial", which must be none of `inputs` and no file at all (it would
// be cut and then removed): InputError otherwise. `write` fills the opened file; the file is
// renamed to `out` when complete and removed on any failure.
void WriteThroughTemporary(const std::filesystem::path& out,
                           const std::vector<std::filesystem::path>& inputs,
                           const std::function<void(std::ofstream&)>& write);

}  // namespace dtpack
