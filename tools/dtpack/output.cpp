#include "output.h"

#include "console.h"
#include "pack.h"

namespace dtpack {
namespace fs = std::filesystem;

bool SameFile(const fs::path& a, const fs::path& b) {
  std::error_code ec;
  if (fs::equivalent(a, b, ec)) return true;
  return fs::weakly_canonical(a, ec) == fs::weakly_canonical(b, ec);
}

std::uint64_t FileSize(const fs::path& path) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) throw InputError("\"" + ShowPath(path) + "\" is not a file");
  const auto size = fs::file_size(path, ec);
  if (ec) throw InputError("cannot read \"" + ShowPath(path) + "\"");
  return size;
}

void RefuseOutputAmongInputs(const fs::path& out, const std::vector<fs::path>& inputs) {
  for (const fs::path& input : inputs) {
    if (SameFile(input, out)) {
      throw InputError("the output \"" + ShowPath(out) + "\" is one of the inputs");
    }
  }
}

void WriteThroughTemporary(const fs::path& out, const std::vector<fs::path>& inputs,
                           const std::function<void(std::ofstream&)>& write) {
  fs::path temp = out;
  temp += ".partial";
  for (const fs::path& input : inputs) {
    if (SameFile(input, temp)) {
      throw InputError("the temporary file \"" + ShowPath(temp) + "\" is one of the inputs");
    }
  }
  std::error_code probe;
  if (fs::exists(fs::symlink_status(temp, probe))) {
    throw InputError("\"" + ShowPath(temp) + "\" is in the way: remove it first");
  }
  try {
    std::ofstream file(temp, std::ios::binary | std::ios::trunc);
    if (!file) throw InputError("cannot create \"" + ShowPath(temp) + "\"");
    write(file);
    file.close();
    if (!file) throw InputError("cannot write \"" + ShowPath(temp) + "\"");
    fs::rename(temp, out);
  } catch (...) {
    std::error_code ignored;
    fs::remove(temp, ignored);
    throw;
  }
}

}  // namespace dtpack
