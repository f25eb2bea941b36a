#include "setup/run/extraction.h"


#include <gtest/gtest.h>

#include "core/archive_format.h"
#include "fake_view.h"
#include "install_fixture.h"
#include "support/held_file.h"
#include "support/registry_value_guard.h"
#include "win32/wide_text.h"

namespace {

using testing_support::Exists;
using testing_support::FakeView;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

std::string Int32(std::int32_t v) {
  std::string s;
  dt::AppendInt32(s, v);
  return s;
}

class UnpackArchiveTest : public testing_support::InstallFixture {
 protected:
  // Unpacks the archive "a.dt" of the distribution folder.
  void Unpack(bool overwrite) { setup::UnpackArchive(archive, messages, overwrite, view); }
  std::wstring W(const std::string& ansi) { return win::AnsiToWide(ansi); }

  const std::string archive = source + "\\a.dt";
  setup::TMessages messages;
  FakeView view;
};

TEST_F(UnpackArchiveTest, WritesEveryEntryWithProgressLabelsAndPumps) {
  WriteArchive("a.dt", {{"%InstallDir%\\Maps\\GeoDict.DCT", "dictionary"},
                        {"%InstallDir%\\KORVU50.DLL", "library"},
                        {"%InstallDir%\\copy.DLL", "library"}});
  Unpack(true);
  EXPECT_EQ(messages.Error, L"");
  EXPECT_EQ(ReadFileBytes(target + "\\Maps\\GeoDict.DCT"), "dictionary");
  EXPECT_EQ(ReadFileBytes(target + "\\KORVU50.DLL"), "library");
  EXPECT_EQ(ReadFileBytes(target + "\\copy.DLL"), "library");
  EXPECT_EQ(view.labels,
            (std::vector<std::wstring>{L"Файл: GeoDict.DCT...", L"Файл: KORVU50.DLL...",
                                       L"Файл: copy.DLL..."}));
  EXPECT_EQ(setup::DoneBytes, 10 + 7 + 7);
  EXPECT_EQ(view.positions, (std::vector<std::int32_t>{10, 17, 24}));
  EXPECT_EQ(view.pumps, 3 + 1);  // once per entry, once at the end
}

TEST_F(UnpackArchiveTest, OverwriteReplacesReadOnlyAndLongerFiles) {
  CreateDirectoryA((temp / "Program Files").c_str(), nullptr);
  CreateDirectoryA(target.c_str(), nullptr);
  WriteFileBytes(target + "\\ro.txt", "old read-only");
  SetFileAttributesA((target + "\\ro.txt").c_str(),
                     FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
  WriteFileBytes(target + "\\long.txt", "a much longer old content");
  WriteArchive("a.dt", {{"%InstallDir%\\ro.txt", "new"}, {"%InstallDir%\\long.txt", "short"}});
  Unpack(true);
  EXPECT_EQ(messages.Error, L"");
  EXPECT_EQ(ReadFileBytes(target + "\\ro.txt"), "new");
  EXPECT_EQ(GetFileAttributesA((target + "\\ro.txt").c_str()) &
                (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN),
            0u);
  EXPECT_EQ(ReadFileBytes(target + "\\long.txt"), "short");
}

TEST_F(UnpackArchiveTest, WithoutOverwriteExistingFilesStayAndTheirPayloadIsNotRead) {
  CreateDirectoryA((temp / "Program Files").c_str(), nullptr);
  CreateDirectoryA(target.c_str(), nullptr);
  WriteFileBytes(target + "\\kept.txt", "existing");
  // kept.txt's payload has size 0, which would be the payload read error if it were read.
  const std::string name = "%InstallDir%\\kept.txt";
  const std::string head = Int32(2) + Int32(0) + name + '\0' + Int32(0) + Int32(0) +
                           "%InstallDir%\\new.txt" + '\0' + Int32(0);
  const auto zero = static_cast<std::int32_t>(head.size());
  std::string bytes = Int32(2) + Int32(0) + name + '\0' + Int32(zero) + Int32(0) +
                      "%InstallDir%\\new.txt" + '\0' + Int32(zero + 4) + Int32(0) + Int32(3) +
                      "new";
  WriteFileBytes(archive, bytes);
  Unpack(false);
  EXPECT_EQ(messages.Error, L"");
  EXPECT_EQ(ReadFileBytes(target + "\\kept.txt"), "existing");
  EXPECT_EQ(ReadFileBytes(target + "\\new.txt"), "new");
  EXPECT_EQ(setup::DoneBytes, 0 + 3);
}

TEST_F(UnpackArchiveTest, TheSameStoredPathTwice) {
  WriteArchive("a.dt",
               {{"%InstallDir%\\twice.txt", "first"}, {"%InstallDir%\\twice.txt", "second!"}});
  Unpack(true);
  EXPECT_EQ(ReadFileBytes(target + "\\twice.txt"), "second!");
  EXPECT_EQ(setup::DoneBytes, 5 + 7);

  testing_support::TempFolder::RemoveTree(target);
  setup::DoneBytes = 0;
  Unpack(false);
  EXPECT_EQ(ReadFileBytes(target + "\\twice.txt"), "first");
  EXPECT_EQ(setup::DoneBytes, 5 + 7);
}

TEST_F(UnpackArchiveTest, OpenAndFormatErrors) {
  Unpack(true);  // no archive at all
  EXPECT_EQ(messages.Error, L"Ошибка чтения архива: \"" + W(archive) + L"\".");
  EXPECT_EQ(view.pumps, 0);

  WriteFileBytes(archive, Int32(1025) + Int32(0) + "%InstallDir%\\x" + '\0' + Int32(0));
  Unpack(true);
  EXPECT_EQ(messages.Error, L"Ошибка в формате архива: \"" + W(archive) + L"\".");
  EXPECT_FALSE(Exists(target));
  EXPECT_EQ(view.pumps, 1);  // the end-of-archive pump still runs

  messages.Error.clear();
  WriteFileBytes(archive, "");
  Unpack(true);
  EXPECT_EQ(messages.Error, L"");
  EXPECT_EQ(view.pumps, 2);
}

TEST_F(UnpackArchiveTest, FolderErrorStopsBeforeTheEntryIsWritten) {
  WriteArchive(
      "a.dt",
      {{"%InstallDir%\\ok.txt", "1"}, {"no-folder.txt", "2"}, {"%InstallDir%\\late.txt", "3"}});
  Unpack(true);
  EXPECT_EQ(messages.Error, L"Ошибка создания директории: \"\".");
  EXPECT_EQ(ReadFileBytes(target + "\\ok.txt"), "1");
  EXPECT_FALSE(Exists(target + "\\late.txt"));
  EXPECT_EQ(view.pumps, 1);  // the first entry's; no end-of-archive pump after a stop
  EXPECT_EQ(setup::DoneBytes, 1);

  WriteFileBytes(temp / "file", "x");
  setup::InstallFolder = temp / "file";
  WriteArchive("a.dt", {{"%InstallDir%\\sub\\x.txt", "1"}});
  Unpack(true);
  EXPECT_EQ(messages.Error, L"Ошибка создания директории: \"" + W(temp / "file\\sub") + L"\".");
}

TEST_F(UnpackArchiveTest, PayloadReadErrors) {
  const std::string target1 = target + "\\empty.txt";
  // A payload of size 0 whose target does not exist.
  std::string head = Int32(1) + Int32(0) + "%InstallDir%\\empty.txt" + '\0';
  WriteFileBytes(archive, head + Int32(static_cast<std::int32_t>(head.size() + 4)) + Int32(0));
  Unpack(true);
  EXPECT_EQ(messages.Error,
            L"Ошибка чтения архива: \"" + W(archive) + L"\", \"" + W(target1) + L"\".");
  EXPECT_FALSE(Exists(target1));

  // A payload whose content the archive holds only in part: never written.
  messages.Error.clear();
  WriteFileBytes(archive,
                 head + Int32(static_cast<std::int32_t>(head.size() + 4)) + Int32(10) + "abc");
  Unpack(true);
  EXPECT_NE(messages.Error.find(L"Ошибка чтения архива: "), std::wstring::npos);
  EXPECT_FALSE(Exists(target1));

  // An Offset beyond the end: the size cannot be read.
  messages.Error.clear();
  WriteFileBytes(archive, head + Int32(1000));
  Unpack(true);
  EXPECT_EQ(messages.Error,
            L"Ошибка чтения архива: \"" + W(archive) + L"\", \"" + W(target1) + L"\".");
}

TEST_F(UnpackArchiveTest, AnErrorRaisedForAnEntryBecomesTheRunsError) {
  testing_support::RegistryValueGuard fonts(
      HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
      "Fonts");
  const DWORD number = 1;
  fonts.Set(REG_DWORD, &number, sizeof number);
  WriteArchive("a.dt", {{"%InstallDir%\\a.txt", "1"}, {"%InstallDir%\\b.txt", "2"}});
  Unpack(true);
  EXPECT_EQ(messages.Error, L"Invalid data type for 'Fonts'");
  EXPECT_FALSE(Exists(target + "\\a.txt"));
  EXPECT_EQ(view.pumps, 0);
}

TEST_F(UnpackArchiveTest, WriteErrorQuestionAnswers) {
  // A folder stands where the file should go: it can never be opened for writing.
  CreateDirectoryA((temp / "Program Files").c_str(), nullptr);
  CreateDirectoryA(target.c_str(), nullptr);
  CreateDirectoryA((target + "\\blocked.txt").c_str(), nullptr);
  WriteArchive("a.dt", {{"%InstallDir%\\blocked.txt", "123"}, {"%InstallDir%\\next.txt", "4"}});
  const std::wstring question = L"Ошибка записи файла: \"" + W(target + "\\blocked.txt") + L"\".";

  view.answers = {setup::WriteErrorAnswer::kRetry, setup::WriteErrorAnswer::kIgnore};  // retried once, then skipped
  Unpack(true);
  EXPECT_EQ(view.questions, (std::vector<std::wstring>{question, question}));
  EXPECT_EQ(messages.Error, L"");
  EXPECT_EQ(ReadFileBytes(target + "\\next.txt"), "4");
  EXPECT_EQ(setup::DoneBytes, 3 + 1);  // the skipped file counts too

  view.questions.clear();
  view.answers = {setup::WriteErrorAnswer::kClosed};  // closed, or the application ending: skipped
  Unpack(true);
  EXPECT_EQ(view.questions.size(), 1u);
  EXPECT_EQ(messages.Error, L"");

  DeleteFileA((target + "\\next.txt").c_str());
  view.answers = {setup::WriteErrorAnswer::kAbort};
  Unpack(true);
  EXPECT_EQ(messages.Error, question);
  EXPECT_FALSE(Exists(target + "\\next.txt"));
}

TEST_F(UnpackArchiveTest, RetryAfterAnotherProcessLetsGoOfTheTarget) {
  CreateDirectoryA((temp / "Program Files").c_str(), nullptr);
  CreateDirectoryA(target.c_str(), nullptr);
  const std::string held = target + "\\held.dll";
  WriteFileBytes(held, "old");
  testing_support::HeldFile holder(held);
  ASSERT_TRUE(holder.held());

  WriteArchive("a.dt", {{"%InstallDir%\\held.dll", "new content"}});
  view.answers = {setup::WriteErrorAnswer::kRetry, setup::WriteErrorAnswer::kRetry};
  view.onQuestion = [&](std::size_t asked) {
    if (asked == 1) holder.Release();  // the other process lets go while the question is up
  };
  Unpack(true);
  EXPECT_EQ(view.questions.size(), 1u);
  // The question knows why the attempt failed: the file is held by another process.
  EXPECT_EQ(view.questionErrors, std::vector<unsigned long>{ERROR_SHARING_VIOLATION});
  EXPECT_EQ(messages.Error, L"");
  EXPECT_EQ(ReadFileBytes(held), "new content");
  // The attempt number counts the failed attempts at the file.
  EXPECT_EQ(view.attempts, std::vector<int>{1});
}

TEST_F(UnpackArchiveTest, ACancelDuringTheRunLetsTheArchiveFinish) {
  std::vector<std::pair<std::string, std::string>> files;
  for (int i = 1; i <= 10; ++i) files.emplace_back("%InstallDir%\\f" + std::to_string(i), "x");
  WriteArchive("a.dt", files);
  view.onPump = [&](int pumps) {
    if (pumps == 3) view.aborted = true;
  };
  Unpack(true);
  EXPECT_EQ(messages.Error, L"");
  for (int i = 1; i <= 10; ++i) EXPECT_TRUE(Exists(target + "\\f" + std::to_string(i))) << i;
  EXPECT_EQ(view.pumps, 11);
}

TEST_F(UnpackArchiveTest, LargePayloadsAreCopiedThroughTheBufferExactly) {
  std::string big(setup::kCopyBufferSize * 2 + 12345, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7919 % 251);
  WriteArchive("a.dt", {{"%InstallDir%\\big.bin", big}});
  Unpack(true);
  EXPECT_EQ(messages.Error, L"");
  EXPECT_TRUE(ReadFileBytes(target + "\\big.bin") == big);
  EXPECT_EQ(view.pumps, 2);
}

}  // namespace
