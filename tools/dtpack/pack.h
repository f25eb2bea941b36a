// dtpack pack: builds an archive from folders and files mapped onto stored paths.
#pragma once

#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace dtpack {

// A problem with the archive or its inputs (exit status 1).
class InputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One mapping from the command line: "STORED=LOCAL". A local folder is taken recursively, its
// files stored below the stored folder; a local file is stored under the stored path itself.
struct Mapping {
  std::string stored;  // UTF-8 as typed
  std::filesystem::path local;
};
Mapping ParseMapping(const std::string& argument);

struct PackInput {
  std::string storedPath;  // code page 1251 bytes
  std::filesystem::path source;
};

// Expands the mappings into entries, folders walked in byte order of their names so that the same
// inputs always give the same archive. Throws InputError.
std::vector<PackInput> CollectInputs(const std::vector<Mapping>& mappings);

struct PackReport {
  std::size_t entries = 0;
  std::size_t payloads = 0;
  std::uint64_t bytes = 0;
  std::vector<std::string> warnings;
};

using Progress = std::function<void(std::uint64_t done, std::uint64_t total)>;

// Checks every rule, then writes the archive through a temporary file that replaces `out` only
// when complete; on any refusal or failure nothing is left at `out`. Throws InputError.
PackReport Pack(const std::vector<PackInput>& inputs, const std::filesystem::path& out,
                const Progress& progress);

}  // namespace dtpack
