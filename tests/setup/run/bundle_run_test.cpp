// Installation runs from a one-file installer: the archives come from windows of the program's
// own file, never from beside it.
#include <gtest/gtest.h>

#include "core/archive_writer.h"
#include "core/bundle_format.h"
#include "fake_view.h"
#include "install_fixture.h"
#include "setup/run/install_sequence.h"
#include "support/fake_pe.h"
#include "win32/wide_text.h"
#include "win32/window_source.h"

namespace {

using testing_support::Exists;
using testing_support::FakePe;
using testing_support::FakeSign;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

class CountingRegistry final : public setup::ProductRegistry {
 public:
  struct CountingKey final : Key {
    explicit CountingKey(int& w) : writes(w) {}
    void WriteString(const std::string&, const std::string&) override { ++writes; }
    void WriteDword(const std::string&, std::uint32_t) override { ++writes; }
    int& writes;
  };
  std::unique_ptr<Key> CreateKey(HKEY, const std::string&) override {
    return std::make_unique<CountingKey>(writes);
  }
  int writes = 0;
};

class BundleRunTest : public testing_support::InstallFixture {
 protected:
  void SetUp() override {
    InstallFixture::SetUp();
    // Archives beside the one-file installer that it must never take.
    WriteArchive("ProgramFiles.dt", {{"%InstallDir%\\a.txt", "beside"}});
    WriteArchive("SystemFiles.dt", {{"%InstallDir%\\beside.txt", "beside"}});
  }
  bool Run(const std::string& bundleBytes) {
    WriteFileBytes(bundle, bundleBytes);
    view = {};
    registry.writes = 0;
    setup::PrepareInstallFolder(state, target);  // the run after its folder step
    return setup::RunInstall(state, view, registry, setup::ArchivesOf(bundle, source));
  }
  std::wstring OpenError(const char* archive) const {
    return L"Ошибка чтения архива: \"" + win::AnsiToWide(bundle) + L"\\" +
           win::Utf8ToWide(archive) + L"\".";
  }

  const std::string bundle = source + "\\Setup.exe";
  const std::string program = dt::BuildArchive({{"%InstallDir%\\a.txt", "bundled program file"}});
  const std::string system =
      dt::BuildArchive({{"%InstallDir%\\a.txt", "kept"}, {"%InstallDir%\\b.txt", "system"}});
  testing_support::FakeView view;
  CountingRegistry registry;
};

TEST_F(BundleRunTest, ABundleInstallsItsOwnArchivesSignedOrNotOfEitherWidth) {
  for (const bool is64 : {false, true}) {
    for (const bool sign : {false, true}) {
      SCOPED_TRACE(testing::Message() << "64-bit " << is64 << ", signed " << sign);
      std::string file = dt::BuildBundle(FakePe(is64), {program, system});
      if (sign) file = FakeSign(file, is64);
      ASSERT_TRUE(Run(file));
      EXPECT_TRUE(view.shownErrors.empty());
      EXPECT_EQ(ReadFileBytes(target + "\\a.txt"), "bundled program file");
      EXPECT_EQ(ReadFileBytes(target + "\\b.txt"), "system");
      EXPECT_FALSE(Exists(target + "\\beside.txt"));
      EXPECT_EQ(state.TotalBytes, static_cast<std::int64_t>(program.size() + system.size()));
      EXPECT_EQ(registry.writes, 16);
      testing_support::TempFolder::RemoveTree(target);
    }
  }
}

TEST_F(BundleRunTest, AnArchiveTheBundleDoesNotCarryIsMissingNotTakenFromBeside) {
  ASSERT_TRUE(Run(dt::BuildBundle(FakePe(false), {std::nullopt, system})));
  EXPECT_EQ(ReadFileBytes(target + "\\a.txt"), "kept");
  EXPECT_FALSE(Exists(target + "\\beside.txt"));
  EXPECT_EQ(registry.writes, 16);
}

TEST_F(BundleRunTest, ACutBundleReportsTheOpenErrorAndNeverCompletes) {
  for (const bool is64 : {false, true}) {
    for (const bool sign : {false, true}) {
      const std::string stub = FakePe(is64);
      std::string full = dt::BuildBundle(stub, {program, system});
      if (sign) full = FakeSign(full, is64);
      // Every length around the trailer and the certificate table, and a few inside the archives.
      std::vector<std::size_t> lengths;
      const std::size_t unsignedEnd = dt::BuildBundle(stub, {program, system}).size();
      for (std::size_t n = unsignedEnd - dt::kTrailerSize - 8; n < full.size(); ++n) {
        lengths.push_back(n);
      }
      for (std::size_t n = stub.size() + 1; n < unsignedEnd - 64; n += 37) lengths.push_back(n);
      for (const std::size_t n : lengths) {
        SCOPED_TRACE(testing::Message()
                     << "64-bit " << is64 << ", signed " << sign << ", cut to " << n);
        EXPECT_FALSE(Run(full.substr(0, n)));
        ASSERT_EQ(view.shownErrors, std::vector<std::wstring>{OpenError("ProgramFiles.dt")});
        EXPECT_FALSE(Exists(target + "\\a.txt"));
        EXPECT_EQ(registry.writes, 0);
      }
    }
  }
}

TEST_F(BundleRunTest, MessagesNameAnArchiveInsideTheProgramByItsPathAndName) {
  const std::string malformed = std::string("\x01\x04\0\0", 4);  // EntryCount 1025
  EXPECT_FALSE(Run(dt::BuildBundle(FakePe(false), {malformed, system})));
  EXPECT_EQ(view.shownErrors,
            std::vector<std::wstring>{L"Ошибка в формате архива: \"" + win::AnsiToWide(bundle) +
                                      L"\\ProgramFiles.dt\"."});
  EXPECT_EQ(registry.writes, 0);
}

TEST_F(BundleRunTest, AProgramWithNothingBehindItsImageTakesTheArchivesBesideIt) {
  ASSERT_TRUE(Run(FakeSign(FakePe(true, /*odd=*/true), true)));
  EXPECT_EQ(ReadFileBytes(target + "\\a.txt"), "beside");
  EXPECT_EQ(ReadFileBytes(target + "\\beside.txt"), "beside");
}

TEST_F(BundleRunTest, TheProgramsFileCannotBeWrittenWhileAnArchiveInsideItIsRead) {
  WriteFileBytes(bundle, dt::BuildBundle(FakePe(false), {program, std::nullopt}));
  {
    win::WindowSource archive(bundle, dt::ArchiveWindow{0, 16});
    ASSERT_TRUE(archive.is_open());
    HANDLE writer = CreateFileA(bundle.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
    if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);
  }
}

}  // namespace
