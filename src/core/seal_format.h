// The seal: what a sealed Setup.exe knows of its distribution's archives. A fixed block of
// kSealSize bytes in a section of its own (kSealSectionName) inside the program's image, so that
// an Authenticode signature applied afterwards covers it. The program reads the block from its
// image in memory, never from its file on disk; the packaging tool finds it through the section
// table and writes it into a copy of the program. Integers are unsigned little-endian:
//
//    0  16 bytes  kSealMagic
//   16  u8        state: 0 unsealed (as built), 1 sealed
//   17  u8        archives: bit 0 ProgramFiles.dt belongs to the distribution, bit 1 SystemFiles.dt
//   18  6 bytes   zero
//   24  u64       ProgramFiles.dt size        32  32 bytes  its SHA-256
//   64  u64       SystemFiles.dt size         72  32 bytes  its SHA-256
//  104  8 bytes   zero
//
// A sealed program uses only the archives the seal names, and only when their size and SHA-256
// are those sealed; an archive not named has size and hash 0. A one-file installer's seal names
// the archives inside it. The packaging tool and the installer share this code.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/bundle_format.h"

namespace dt {

inline constexpr std::size_t kSealSize = 112;
// At most 8 characters: a PE section name.
inline constexpr char kSealSectionName[] = ".dtseal";
inline constexpr std::string_view kSealMagic{"Korvu seal v1\0\0\0", 16};

using SealDigest = std::array<std::uint8_t, 32>;

// What the seal says of one archive.
struct SealedArchive {
  std::uint64_t size = 0;
  SealDigest sha256{};
  bool operator==(const SealedArchive&) const = default;
};

struct Seal {
  bool sealed = false;
  // In the installer's order (kBundledNames); nothing for an archive that does not belong.
  std::array<std::optional<SealedArchive>, kBundledArchives> archives;
  bool operator==(const Seal&) const = default;
};

using SealBlock = std::array<std::uint8_t, kSealSize>;

// The block as the program is built: the magic, unsealed.
constexpr SealBlock UnsealedBlock() {
  SealBlock block{};
  for (std::size_t i = 0; i < kSealMagic.size(); ++i) {
    block[i] = static_cast<std::uint8_t>(kSealMagic[i]);
  }
  return block;
}

// The block for a seal. An unsealed seal names no archive: its block is UnsealedBlock(), whatever
// its `archives` hold.
SealBlock EncodeSeal(const Seal& seal);

// The seal in a block; nothing when the block is not one (not kSealSize bytes, another magic, a
// state or archive bit not defined, a reserved byte not zero, an archive not named with a size or
// hash not 0, or an unsealed block that names an archive).
std::optional<Seal> DecodeSeal(std::span<const std::uint8_t> block);

// Where the seal's block lies in a program's file: at the start of the raw data of its section
// kSealSectionName. Nothing, with the reason in `problem`, when the image has no such section or
// more than one, or the section holds fewer than kSealSize bytes in the file or in memory.
std::optional<std::uint64_t> FindSealBlock(const PeImage& image, std::string& problem);

}  // namespace dt
