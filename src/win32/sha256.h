// SHA-256 through Windows' CNG: the installation record's anchor and the files it names.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace win {

using Sha256Digest = std::array<std::uint8_t, 32>;

// The SHA-256 of bytes; nothing when CNG fails (or bcrypt.dll cannot be loaded).
std::optional<Sha256Digest> Sha256(std::string_view bytes);

// The SHA-256 of a file's first `length` bytes, read through a handle opened for synchronous
// reading, from offset 0 in pieces of 64 KiB. Nothing when the file holds fewer bytes, a read
// fails or CNG fails. The handle's file position is left where it was.
std::optional<Sha256Digest> Sha256OfFile(HANDLE file, std::uint64_t length);

}  // namespace win
