// SHA-256 through Windows' CNG: the installation record's anchor and the files it names.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "win32/handles.h"

namespace win {

using Sha256Digest = std::array<std::uint8_t, 32>;

struct Cng;

// One SHA-256 computation over bytes given piece by piece. Open first; Add and Finish fail once
// anything failed.
class Sha256Hasher {
 public:
  Sha256Hasher() = default;
  Sha256Hasher(const Sha256Hasher&) = delete;
  Sha256Hasher& operator=(const Sha256Hasher&) = delete;

  bool Open();
  bool Add(const void* data, std::size_t size);
  // The digest of everything added; nothing when a step failed.
  std::optional<Sha256Digest> Finish();

 private:
  const Cng* cng_ = nullptr;
  bool failed_ = false;
  CngAlgorithm algorithm_;  // the hash object goes before its provider (reverse member order)
  CngHash hash_;
};

// The SHA-256 of bytes; nothing when CNG fails (or bcrypt.dll cannot be loaded).
std::optional<Sha256Digest> Sha256(std::string_view bytes);

// The SHA-256 of a file's first `length` bytes, read through a handle opened for synchronous
// reading, from offset 0 in pieces of 64 KiB. Nothing when the file holds fewer bytes, a read
// fails or CNG fails. The handle's file position is left where it was.
std::optional<Sha256Digest> Sha256OfFile(HANDLE file, std::uint64_t length);

// The SHA-256 of a whole file, read as Sha256OfFile reads it.
std::optional<Sha256Digest> Sha256OfWholeFile(HANDLE file);

}  // namespace win
