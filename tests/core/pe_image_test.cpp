#include "core/pe_image.h"

#include <gtest/gtest.h>

#include <random>

#include "support/fake_pe.h"

namespace {

using testing_support::FakePe;
using testing_support::FakeSetup;
using testing_support::kFakeChecksumField;

std::uint32_t ChecksumOf(const std::string& file, std::uint64_t field) {
  dt::PeChecksum sum(field);
  sum.Add(0, file);
  return sum.Finish(file.size());
}

TEST(PeChecksum, SumsLittleEndianWordsFoldsTheCarriesAndAddsTheLength) {
  const std::uint64_t nowhere = 1000;  // a CheckSum field beyond these files
  EXPECT_EQ(ChecksumOf("", nowhere), 0u);
  // 0x0201 + 0x0003 (a last odd byte is a word of its own), plus 3 bytes.
  EXPECT_EQ(ChecksumOf("\x01\x02\x03", nowhere), 0x0204u + 3);
  // 0xFFFF + 0xFFFF = 0x1FFFE, folded to 0xFFFF, plus 4 bytes.
  EXPECT_EQ(ChecksumOf("\xFF\xFF\xFF\xFF", nowhere), 0xFFFFu + 4);
  // 0x8001 * 3 = 0x18003, folded to 0x8004, plus 6 bytes.
  EXPECT_EQ(ChecksumOf(std::string("\x01\x80\x01\x80\x01\x80", 6), nowhere), 0x8004u + 6);
}

TEST(PeChecksum, CountsItsOwnFieldAsZero) {
  std::string file(16, '\x11');
  const std::uint32_t sum = ChecksumOf(file, 6);
  for (int i = 6; i < 10; ++i) file[i] = '\0';
  EXPECT_EQ(ChecksumOf(file, 100), sum);  // the same bytes with zeros there, nothing skipped
  file[6] = '\x7F';
  file[9] = '\xEE';
  EXPECT_EQ(ChecksumOf(file, 6), sum);
  file[5] = '\x12';  // the byte before the field counts
  EXPECT_NE(ChecksumOf(file, 6), sum);
}

TEST(PeChecksum, PiecesInAnyOrderGiveTheWholesSum) {
  std::mt19937 random(7);
  std::string file(5001, '\0');
  for (char& c : file) c = static_cast<char>(random() & 0xFF);
  const std::uint64_t field = 0x98;
  const std::uint32_t whole = ChecksumOf(file, field);
  for (int round = 0; round < 50; ++round) {
    std::vector<std::size_t> cuts = {0, file.size()};
    for (int i = 0; i < 6; ++i) cuts.push_back(random() % file.size());
    std::sort(cuts.begin(), cuts.end());
    std::vector<std::pair<std::size_t, std::size_t>> pieces;
    for (std::size_t i = 0; i + 1 < cuts.size(); ++i) pieces.emplace_back(cuts[i], cuts[i + 1]);
    std::shuffle(pieces.begin(), pieces.end(), random);
    dt::PeChecksum sum(field);
    for (const auto& [from, to] : pieces) {
      sum.Add(from, std::string_view(file).substr(from, to - from));
    }
    ASSERT_EQ(sum.Finish(file.size()), whole) << "round " << round;
  }
}

TEST(PeImage, ReadsTheSectionTableAndTheCheckSumField) {
  for (const bool is64 : {false, true}) {
    SCOPED_TRACE(is64 ? "PE32+" : "PE32");
    const std::string file = FakeSetup(is64);
    dt::MemorySource source(file);
    std::string problem;
    const auto image = dt::ReadPeImage(source, problem);
    ASSERT_TRUE(image) << problem;
    EXPECT_EQ(image->checksumOffset, kFakeChecksumField);
    EXPECT_NE(image->checksum, 0u);
    EXPECT_EQ(image->checksum, ChecksumOf(file, kFakeChecksumField));
    ASSERT_EQ(image->sections.size(), 3u);
    EXPECT_EQ(image->sections[0].Name(), ".text");
    EXPECT_EQ(image->sections[1].Name(), ".dtseal");
    EXPECT_EQ(image->sections[1].rawPointer, 0x400u);
    EXPECT_EQ(image->sections[1].rawSize, 0x200u);
    EXPECT_EQ(image->sections[1].virtualSize, 0x80u);
    EXPECT_EQ(image->sections[1].virtualAddress, 0x2000u);
    EXPECT_EQ(image->sections[2].Name(), ".data");
    EXPECT_EQ(image->imageEnd, 0x700u);

    const std::string plainFile = FakePe(is64);
    dt::MemorySource plain(plainFile);
    const auto unsealed = dt::ReadPeImage(plain, problem);
    ASSERT_TRUE(unsealed);
    EXPECT_EQ(unsealed->checksum, 0u);
    EXPECT_EQ(unsealed->sections.size(), 2u);
  }
  // A name of all eight characters has no terminating zero.
  dt::PeSection eight;
  std::copy_n("12345678", 8, eight.rawName.begin());
  EXPECT_EQ(eight.Name(), "12345678");
}

}  // namespace
