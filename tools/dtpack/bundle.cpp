#include "bundle.h"

#include <fstream>
#include <vector>

#include "console.h"
#include "core/sha256.h"
#include "output.h"
#include "pack.h"
#include "program.h"

namespace dtpack {
namespace fs = std::filesystem;

namespace {

// Copies a whole file behind the program in chunks, hashing it as it goes; its size must not have
// changed since it was measured.
dt::SealedArchive Append(ProgramWriter& out, const fs::path& from, std::uint64_t expected) {
  std::ifstream in(from, std::ios::binary);
  if (!in) throw InputError("cannot open \"" + ShowPath(from) + "\"");
  std::vector<char> buffer(1 << 20);
  dt::Sha256 hash;
  std::uint64_t copied = 0;
  while (in) {
    in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    const auto n = static_cast<std::size_t>(in.gcount());
    out.Append(buffer.data(), n);
    hash.Add(buffer.data(), n);
    copied += n;
  }
  if (!in.eof() || copied != expected) {
    throw InputError("\"" + ShowPath(from) + "\" changed while it was bundled");
  }
  return {copied, hash.Finish()};
}

void Pad(ProgramWriter& out, std::uint64_t to) {
  const std::string zeros(static_cast<std::size_t>(to - out.Size()), '\0');
  out.Append(zeros.data(), zeros.size());
}

}  // namespace

BundleReport Bundle(const BundleInputs& inputs) {
  std::vector<fs::path> all = {inputs.setup};
  for (const auto& archive : inputs.archives) {
    if (archive) all.push_back(*archive);
  }
  RefuseOutputAmongInputs(inputs.out, all);
  const Stub stub = ReadStub(inputs.setup, "bundle", /*requireSeal=*/false);

  std::array<std::optional<std::uint64_t>, dt::kBundledArchives> lengths;
  for (std::size_t i = 0; i < dt::kBundledArchives; ++i) {
    if (!inputs.archives[i]) continue;
    lengths[i] = FileSize(*inputs.archives[i]);
    if (*lengths[i] >= dt::kMaxArchiveSize) {
      throw InputError("\"" + ShowPath(*inputs.archives[i]) + "\" is 2 GiB or larger");
    }
  }
  BundleReport report;
  const std::uint64_t stubSize = stub.bytes.size();
  report.windows = dt::LayOutBundle(stubSize, lengths);
  const std::uint64_t trailerAt = dt::TrailerOffset(stubSize, report.windows);

  WriteThroughTemporary(inputs.out, all, [&](std::ofstream& file) {
    ProgramWriter writer(file, stub);
    // The seal names the archives inside, as they were copied.
    dt::Seal seal;
    seal.sealed = true;
    for (std::size_t i = 0; i < dt::kBundledArchives; ++i) {
      if (!report.windows[i]) continue;
      Pad(writer, report.windows[i]->offset);
      seal.archives[i] = Append(writer, *inputs.archives[i], report.windows[i]->length);
    }
    Pad(writer, trailerAt);
    const std::string trailer = dt::EncodeTrailer(report.windows);
    writer.Append(trailer.data(), trailer.size());
    if (stub.sealAt) {
      writer.Finish(dt::EncodeSeal(seal));
      report.seal = seal;
    } else {
      writer.Finish(std::nullopt);
    }
  });
  if (!stub.sealAt) {
    report.warnings.push_back("\"" + ShowPath(inputs.setup) +
                              "\" has no seal block (no .dtseal section): the one-file installer "
                              "is not sealed");
  }
  report.bytes = trailerAt + dt::kTrailerSize;
  return report;
}

}  // namespace dtpack
