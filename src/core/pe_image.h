// The few facts of a Windows executable (PE32 or PE32+) that a one-file installer and its seal
// depend on: where the image's own bytes end, where the Authenticode certificate table lies, the
// section table and the CheckSum field. Read from the headers only; shared by the packaging tool
// and the installer.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/archive_format.h"

namespace dt {

// One entry of the section table.
struct PeSection {
  std::array<char, 8> rawName{};  // as stored: zero-padded, not zero-terminated when 8 long
  std::uint32_t virtualSize = 0;
  std::uint32_t virtualAddress = 0;
  std::uint32_t rawSize = 0;
  std::uint32_t rawPointer = 0;  // file offset of its raw data
  std::string_view Name() const {
    const std::string_view all(rawName.data(), rawName.size());
    return all.substr(0, all.find('\0'));
  }
};

struct PeImage {
  bool is64 = false;           // PE32+ (64-bit) rather than PE32
  std::uint64_t imageEnd = 0;  // end of the headers and of the last section's raw data
  // The security directory: the certificate table's file offset and size; both 0 when unsigned.
  std::uint32_t certOffset = 0;
  std::uint32_t certSize = 0;
  // File offset of the security directory entry in the optional header (so that tools can see
  // which header bytes describe the signature).
  std::uint64_t securityEntryOffset = 0;
  // File offset of the optional header's CheckSum field, and its value.
  std::uint64_t checksumOffset = 0;
  std::uint32_t checksum = 0;
  std::vector<PeSection> sections;  // in the table's order
  bool HasCertificateTable() const { return certOffset != 0 || certSize != 0; }
};

// Reads the headers of the file behind `file`; nothing, with the reason in `problem`, when it is
// not a PE image this code understands.
std::optional<PeImage> ReadPeImage(ByteSource& file, std::string& problem);

// The PE checksum of a file (what the optional header's CheckSum field holds when it is set): the
// sum of the file's 16-bit little-endian words (a last odd byte counted as a word of its own),
// with the carries folded back in, over the file with its CheckSum field counted as zero, plus
// the file's length. Pieces may be added in any order, each with its file offset, so that a
// writer can fill in a part last.
class PeChecksum {
 public:
  explicit PeChecksum(std::uint64_t checksumOffset) : checksumOffset_(checksumOffset) {}
  void Add(std::uint64_t offset, std::span<const std::byte> bytes);
  void Add(std::uint64_t offset, std::string_view bytes) {
    Add(offset, std::as_bytes(std::span(bytes.data(), bytes.size())));
  }
  // The checksum of a file of `fileSize` bytes, every byte of which was added once.
  std::uint32_t Finish(std::uint64_t fileSize) const;

 private:
  std::uint64_t checksumOffset_;
  std::uint64_t sum_ = 0;
};

// Reads exactly dst.size() bytes at an absolute offset; false when they are not all there.
bool ReadAt(ByteSource& file, std::uint64_t offset, std::span<std::byte> dst);

}  // namespace dt
