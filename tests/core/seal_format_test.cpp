#include "core/seal_format.h"

#include <gtest/gtest.h>

#include <string>

#include "support/fake_pe.h"

namespace {

using dt::Seal;
using dt::SealBlock;
using dt::SealedArchive;

SealedArchive Archive(std::uint64_t size, std::uint8_t fill) {
  SealedArchive archive{size, {}};
  for (std::size_t i = 0; i < archive.sha256.size(); ++i) {
    archive.sha256[i] = static_cast<std::uint8_t>(fill + i);
  }
  return archive;
}

Seal Sealed(std::optional<SealedArchive> program, std::optional<SealedArchive> system) {
  Seal seal;
  seal.sealed = true;
  seal.archives = {program, system};
  return seal;
}

std::string Bytes(const SealBlock& block, std::size_t at, std::size_t count) {
  return std::string(block.begin() + at, block.begin() + at + count);
}

TEST(SealFormat, TheBlockAsBuiltIsUnsealedAndNamesNothing) {
  const SealBlock block = dt::UnsealedBlock();
  EXPECT_EQ(Bytes(block, 0, 16), std::string("Korvu seal v1\0\0\0", 16));
  EXPECT_EQ(Bytes(block, 16, 96), std::string(96, '\0'));
  const auto seal = dt::DecodeSeal(block);
  ASSERT_TRUE(seal);
  EXPECT_FALSE(seal->sealed);
  EXPECT_FALSE(seal->archives[0]);
  EXPECT_FALSE(seal->archives[1]);
  EXPECT_EQ(dt::EncodeSeal(Seal{}), block);
  // An unsealed seal names nothing, whatever it was given.
  Seal unsealed;
  unsealed.archives[0] = Archive(5, 1);
  EXPECT_EQ(dt::EncodeSeal(unsealed), block);
}

TEST(SealFormat, EncodesEachFieldWhereTheLayoutPutsIt) {
  const Seal seal = Sealed(Archive(0x0102030405060708ull, 0x40), Archive(77, 0xA0));
  const SealBlock block = dt::EncodeSeal(seal);
  EXPECT_EQ(Bytes(block, 0, 16), std::string(dt::kSealMagic));
  EXPECT_EQ(block[16], 1);     // sealed
  EXPECT_EQ(block[17], 0b11);  // both archives belong
  EXPECT_EQ(Bytes(block, 18, 6), std::string(6, '\0'));
  EXPECT_EQ(Bytes(block, 24, 8), "\x08\x07\x06\x05\x04\x03\x02\x01");
  EXPECT_EQ(block[32], 0x40);
  EXPECT_EQ(block[63], 0x40 + 31);
  EXPECT_EQ(Bytes(block, 64, 8), std::string("\x4D\0\0\0\0\0\0\0", 8));
  EXPECT_EQ(block[72], 0xA0);
  EXPECT_EQ(block[103], 0xA0 + 31);
  EXPECT_EQ(Bytes(block, 104, 8), std::string(8, '\0'));
  EXPECT_EQ(dt::DecodeSeal(block), seal);

  // An archive that does not belong: its bit clear, its size and hash 0.
  for (const Seal& one : {Sealed(Archive(9, 1), std::nullopt), Sealed(std::nullopt, Archive(9, 1)),
                          Sealed(std::nullopt, std::nullopt)}) {
    const SealBlock b = dt::EncodeSeal(one);
    EXPECT_EQ(b[17], (one.archives[0] ? 1 : 0) | (one.archives[1] ? 2 : 0));
    EXPECT_EQ(Bytes(b, one.archives[0] ? 64 : 24, 40), std::string(40, '\0'));
    EXPECT_EQ(dt::DecodeSeal(b), one);
  }
}

TEST(SealFormat, RefusesABlockOfAnotherSize) {
  const SealBlock block = dt::UnsealedBlock();
  EXPECT_FALSE(dt::DecodeSeal(std::span(block).first(dt::kSealSize - 1)));
  EXPECT_FALSE(dt::DecodeSeal({}));
  std::array<std::uint8_t, dt::kSealSize + 1> longer{};
  std::copy(block.begin(), block.end(), longer.begin());
  EXPECT_FALSE(dt::DecodeSeal(longer));
}

// Every byte of a sealed block that names ProgramFiles.dt only, changed in turn: the magic, the
// state, the archive bits (but the one that names SystemFiles.dt as well), the reserved bytes and
// SystemFiles.dt's unused size and hash make the block no seal; a change in ProgramFiles.dt's size
// or hash is another seal.
TEST(SealFormat, AnyChangeOutsideTheNamedArchivesFieldsIsRefused) {
  const Seal seal = Sealed(Archive(1000, 7), std::nullopt);
  const SealBlock good = dt::EncodeSeal(seal);
  for (std::size_t at = 0; at < dt::kSealSize; ++at) {
    for (const std::uint8_t flip : {0x01, 0x80, 0xFF}) {
      SealBlock block = good;
      block[at] ^= flip;
      const auto decoded = dt::DecodeSeal(block);
      if (at >= 24 && at < 64) {
        ASSERT_TRUE(decoded) << "byte " << at;
        EXPECT_NE(*decoded, seal) << "byte " << at;
        EXPECT_EQ(dt::EncodeSeal(*decoded), block) << "byte " << at;
      } else if (at == 16 && flip == 0x01) {
        EXPECT_FALSE(decoded) << "an unsealed block that names an archive";
      } else if (at == 17 && flip == 0x02) {
        // SystemFiles.dt named too, with the size and hash its fields hold.
        EXPECT_EQ(decoded, Sealed(Archive(1000, 7), SealedArchive{})) << "both archives belong";
      } else {
        EXPECT_FALSE(decoded) << "byte " << at << " ^ " << int{flip};
      }
    }
  }
}

TEST(SealFormat, RefusesUndefinedStatesAndArchiveBits) {
  for (const std::uint8_t state : {2, 3, 0x80, 0xFF}) {
    SealBlock block = dt::UnsealedBlock();
    block[16] = state;
    EXPECT_FALSE(dt::DecodeSeal(block)) << int{state};
  }
  for (int bit = 2; bit < 8; ++bit) {
    SealBlock block = dt::EncodeSeal(Sealed(std::nullopt, std::nullopt));
    block[17] = static_cast<std::uint8_t>(1u << bit);
    EXPECT_FALSE(dt::DecodeSeal(block)) << bit;
  }
  // Unsealed, with an archive's bit and fields as a sealed block has them.
  SealBlock named = dt::EncodeSeal(Sealed(std::nullopt, Archive(3, 3)));
  named[16] = 0;
  EXPECT_FALSE(dt::DecodeSeal(named));
}

std::optional<std::uint64_t> SealBlockIn(const std::string& file, std::string& problem) {
  dt::MemorySource source(file);
  const auto image = dt::ReadPeImage(source, problem);
  if (!image) return std::nullopt;
  return dt::FindSealBlock(*image, problem);
}

TEST(SealFormat, TheBlockLiesAtTheStartOfTheProgramsSealSection) {
  using testing_support::PutU32;
  for (const bool is64 : {false, true}) {
    std::string problem;
    EXPECT_EQ(SealBlockIn(testing_support::FakeSetup(is64), problem), 0x400u) << problem;
    EXPECT_FALSE(SealBlockIn(testing_support::FakePe(is64), problem));
    EXPECT_EQ(problem, "no .dtseal section");

    const std::size_t table =
        testing_support::kFakePeOffset + 24 + testing_support::FakeOptionalHeaderSize(is64);
    std::string twice = testing_support::FakeSetup(is64);
    twice.replace(table + 80, 8, std::string(".dtseal\0", 8));
    EXPECT_FALSE(SealBlockIn(twice, problem));
    EXPECT_EQ(problem, "more than one .dtseal section");

    // Too small for a block in the file, or in memory.
    for (const std::size_t field : {table + 40 + 16, table + 40 + 8}) {
      std::string small = testing_support::FakeSetup(is64);
      PutU32(small, field, dt::kSealSize - 1);
      EXPECT_FALSE(SealBlockIn(small, problem));
      EXPECT_EQ(problem, "the .dtseal section is too small for a seal");
    }
    // A longer name is another section.
    std::string longer = testing_support::FakeSetup(is64);
    longer[table + 40 + 7] = 'x';
    EXPECT_FALSE(SealBlockIn(longer, problem));
  }
}

}  // namespace
