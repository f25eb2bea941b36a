#include "core/seal_format.h"

#include <algorithm>

namespace dt {
namespace {

constexpr std::size_t kStateAt = 16;
constexpr std::size_t kArchivesAt = 17;
constexpr std::size_t kFirstArchiveAt = 24;
constexpr std::size_t kArchiveStride = 40;  // u64 size, 32 bytes SHA-256
constexpr std::size_t kTailAt = kFirstArchiveAt + kBundledArchives * kArchiveStride;
static_assert(kTailAt + 8 == kSealSize);
constexpr std::uint8_t kAllArchives = (1u << kBundledArchives) - 1;

bool AllZero(std::span<const std::uint8_t> bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0; });
}

}  // namespace

SealBlock EncodeSeal(const Seal& seal) {
  SealBlock block = UnsealedBlock();
  if (!seal.sealed) return block;
  block[kStateAt] = 1;
  for (std::size_t i = 0; i < kBundledArchives; ++i) {
    if (!seal.archives[i]) continue;
    block[kArchivesAt] = static_cast<std::uint8_t>(block[kArchivesAt] | 1u << i);
    const std::size_t at = kFirstArchiveAt + i * kArchiveStride;
    for (int b = 0; b < 8; ++b) {
      block[at + b] = static_cast<std::uint8_t>(seal.archives[i]->size >> (8 * b));
    }
    std::copy(seal.archives[i]->sha256.begin(), seal.archives[i]->sha256.end(),
              block.begin() + at + 8);
  }
  return block;
}

std::optional<Seal> DecodeSeal(std::span<const std::uint8_t> block) {
  if (block.size() != kSealSize) return std::nullopt;
  const SealBlock unsealed = UnsealedBlock();
  if (!std::equal(unsealed.begin(), unsealed.begin() + kSealMagic.size(), block.begin())) {
    return std::nullopt;
  }
  const std::uint8_t state = block[kStateAt];
  const std::uint8_t named = block[kArchivesAt];
  if (state > 1 || (named & ~kAllArchives) != 0) return std::nullopt;
  if (!AllZero(block.subspan(kArchivesAt + 1, kFirstArchiveAt - kArchivesAt - 1)) ||
      !AllZero(block.subspan(kTailAt))) {
    return std::nullopt;
  }
  Seal seal;
  seal.sealed = state == 1;
  if (!seal.sealed && named != 0) return std::nullopt;
  for (std::size_t i = 0; i < kBundledArchives; ++i) {
    const auto entry = block.subspan(kFirstArchiveAt + i * kArchiveStride, kArchiveStride);
    if ((named & (1u << i)) == 0) {
      if (!AllZero(entry)) return std::nullopt;
      continue;
    }
    SealedArchive archive;
    for (int b = 0; b < 8; ++b) archive.size |= std::uint64_t{entry[b]} << (8 * b);
    std::copy(entry.begin() + 8, entry.end(), archive.sha256.begin());
    seal.archives[i] = archive;
  }
  return seal;
}

std::optional<std::uint64_t> FindSealBlock(const PeImage& image, std::string& problem) {
  const PeSection* found = nullptr;
  for (const PeSection& section : image.sections) {
    if (section.Name() != kSealSectionName) continue;
    if (found) {
      problem = std::string("more than one ") + kSealSectionName + " section";
      return std::nullopt;
    }
    found = &section;
  }
  if (!found) {
    problem = std::string("no ") + kSealSectionName + " section";
    return std::nullopt;
  }
  if (found->rawSize < kSealSize || found->virtualSize < kSealSize) {
    problem = std::string("the ") + kSealSectionName + " section is too small for a seal";
    return std::nullopt;
  }
  return found->rawPointer;
}

}  // namespace dt
