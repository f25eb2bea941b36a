#include "program.h"

#include <algorithm>
#include <iterator>

#include "console.h"
#include "core/bundle_format.h"
#include "output.h"
#include "pack.h"

namespace dtpack {
namespace fs = std::filesystem;

FoundSeal FindSeal(dt::ByteSource& file, const dt::PeImage& image) {
  FoundSeal found;
  const bool hasSection =
      std::any_of(image.sections.begin(), image.sections.end(),
                  [](const dt::PeSection& s) { return s.Name() == dt::kSealSectionName; });
  const auto at = dt::FindSealBlock(image, found.problem);
  if (!hasSection) return found;
  found.kind = FoundSeal::Kind::kDamaged;
  if (!at) return found;
  std::array<std::byte, dt::kSealSize> raw;
  if (!dt::ReadAt(file, *at, raw)) {
    found.problem = "the .dtseal section is cut short";
    return found;
  }
  const auto seal =
      dt::DecodeSeal(std::span(reinterpret_cast<const std::uint8_t*>(raw.data()), raw.size()));
  if (!seal) {
    found.problem = "the .dtseal section holds no valid seal block";
    return found;
  }
  found.kind = FoundSeal::Kind::kBlock;
  found.at = *at;
  found.seal = *seal;
  return found;
}

Stub ReadStub(const fs::path& setup, std::string_view verb, bool requireSeal) {
  const std::string shown = ShowPath(setup);
  const std::uint64_t size = FileSize(setup);
  Stub stub;
  {
    std::ifstream in(setup, std::ios::binary);
    if (!in) throw InputError("cannot open \"" + shown + "\"");
    stub.bytes.assign(std::istreambuf_iterator<char>(in), {});
    if (in.bad() || stub.bytes.size() != size) throw InputError("cannot read \"" + shown + "\"");
  }
  dt::MemorySource source(stub.bytes);
  std::string problem;
  const auto layout = dt::ReadBundleLayout(source, problem);
  if (!layout) throw InputError("\"" + shown + "\": " + problem);
  if (layout->image.HasCertificateTable()) {
    throw InputError("\"" + shown + "\" is signed: " + std::string(verb) +
                     " the unsigned program, then sign the result");
  }
  if (layout->kind != dt::BundleLayout::Kind::kPlain) {
    throw InputError("\"" + shown +
                     "\" already carries data behind its image (a one-file installer, "
                     "or debug symbols: link it stripped)");
  }
  stub.image = layout->image;

  const FoundSeal found = FindSeal(source, stub.image);
  switch (found.kind) {
    case FoundSeal::Kind::kNoBlock:
      if (requireSeal) {
        throw InputError("\"" + shown + "\" has no seal block (" + found.problem +
                         "): not this project's Setup.exe");
      }
      break;
    case FoundSeal::Kind::kDamaged:
      throw InputError("\"" + shown + "\": " + found.problem);
    case FoundSeal::Kind::kBlock:
      if (found.seal.sealed) {
        throw InputError("\"" + shown + "\" is already sealed: " + std::string(verb) +
                         " the Setup.exe as built");
      }
      stub.sealAt = found.at;
      break;
  }
  return stub;
}

ProgramWriter::ProgramWriter(std::ofstream& file, const Stub& stub)
    : file_(file), stub_(stub), checksum_(stub.image.checksumOffset) {
  file_.write(stub.bytes.data(), static_cast<std::streamsize>(stub.bytes.size()));
  size_ = stub.bytes.size();
  // Everything but the block, which Finish adds as it is written in the end.
  const std::string_view bytes = stub.bytes;
  const std::uint64_t blockAt = stub.sealAt.value_or(bytes.size());
  const std::uint64_t blockEnd = stub.sealAt ? blockAt + dt::kSealSize : bytes.size();
  checksum_.Add(0, bytes.substr(0, blockAt));
  checksum_.Add(blockEnd, bytes.substr(blockEnd));
}

void ProgramWriter::Append(const char* data, std::size_t size) {
  file_.write(data, static_cast<std::streamsize>(size));
  checksum_.Add(size_, std::string_view(data, size));
  size_ += size;
}

void ProgramWriter::Finish(const std::optional<dt::SealBlock>& block) {
  if (stub_.sealAt) {
    std::string bytes = stub_.bytes.substr(*stub_.sealAt, dt::kSealSize);
    if (block) bytes.assign(block->begin(), block->end());
    file_.seekp(static_cast<std::streamoff>(*stub_.sealAt));
    file_.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    checksum_.Add(*stub_.sealAt, bytes);
  }
  // mingw-w64's linker (GNU ld 2.40) writes the image's correct PE checksum into every program
  // it links, Setup.exe included; Windows checks it only for drivers and boot-time images, but
  // a file that keeps the linker's value after its bytes changed is inconsistent. A stub with 0
  // there (no checksum) keeps 0.
  if (stub_.image.checksum != 0) {
    const std::uint32_t sum = checksum_.Finish(size_);
    std::string field;
    dt::AppendInt32(field, static_cast<std::int32_t>(sum));
    file_.seekp(static_cast<std::streamoff>(stub_.image.checksumOffset));
    file_.write(field.data(), static_cast<std::streamsize>(field.size()));
  }
  file_.seekp(0, std::ios::end);
}

}  // namespace dtpack
