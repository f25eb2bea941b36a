// Unpacking onto a disk that fills up. Runs when SETUP_TINY_DRIVE names a drive with a few dozen
// kilobytes of room (with_tiny_disk.sh mounts one); skipped otherwise.
#include <gtest/gtest.h>

#include <cstdlib>

#include "fake_view.h"
#include "install_fixture.h"
#include "setup/dialogs.h"
#include "setup/extraction.h"
#include "win32/wide_text.h"

namespace {

using testing_support::Exists;
using testing_support::ReadFileBytes;

class FullDiskTest : public testing_support::InstallFixture {
 protected:
  void SetUp() override {
    InstallFixture::SetUp();
    const char* drive = std::getenv("SETUP_TINY_DRIVE");
    if (!drive || !*drive) GTEST_SKIP() << "no small drive (SETUP_TINY_DRIVE) to fill";
    folder = std::string(drive) + "\\Korvu" + std::to_string(++runs);
    setup::InstallFolder = folder;
    // small.txt fits; big.bin (256 KiB) cannot; after.txt fits again once big.bin is cut to 0.
    WriteArchive("a.dt", {{"%InstallDir%\\small.txt", "small"},
                          {"%InstallDir%\\big.bin", std::string(256 * 1024, 'B')},
                          {"%InstallDir%\\after.txt", "after"}});
  }
  void TearDown() override { testing_support::TempFolder::RemoveTree(folder); }

  std::string folder;
  setup::TMessages messages;
  testing_support::FakeView view;
  static inline int runs = 0;
};

TEST_F(FullDiskTest, AbortGivesTheWriteErrorAndLeavesNoPartialFile) {
  view.answers = {setup::kAbort};
  setup::UnpackArchive(source + "\\a.dt", messages, true, view);
  const std::wstring error =
      L"Ошибка записи файла: \"" + win::AnsiToWide(folder + "\\big.bin") + L"\".";
  EXPECT_EQ(view.questions, (std::vector<std::wstring>{error}));
  EXPECT_EQ(messages.Error, error);
  EXPECT_EQ(ReadFileBytes(folder + "\\small.txt"), "small");
  EXPECT_EQ(ReadFileBytes(folder + "\\big.bin"), "");  // cut to 0 bytes, never partly filled
  EXPECT_FALSE(Exists(folder + "\\after.txt"));
}

TEST_F(FullDiskTest, IgnoreKeepsTheTargetEmptyAndGoesOn) {
  view.answers = {setup::kRetry, setup::kIgnore};
  setup::UnpackArchive(source + "\\a.dt", messages, true, view);
  EXPECT_EQ(view.questions.size(), 2u);
  EXPECT_EQ(messages.Error, L"");
  EXPECT_EQ(ReadFileBytes(folder + "\\big.bin"), "");
  EXPECT_EQ(ReadFileBytes(folder + "\\after.txt"), "after");
  EXPECT_EQ(setup::DoneBytes, 5 + 256 * 1024 + 5);
}

}  // namespace
