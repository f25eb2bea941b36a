// Setup.exe as dtpack seal and dtpack bundle read and write it: its seal's block, and a copy with
// the block filled in.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>

#include "core/archive_format.h"
#include "core/pe_image.h"
#include "core/seal_format.h"

namespace dtpack {

// What a program's file holds in the place of its seal.
struct FoundSeal {
  enum class Kind {
    kNoBlock,  // no .dtseal section: not this project's Setup.exe (or one older than the seal)
    kDamaged,  // a .dtseal section, but no valid block in it
    kBlock,    // a valid block at `at`
  };
  Kind kind = Kind::kNoBlock;
  std::uint64_t at = 0;
  dt::Seal seal;
  std::string problem;  // kNoBlock, kDamaged: what is wrong, for messages
};

// Finds and decodes the seal's block of the program whose headers are `image`.
FoundSeal FindSeal(dt::ByteSource& file, const dt::PeImage& image);

// The Setup.exe to seal or bundle, read whole.
struct Stub {
  std::string bytes;  // its image, with nothing behind it
  dt::PeImage image;
  std::optional<std::uint64_t> sealAt;  // where its unsealed block lies; nothing without one
};

// Reads the program that `verb` ("seal", "bundle") starts from. Refuses (InputError): a file that
// is not a PE image, one that is signed or carries anything behind its image (a one-file
// installer), one whose .dtseal section holds no valid block or an already sealed one, and, with
// `requireSeal`, one without a .dtseal section.
Stub ReadStub(const std::filesystem::path& setup, std::string_view verb, bool requireSeal);

// Writes a copy of a stub, then whatever is appended behind it; Finish fills in the seal's block
// and the CheckSum field, seeking back to them.
class ProgramWriter {
 public:
  ProgramWriter(std::ofstream& file, const Stub& stub);
  void Append(const char* data, std::size_t size);
  std::uint64_t Size() const { return size_; }
  // The stub's own block stays when `block` is nothing (or the stub has none). The CheckSum
  // field, when the stub's is set, becomes the PE checksum of the whole file written.
  void Finish(const std::optional<dt::SealBlock>& block);

 private:
  std::ofstream& file_;
  const Stub& stub_;
  dt::PeChecksum checksum_;
  std::uint64_t size_ = 0;
};

}  // namespace dtpack
