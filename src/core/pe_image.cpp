#include "core/pe_image.h"

#include <algorithm>
#include <array>

namespace dt {
namespace {

std::uint16_t U16(const std::byte* p) {
  return static_cast<std::uint16_t>(static_cast<unsigned>(p[0]) | static_cast<unsigned>(p[1]) << 8);
}
std::uint32_t U32(const std::byte* p) {
  return static_cast<std::uint32_t>(DecodeInt32(p));
}

constexpr std::uint16_t kMagicPe32 = 0x10b;
constexpr std::uint16_t kMagicPe32Plus = 0x20b;
constexpr std::uint32_t kSecurityDirectory = 4;
constexpr std::uint32_t kSectionHeaderSize = 40;
constexpr std::uint16_t kMaxSections = 96;  // the loader's own limit

}  // namespace

void PeChecksum::Add(std::uint64_t offset, std::span<const std::byte> bytes) {
  const std::uint64_t end = offset + bytes.size();
  const std::uint64_t fieldEnd = checksumOffset_ + 4;
  if (offset < fieldEnd && end > checksumOffset_) {  // the CheckSum field counts as zero
    if (offset < checksumOffset_) {
      Add(offset, bytes.first(static_cast<std::size_t>(checksumOffset_ - offset)));
    }
    if (end > fieldEnd) Add(fieldEnd, bytes.subspan(static_cast<std::size_t>(fieldEnd - offset)));
    return;
  }
  // A byte at an even offset is a word's low byte, at an odd one its high byte. The folding is
  // done once, at the end: the sum of 2^32 bytes stays far below 2^64.
  std::uint64_t low = 0, high = 0;
  std::size_t i = 0;
  if (offset % 2 == 1 && !bytes.empty()) high += std::to_integer<std::uint8_t>(bytes[i++]);
  for (; i + 1 < bytes.size(); i += 2) {
    low += std::to_integer<std::uint8_t>(bytes[i]);
    high += std::to_integer<std::uint8_t>(bytes[i + 1]);
  }
  if (i < bytes.size()) low += std::to_integer<std::uint8_t>(bytes[i]);
  sum_ += low + (high << 8);
}

std::uint32_t PeChecksum::Finish(std::uint64_t fileSize) const {
  std::uint64_t sum = sum_;
  while (sum > 0xFFFF) sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<std::uint32_t>(sum + fileSize);
}

bool ReadAt(ByteSource& file, std::uint64_t offset, std::span<std::byte> dst) {
  if (!file.Seek(offset)) return false;
  std::size_t got = 0;
  while (got < dst.size()) {
    const std::size_t n = file.Read(dst.subspan(got));
    if (n == 0) return false;
    got += n;
  }
  return true;
}

std::optional<PeImage> ReadPeImage(ByteSource& file, std::string& problem) {
  const auto fail = [&problem](const char* why) -> std::optional<PeImage> {
    problem = why;
    return std::nullopt;
  };
  std::array<std::byte, 64> dos;
  if (!ReadAt(file, 0, dos) || dos[0] != std::byte{'M'} || dos[1] != std::byte{'Z'}) {
    return fail("not a Windows executable (no MZ header)");
  }
  const std::uint32_t peOffset = U32(&dos[0x3c]);
  // Signature, file header (20 bytes) and the optional header's fields up to the data directories.
  std::array<std::byte, 24 + 112> head;
  if (peOffset > (1u << 20) || !ReadAt(file, peOffset, std::span(head).first(24)) ||
      head[0] != std::byte{'P'} || head[1] != std::byte{'E'} || head[2] != std::byte{0} ||
      head[3] != std::byte{0}) {
    return fail("not a Windows executable (no PE header)");
  }
  const std::uint16_t sections = U16(&head[6]);
  const std::uint16_t optionalSize = U16(&head[20]);
  if (sections == 0 || sections > kMaxSections)
    return fail("the PE header's section count is out of range");
  std::array<std::byte, 2> magicRaw;
  if (optionalSize < 2 || !ReadAt(file, peOffset + 24, magicRaw)) {
    return fail("the PE optional header is missing");
  }
  PeImage image;
  const std::uint16_t magic = U16(magicRaw.data());
  if (magic != kMagicPe32 && magic != kMagicPe32Plus) return fail("unknown PE optional header");
  image.is64 = magic == kMagicPe32Plus;
  const std::uint32_t countField = image.is64 ? 108 : 92;  // NumberOfRvaAndSizes
  const std::uint32_t directories = countField + 4;
  const std::uint32_t securityEnd = directories + (kSecurityDirectory + 1) * 8;
  if (optionalSize < countField + 4 ||
      !ReadAt(file, peOffset + 24, std::span(head).subspan(24, countField + 4))) {
    return fail("the PE optional header is cut short");
  }
  const std::uint32_t headersSize = U32(&head[24 + 60]);  // SizeOfHeaders
  image.checksumOffset = peOffset + 24 + 64;
  image.checksum = U32(&head[24 + 64]);
  const std::uint32_t directoryCount = U32(&head[24 + countField]);
  if (directoryCount > kSecurityDirectory && optionalSize >= securityEnd) {
    std::array<std::byte, 8> security;
    image.securityEntryOffset = peOffset + 24 + directories + kSecurityDirectory * 8;
    if (!ReadAt(file, image.securityEntryOffset, security)) {
      return fail("the PE data directories are cut short");
    }
    image.certOffset = U32(&security[0]);
    image.certSize = U32(&security[4]);
  }

  image.imageEnd = headersSize;
  const std::uint64_t table = std::uint64_t{peOffset} + 24 + optionalSize;
  for (std::uint16_t i = 0; i < sections; ++i) {
    std::array<std::byte, kSectionHeaderSize> section;
    if (!ReadAt(file, table + std::uint64_t{i} * kSectionHeaderSize, section)) {
      return fail("the PE section table is cut short");
    }
    PeSection entry;
    std::transform(section.begin(), section.begin() + 8, entry.rawName.begin(),
                   [](std::byte b) { return static_cast<char>(b); });
    entry.virtualSize = U32(&section[8]);
    entry.virtualAddress = U32(&section[12]);
    entry.rawSize = U32(&section[16]);
    entry.rawPointer = U32(&section[20]);
    if (entry.rawSize != 0) {
      image.imageEnd = std::max(image.imageEnd, std::uint64_t{entry.rawPointer} + entry.rawSize);
    }
    image.sections.push_back(entry);
  }
  return image;
}

}  // namespace dt
