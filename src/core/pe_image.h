// The few facts of a Windows executable (PE32 or PE32+) that a one-file installer depends on:
// where the image's own bytes end and where the Authenticode certificate table lies. Read from
// the headers only; shared by the packaging tool and the installer.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/archive_format.h"

namespace dt {

struct PeImage {
  bool is64 = false;           // PE32+ (64-bit) rather than PE32
  std::uint64_t imageEnd = 0;  // end of the headers and of the last section's raw data
  // The security directory: the certificate table's file offset and size; both 0 when unsigned.
  std::uint32_t certOffset = 0;
  std::uint32_t certSize = 0;
  // File offset of the security directory entry in the optional header (so that tools can see
  // which header bytes describe the signature).
  std::uint64_t securityEntryOffset = 0;
  bool HasCertificateTable() const { return certOffset != 0 || certSize != 0; }
};

// Reads the headers of the file behind `file`; nothing, with the reason in `problem`, when it is
// not a PE image this code understands.
std::optional<PeImage> ReadPeImage(ByteSource& file, std::string& problem);

// Reads exactly dst.size() bytes at an absolute offset; false when they are not all there.
bool ReadAt(ByteSource& file, std::uint64_t offset, std::span<std::byte> dst);

}  // namespace dt
