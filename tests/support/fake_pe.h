// A minimal Windows executable in memory, for tests of the one-file installer's layout and of
// the seal: the DOS header, the PE headers (PE32 or PE32+, 16 data directories) and two sections
// of raw data; a stand-in Setup.exe has a third, .dtseal, with the seal's block.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>

#include "core/pe_image.h"
#include "core/seal_format.h"

namespace testing_support {

inline void PutU32(std::string& bytes, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}
inline void PutU16(std::string& bytes, std::size_t at, std::uint16_t v) {
  bytes[at] = static_cast<char>(v & 0xFF);
  bytes[at + 1] = static_cast<char>(v >> 8);
}

inline constexpr std::size_t kFakePeOffset = 0x80;
inline std::size_t FakeOptionalHeaderSize(bool is64) {
  return is64 ? 240 : 224;
}
// Where the security directory entry (offset, size) of a fake image lies.
inline std::size_t FakeSecurityEntry(bool is64) {
  return kFakePeOffset + 24 + (is64 ? 112 : 96) + 4 * 8;
}

// Headers of 0x200 bytes, then sections at 0x200 (0x200 bytes) and 0x400 (0x100 bytes): the
// image ends at 0x500. The second section's raw data are not a multiple of 8 long when `odd`.
inline std::string FakePe(bool is64, bool odd = false) {
  const std::uint32_t lastSize = odd ? 0x103 : 0x100;
  std::string pe(0x400 + lastSize, '\x90');
  std::fill(pe.begin(), pe.begin() + 0x200, '\0');
  pe[0] = 'M';
  pe[1] = 'Z';
  PutU32(pe, 0x3c, kFakePeOffset);
  const std::size_t h = kFakePeOffset;
  pe.replace(h, 4, std::string("PE\0\0", 4));
  PutU16(pe, h + 4, is64 ? 0x8664 : 0x14c);
  PutU16(pe, h + 6, 2);  // sections
  PutU16(pe, h + 20, static_cast<std::uint16_t>(FakeOptionalHeaderSize(is64)));
  const std::size_t opt = h + 24;
  PutU16(pe, opt, is64 ? 0x20b : 0x10b);
  PutU32(pe, opt + 60, 0x200);              // SizeOfHeaders
  PutU32(pe, opt + (is64 ? 108 : 92), 16);  // NumberOfRvaAndSizes
  const std::size_t sections = opt + FakeOptionalHeaderSize(is64);
  const std::uint32_t raw[2][2] = {{0x200, 0x200}, {lastSize, 0x400}};
  for (int i = 0; i < 2; ++i) {
    const std::size_t s = sections + 40 * static_cast<std::size_t>(i);
    pe.replace(s, 5, i == 0 ? ".text" : ".data");
    PutU32(pe, s + 16, raw[i][0]);
    PutU32(pe, s + 20, raw[i][1]);
  }
  return pe;
}

// Where the optional header's CheckSum field of a fake image lies.
inline constexpr std::size_t kFakeChecksumField = kFakePeOffset + 24 + 64;
inline constexpr std::size_t kFakeSealOffset = 0x400;

// Sets the CheckSum field to the file's PE checksum, as the linker does.
inline std::string WithPeChecksum(std::string file) {
  PutU32(file, kFakeChecksumField, 0);
  dt::PeChecksum sum(kFakeChecksumField);
  sum.Add(0, file);
  PutU32(file, kFakeChecksumField, sum.Finish(file.size()));
  return file;
}

// A stand-in Setup.exe: headers of 0x200 bytes, .text at 0x200 (0x200 bytes), .dtseal at 0x400
// (0x200 bytes, 0x80 in memory) starting with `block`, .data at 0x600 (0x100 bytes, 0x103 when
// `odd`); the image ends at 0x700. The CheckSum field is set, as mingw-w64's linker sets it,
// unless `checksum` is false (then 0).
inline std::string FakeSetup(bool is64, const dt::SealBlock& block = dt::UnsealedBlock(),
                             bool checksum = true, bool odd = false) {
  std::string pe = FakePe(is64, odd);
  const std::string tail = pe.substr(0x400);  // .data's raw bytes
  pe.resize(0x400);
  pe += std::string(0x200, '\0');
  std::copy(block.begin(), block.end(), pe.begin() + kFakeSealOffset);
  pe += tail;
  PutU16(pe, kFakePeOffset + 6, 3);  // sections
  const std::size_t table = kFakePeOffset + 24 + FakeOptionalHeaderSize(is64);
  // .data moves to the third entry, at 0x600; .dtseal takes the second.
  pe.replace(table + 80, 40, pe.substr(table + 40, 40));
  PutU32(pe, table + 80 + 20, 0x600);
  pe.replace(table + 40, 40, std::string(40, '\0'));
  pe.replace(table + 40, 7, ".dtseal");
  PutU32(pe, table + 40 + 8, 0x80);         // VirtualSize
  PutU32(pe, table + 40 + 12, 0x2000);      // VirtualAddress
  PutU32(pe, table + 40 + 16, 0x200);       // SizeOfRawData
  PutU32(pe, table + 40 + 20, 0x400);       // PointerToRawData
  PutU32(pe, table + 40 + 36, 0xC0000040);  // initialised data, read, write
  return checksum ? WithPeChecksum(pe) : pe;
}

// Signs an image the way a signing tool lays it out: zero bytes up to a multiple of 8, then a
// certificate table of `tableSize` bytes that the security directory names.
inline std::string FakeSign(std::string file, bool is64, std::size_t tableSize = 0x40) {
  file.resize((file.size() + 7) / 8 * 8, '\0');
  const auto offset = static_cast<std::uint32_t>(file.size());
  // One WIN_CERTIFICATE entry: its length, revision 2.0, PKCS#7 signed data, then filler.
  file += std::string(tableSize, '\xA5');
  PutU32(file, offset, static_cast<std::uint32_t>(tableSize));
  PutU32(file, offset + 4, 0x00020200);
  PutU32(file, FakeSecurityEntry(is64), offset);
  PutU32(file, FakeSecurityEntry(is64) + 4, static_cast<std::uint32_t>(tableSize));
  return file;
}

}  // namespace testing_support
