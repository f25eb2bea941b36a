#include "bundle.h"

#include <fstream>
#include <vector>

#include "console.h"
#include "core/stream_source.h"
#include "pack.h"

namespace dtpack {
namespace fs = std::filesystem;

namespace {

bool SameFile(const fs::path& a, const fs::path& b) {
  std::error_code ec;
  if (fs::equivalent(a, b, ec)) return true;
  return fs::weakly_canonical(a, ec) == fs::weakly_canonical(b, ec);
}

std::uint64_t FileSize(const fs::path& p) {
  std::error_code ec;
  if (!fs::is_regular_file(p, ec)) throw InputError("\"" + ShowPath(p) + "\" is not a file");
  const auto size = fs::file_size(p, ec);
  if (ec) throw InputError("cannot read \"" + ShowPath(p) + "\"");
  return size;
}

// Copies a whole file to `out` in chunks; its size must not have changed since it was measured.
void Append(std::ofstream& out, const fs::path& from, std::uint64_t expected) {
  std::ifstream in(from, std::ios::binary);
  if (!in) throw InputError("cannot open \"" + ShowPath(from) + "\"");
  std::vector<char> buffer(1 << 20);
  std::uint64_t copied = 0;
  while (in) {
    in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    const auto n = static_cast<std::size_t>(in.gcount());
    out.write(buffer.data(), static_cast<std::streamsize>(n));
    copied += n;
  }
  if (!in.eof() || copied != expected) {
    throw InputError("\"" + ShowPath(from) + "\" changed while it was bundled");
  }
}

void Pad(std::ofstream& out, std::uint64_t& at, std::uint64_t to) {
  const std::string zeros(static_cast<std::size_t>(to - at), '\0');
  out.write(zeros.data(), static_cast<std::streamsize>(zeros.size()));
  at = to;
}

}  // namespace

BundleReport Bundle(const BundleInputs& inputs) {
  const std::string stub = ShowPath(inputs.setup);
  std::vector<fs::path> all = {inputs.setup};
  for (const auto& archive : inputs.archives) {
    if (archive) all.push_back(*archive);
  }
  for (const fs::path& input : all) {
    if (SameFile(input, inputs.out)) {
      throw InputError("the output \"" + ShowPath(inputs.out) + "\" is one of the inputs");
    }
  }

  const std::uint64_t stubSize = FileSize(inputs.setup);
  {
    dt::StreamSource source(inputs.setup);
    if (!source.is_open()) throw InputError("cannot open \"" + stub + "\"");
    std::string problem;
    const auto layout = dt::ReadBundleLayout(source, problem);
    if (!layout) throw InputError("\"" + stub + "\": " + problem);
    if (layout->image.HasCertificateTable()) {
      throw InputError("\"" + stub +
                       "\" is signed: bundle the unsigned program, then sign the result");
    }
    if (layout->kind != dt::BundleLayout::Kind::kPlain) {
      throw InputError("\"" + stub +
                       "\" already carries data behind its image (a one-file installer, "
                       "or debug symbols: link it stripped)");
    }
  }

  std::array<std::optional<std::uint64_t>, dt::kBundledArchives> lengths;
  for (std::size_t i = 0; i < dt::kBundledArchives; ++i) {
    if (!inputs.archives[i]) continue;
    lengths[i] = FileSize(*inputs.archives[i]);
    if (*lengths[i] >= dt::kMaxArchiveSize) {
      throw InputError("\"" + ShowPath(*inputs.archives[i]) + "\" is 2 GiB or larger");
    }
  }
  BundleReport report;
  report.windows = dt::LayOutBundle(stubSize, lengths);
  const std::uint64_t trailerAt = dt::TrailerOffset(stubSize, report.windows);

  fs::path temp = inputs.out;
  temp += ".partial";
  // The file is written under a temporary name and renamed at the end. That name must not be
  // one of the inputs, nor any file at all: it would be cut and then removed.
  for (const fs::path& input : all) {
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
    Append(file, inputs.setup, stubSize);
    std::uint64_t at = stubSize;
    for (std::size_t i = 0; i < dt::kBundledArchives; ++i) {
      if (!report.windows[i]) continue;
      Pad(file, at, report.windows[i]->offset);
      Append(file, *inputs.archives[i], report.windows[i]->length);
      at += report.windows[i]->length;
    }
    Pad(file, at, trailerAt);
    const std::string trailer = dt::EncodeTrailer(report.windows);
    file.write(trailer.data(), static_cast<std::streamsize>(trailer.size()));
    file.close();
    if (!file) throw InputError("cannot write \"" + ShowPath(temp) + "\"");
    fs::rename(temp, inputs.out);
  } catch (...) {
    std::error_code ignored;
    fs::remove(temp, ignored);
    throw;
  }
  report.bytes = trailerAt + dt::kTrailerSize;
  return report;
}

}  // namespace dtpack
