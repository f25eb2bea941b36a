#include "core/bundle_format.h"

#include <gtest/gtest.h>

#include "core/archive_writer.h"
#include "support/fake_pe.h"

namespace {

using dt::BundleLayout;
using Kind = dt::BundleLayout::Kind;
using testing_support::FakePe;
using testing_support::FakeSign;

const std::string kProgram = dt::BuildArchive({{"%InstallDir%\\a.txt", "program files"}});
const std::string kSystem = dt::BuildArchive({{"%System32%\\b.dll", "system"}});

std::optional<BundleLayout> Layout(const std::string& file, std::string* problem = nullptr) {
  dt::MemorySource source(file);
  std::string why;
  auto layout = dt::ReadBundleLayout(source, why);
  if (problem) *problem = layout ? layout->problem : why;
  return layout;
}

// The content of the first entry of the archive in a window of `file`, read the installer's way.
std::optional<std::string> FirstFile(const std::string& file, dt::ArchiveWindow window) {
  dt::MemorySource source(file);
  dt::WindowSource archive(source, window);
  const dt::Directory dir = dt::ReadDirectory(archive);
  if (dir.formatError || dir.items.empty()) return std::nullopt;
  const auto size = dt::ReadPayloadSize(archive, dir.items[0]);
  if (!size) return std::nullopt;
  auto content = dt::ContentReader::Open(archive, dir.items[0], *size);
  if (!content) return std::nullopt;
  std::string out(static_cast<std::size_t>(*size), '\0');
  std::span<std::byte> dst(reinterpret_cast<std::byte*>(out.data()), out.size());
  std::size_t got = 0;
  while (auto n = content->Next(dst.subspan(got))) {
    if (*n == 0) break;
    got += *n;
  }
  return got == out.size() ? std::optional(out) : std::nullopt;
}

class BundleLayoutTest : public ::testing::TestWithParam<bool> {
 protected:
  bool is64() const { return GetParam(); }
};

TEST_P(BundleLayoutTest, ArchivesAreFoundInSignedAndUnsignedBundlesOfEitherWidth) {
  for (const bool sign : {false, true}) {
    for (const bool odd : {false, true}) {
      SCOPED_TRACE(testing::Message() << "signed " << sign << ", odd image end " << odd);
      const std::string stub = FakePe(is64(), odd);
      std::string file = dt::BuildBundle(stub, {kProgram, kSystem});
      if (sign) file = FakeSign(file, is64());
      const auto layout = Layout(file);
      ASSERT_TRUE(layout);
      EXPECT_EQ(layout->image.is64, is64());
      EXPECT_EQ(layout->image.imageEnd, stub.size());
      ASSERT_EQ(layout->kind, Kind::kBundle) << layout->problem;
      ASSERT_TRUE(layout->archives[0] && layout->archives[1]);
      EXPECT_EQ(layout->archives[0]->offset % 8, 0u);
      EXPECT_EQ(layout->archives[0]->length, kProgram.size());
      EXPECT_EQ(FirstFile(file, *layout->archives[0]), "program files");
      EXPECT_EQ(FirstFile(file, *layout->archives[1]), "system");
    }
  }
}

TEST_P(BundleLayoutTest, AnArchiveNotGivenIsAbsent) {
  const auto layout = Layout(dt::BuildBundle(FakePe(is64()), {std::nullopt, kSystem}));
  ASSERT_TRUE(layout);
  ASSERT_EQ(layout->kind, Kind::kBundle);
  EXPECT_FALSE(layout->archives[0]);
  EXPECT_EQ(
      FirstFile(dt::BuildBundle(FakePe(is64()), {std::nullopt, kSystem}), *layout->archives[1]),
      "system");
  const auto none = Layout(dt::BuildBundle(FakePe(is64()), {std::nullopt, std::nullopt}));
  ASSERT_EQ(none->kind, Kind::kBundle);
  EXPECT_FALSE(none->archives[0] || none->archives[1]);
}

TEST_P(BundleLayoutTest, AnImageWithNothingBehindItIsPlainSignedOrNot) {
  for (const bool odd : {false, true}) {
    EXPECT_EQ(Layout(FakePe(is64(), odd))->kind, Kind::kPlain);
    // A signing tool's alignment zeros before the table are no appended data.
    EXPECT_EQ(Layout(FakeSign(FakePe(is64(), odd), is64()))->kind, Kind::kPlain);
  }
}

TEST_P(BundleLayoutTest, NoByteOfTheCertificateTableOrItsDirectoryEntrySmugglesInAnArchive) {
  const std::string unsignedFile = dt::BuildBundle(FakePe(is64()), {kProgram, std::nullopt});
  const std::string file = FakeSign(unsignedFile, is64(), 0x60);
  const auto original = Layout(file);
  ASSERT_EQ(original->kind, Kind::kBundle);
  const std::size_t table = file.size() - 0x60;
  for (std::size_t at = unsignedFile.size(); at < file.size(); ++at) {
    for (const char value : {'\0', '\xFF', 'D'}) {
      std::string changed = file;
      changed[at] = value;
      const auto layout = Layout(changed);
      ASSERT_TRUE(layout);
      // A changed length or revision of the table's entry makes it no certificate table: the
      // file is then broken, never plain.
      if (at >= table && at < table + 6 && layout->kind == Kind::kBroken) continue;
      ASSERT_EQ(layout->kind, Kind::kBundle) << "byte " << at;
      EXPECT_EQ(layout->archives, original->archives) << "byte " << at;
    }
  }
  // The security directory entry (outside the signature's hash) made to call the appended data a
  // certificate table: no certificate is there, so the file is broken, not a plain program.
  {
    std::string changed = file;
    const std::uint64_t imageEnd = original->image.imageEnd;
    testing_support::PutU32(changed, testing_support::FakeSecurityEntry(is64()),
                            static_cast<std::uint32_t>(imageEnd));
    testing_support::PutU32(changed, testing_support::FakeSecurityEntry(is64()) + 4,
                            static_cast<std::uint32_t>(changed.size() - imageEnd));
    EXPECT_EQ(Layout(changed)->kind, Kind::kBroken);
  }
  const std::size_t entry = testing_support::FakeSecurityEntry(is64());
  for (std::size_t at = entry; at < entry + 8; ++at) {
    for (int delta : {1, -1, 8, -8, 0x60}) {
      std::string changed = file;
      changed[at] = static_cast<char>(changed[at] + delta);
      const auto layout = Layout(changed);
      ASSERT_TRUE(layout);
      EXPECT_NE(layout->kind, Kind::kPlain) << "entry byte " << at << " + " << delta;
      if (layout->kind != Kind::kBroken) {
        EXPECT_EQ(layout->archives, original->archives) << "entry byte " << at << " + " << delta;
      }
      EXPECT_FALSE(layout->archives[1]) << "entry byte " << at << " + " << delta;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Pe32AndPe32Plus, BundleLayoutTest, ::testing::Bool());

// A trailer of our own making behind a 32-bit image.
std::string WithTrailer(const dt::BundleWindows& windows, std::size_t data = 64) {
  std::string file = FakePe(false) + std::string(data, 'x');
  return file + dt::EncodeTrailer(windows);
}

TEST(BundleTrailer, ATrailerThatPointsElsewhereIsBroken) {
  const std::uint64_t imageEnd = FakePe(false).size();
  const std::uint64_t trailerStart = imageEnd + 64;
  const struct {
    dt::BundleWindows windows;
    const char* why;
  } cases[] = {
      {{dt::ArchiveWindow{imageEnd - 8, 16}, std::nullopt}, "outside"},  // inside the image
      {{dt::ArchiveWindow{imageEnd, 65}, std::nullopt}, "outside"},      // into the trailer
      {{dt::ArchiveWindow{trailerStart + 8, 0}, std::nullopt}, "outside"},
      {{dt::ArchiveWindow{imageEnd, ~0ull}, std::nullopt}, "outside"},  // wraps around
      {{dt::ArchiveWindow{~0ull - 4, 8}, std::nullopt}, "outside"},
      {{dt::ArchiveWindow{imageEnd, 32}, dt::ArchiveWindow{imageEnd + 24, 8}}, "overlap"},
      {{dt::ArchiveWindow{imageEnd + 8, 32}, dt::ArchiveWindow{imageEnd, 16}}, "overlap"},
  };
  for (const auto& c : cases) {
    std::string problem;
    const auto layout = Layout(WithTrailer(c.windows), &problem);
    ASSERT_TRUE(layout);
    EXPECT_EQ(layout->kind, Kind::kBroken);
    EXPECT_NE(problem.find(c.why), std::string::npos) << problem;
  }
  // The whole appended data, and two archives that merely touch, are fine.
  EXPECT_EQ(Layout(WithTrailer({dt::ArchiveWindow{imageEnd, 64}, std::nullopt}))->kind,
            Kind::kBundle);
  EXPECT_EQ(
      Layout(WithTrailer({dt::ArchiveWindow{imageEnd, 32}, dt::ArchiveWindow{imageEnd + 32, 32}}))
          ->kind,
      Kind::kBundle);
}

TEST(BundleTrailer, UnknownVersionsFlagsAndStrayWindowsAreBroken) {
  const std::string good = WithTrailer({std::nullopt, std::nullopt});
  const std::size_t t = good.size() - dt::kTrailerSize;
  std::string badVersion = good;
  badVersion[t + 36] = 2;
  std::string badFlags = good;
  badFlags[t + 32] = 4;
  std::string strayWindow = good;
  strayWindow[t + 8] = 1;  // a length for an absent archive
  std::string badMagic = good;
  badMagic.back() = 'e';
  for (const auto& file : {badVersion, badFlags, strayWindow, badMagic}) {
    EXPECT_EQ(Layout(file)->kind, Kind::kBroken);
  }
  EXPECT_EQ(Layout(good + "tail")->kind, Kind::kBroken);  // bytes behind the trailer
  EXPECT_EQ(Layout(FakePe(false) + "short")->kind, Kind::kBroken);
}

TEST(BundleTrailer, ACertificateTableThatDoesNotRunToTheEndIsBroken) {
  const std::string file = FakeSign(dt::BuildBundle(FakePe(false), {kProgram, kSystem}), false);
  EXPECT_EQ(Layout(file + "x")->kind, Kind::kBroken);  // bytes behind the table
  std::string inImage = file;
  testing_support::PutU32(inImage, testing_support::FakeSecurityEntry(false), 0x100);
  EXPECT_EQ(Layout(inImage)->kind, Kind::kBroken);
}

TEST(BundleTrailer, AWindowReadsNothingOutsideItself) {
  // The archive's only payload lies behind its window: the bytes are in the file, but not in it.
  const std::string archive = dt::BuildArchive({{"%InstallDir%\\a.txt", "content"}});
  const std::string cut = archive.substr(0, archive.size() - 3);
  const std::string file = dt::BuildBundle(FakePe(false), {cut + "ent", std::nullopt});
  const auto layout = Layout(file);
  ASSERT_EQ(layout->kind, Kind::kBundle);
  dt::ArchiveWindow window = *layout->archives[0];
  EXPECT_EQ(FirstFile(file, window), "content");
  window.length -= 3;
  EXPECT_EQ(FirstFile(file, window), std::nullopt);
}

TEST(BundleTrailer, FilesThatAreNoPeImagesAreRefused) {
  std::string problem;
  EXPECT_FALSE(Layout(kProgram, &problem));
  EXPECT_NE(problem.find("MZ"), std::string::npos);
  std::string noPe = FakePe(false);
  noPe[testing_support::kFakePeOffset] = 'X';
  EXPECT_FALSE(Layout(noPe));
  EXPECT_FALSE(Layout(FakePe(false).substr(0, 0x100)));
  EXPECT_FALSE(Layout(""));
}

}  // namespace
