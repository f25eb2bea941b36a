#include "setup/run/extraction.h"


#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>

#include "core/archive_format.h"
#include "core/archive_writer.h"
#include "core/text.h"
#include "fake_view.h"
#include "setup/run/safe_replace.h"
#include "install_fixture.h"
#include "support/held_file.h"
#include "support/registry_value_guard.h"
#include "win32/handles.h"
#include "win32/wide_text.h"

namespace {

using Answer = setup::WriteErrorAnswer;

using testing_support::Exists;
using testing_support::FakeView;
using testing_support::ReadFileBytes;
using testing_support::TemporaryFilesIn;
using testing_support::WriteFileBytes;

std::string Int32(std::int32_t v) {
  std::string s;
  dt::AppendInt32(s, v);
  return s;
}

class UnpackArchiveTest : public testing_support::InstallFixture {
 protected:
  // Unpacks the archive "a.dt" of the distribution folder.
  void Unpack(bool overwrite) { setup::UnpackArchive(archive, state, messages, overwrite, view); }
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
  EXPECT_EQ(state.DoneBytes, 10 + 7 + 7);
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
  EXPECT_EQ(state.DoneBytes, 0 + 3);
}

TEST_F(UnpackArchiveTest, TheSameStoredPathTwice) {
  WriteArchive("a.dt",
               {{"%InstallDir%\\twice.txt", "first"}, {"%InstallDir%\\twice.txt", "second!"}});
  Unpack(true);
  EXPECT_EQ(ReadFileBytes(target + "\\twice.txt"), "second!");
  EXPECT_EQ(state.DoneBytes, 5 + 7);

  testing_support::TempFolder::RemoveTree(target);
  state.DoneBytes = 0;
  Unpack(false);
  EXPECT_EQ(ReadFileBytes(target + "\\twice.txt"), "first");
  EXPECT_EQ(state.DoneBytes, 5 + 7);
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
  EXPECT_EQ(state.DoneBytes, 1);

  WriteFileBytes(temp / "file", "x");
  state.InstallFolder = temp / "file";
  WriteArchive("a.dt", {{"%InstallDir%\\sub\\x.txt", "1"}});
  Unpack(true);
  EXPECT_EQ(messages.Error, L"Ошибка создания директории: \"" + W(temp / "file\\sub") + L"\".");
}

// A user who can write the installation folder could point a level below it, or a target's name,
// at any folder or file of the machine: the run uses neither through a link. (The prefix's
// linked folder stands below "C:\\", the installation folder here.)
TEST_F(UnpackArchiveTest, NothingBelowTheInstallationFolderIsUsedThroughALink) {
  const char* linked = std::getenv("SETUP_LINKED_FOLDER");
  if (!linked) GTEST_SKIP() << "no linked folder (SETUP_LINKED_FOLDER): run through ctest";
  const std::string name = dt::SplitPath(linked).file;
  state.InstallFolder = "C:\\";
  WriteArchive("a.dt", {{"%InstallDir%\\" + name + "\\GeoDict.DCT", "dictionary"}});
  Unpack(true);
  EXPECT_EQ(messages.Error, L"Ошибка создания директории: \"" + W("C:\\\\" + name) + L"\".");
  EXPECT_FALSE(Exists(std::string(linked) + "\\GeoDict.DCT"));

  // A deeper level made through the link is refused before it is made.
  messages.Error.clear();
  WriteArchive("a.dt", {{"%InstallDir%\\" + name + "\\Maps\\GeoDict.DCT", "dictionary"}});
  Unpack(true);
  EXPECT_NE(messages.Error, L"");
  EXPECT_FALSE(Exists(std::string(linked) + "\\Maps"));

  // A target that is a link is never written through: the write error where the archive would
  // replace it, kept (it exists) where it would not. (Wine shows no reparse point at a link to a
  // file, and renames over the link itself: there only the file it leads to is looked at.)
  const std::string file = std::getenv("SETUP_LINKED_FILE");
  const std::string leadsTo = std::getenv("SETUP_LINKED_FILE_TARGET");
  const DWORD attributes = GetFileAttributesA(file.c_str());
  const bool shown = attributes != INVALID_FILE_ATTRIBUTES &&
                     (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
  WriteArchive("a.dt", {{"%InstallDir%\\" + dt::SplitPath(file).file, "forged"}});
  for (const bool overwrite : {true, false}) {
    messages.Error.clear();
    view.questionErrors.clear();
    view.answers = {setup::WriteErrorAnswer::kAbort};
    Unpack(overwrite);
    if (shown && overwrite) {
      EXPECT_EQ(view.questionErrors, std::vector<unsigned long>{setup::kTargetIsNoPlainFile});
    }
  }
  EXPECT_EQ(ReadFileBytes(leadsTo), "original");
}

// The levels a run writes into are held for its length: the user who can write the installation
// folder cannot rename one away (and put a link at its name) meanwhile.
TEST_F(UnpackArchiveTest, TheLevelsARunWritesIntoCannotBeRenamedMeanwhile) {
  WriteArchive("a.dt", {{"%InstallDir%\\Maps\\Deep\\GeoDict.DCT", "dictionary"}});
  Unpack(true);
  EXPECT_EQ(messages.Error, L"");
  EXPECT_FALSE(MoveFileA((target + "\\Maps").c_str(), (target + "\\Maps aside").c_str()));
  EXPECT_FALSE(MoveFileA((target + "\\Maps\\Deep").c_str(), (target + "\\Deep").c_str()));
  messages.Folders = base::HeldFolders();  // the run's end lets them go
  EXPECT_TRUE(MoveFileA((target + "\\Maps").c_str(), (target + "\\Maps aside").c_str()));
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
  EXPECT_EQ(state.DoneBytes, 3 + 1);  // the skipped file counts too

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
  EXPECT_GE(view.pumps, 2);  // the entry's and the end's, and more if the copy took long
}

// An archive held in memory whose reads stop with a read error at a bad spot, as on a medium that
// fails mid-read; `onRead` sees the position of every read first.
class FailingArchive final : public setup::ArchiveSource {
 public:
  FailingArchive(std::string name, std::string bytes)
      : name_(std::move(name)), bytes_(std::move(bytes)) {}
  const std::string& Name() const override { return name_; }
  bool Present() const override { return true; }
  std::uint64_t Size() const override { return bytes_.size(); }
  std::unique_ptr<dt::ByteSource> Open() const override { return std::make_unique<Reader>(*this); }

  // Where the content of the entry with this stored path begins.
  std::uint64_t ContentStart(const std::string& stored) const {
    dt::MemorySource source(bytes_);
    for (const dt::TFileItem& item : dt::ReadDirectory(source).items) {
      if (item.Name == stored) return static_cast<std::uint64_t>(item.Offset) + 4;
    }
    ADD_FAILURE() << stored;
    return 0;
  }

  std::uint64_t failAt = UINT64_MAX, badEnd = UINT64_MAX;  // the bad spot: [failAt, badEnd)
  std::function<void(std::uint64_t position, std::size_t wanted)> onRead;

 private:
  class Reader final : public dt::ByteSource {
   public:
    explicit Reader(const FailingArchive& archive) : archive_(archive) {}
    std::size_t Read(std::span<std::byte> dst) override {
      if (archive_.onRead) archive_.onRead(pos_, dst.size());
      if (pos_ >= archive_.failAt && pos_ < archive_.badEnd) {
        SetLastError(ERROR_CRC);
        return 0;
      }
      const std::uint64_t size = archive_.bytes_.size();
      const std::uint64_t end = pos_ < archive_.failAt ? std::min(archive_.failAt, size) : size;
      if (pos_ >= end) return 0;
      const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(dst.size(), end - pos_));
      std::memcpy(dst.data(), archive_.bytes_.data() + pos_, n);
      pos_ += n;
      return n;
    }
    bool Seek(std::uint64_t offset) override {
      pos_ = offset;
      return true;
    }
    std::optional<std::uint64_t> Size() override { return archive_.bytes_.size(); }

   private:
    const FailingArchive& archive_;
    std::uint64_t pos_ = 0;
  };

  std::string name_;
  std::string bytes_;
};

// Replacing an existing file: whatever fails before the new content has taken the old file's
// place, the old file stays byte for byte as it was and no temporary file is left beside it.
class ReplaceTest : public UnpackArchiveTest {
 protected:
  void SetUp() override {
    UnpackArchiveTest::SetUp();
    CreateDirectoryA((temp / "Program Files").c_str(), nullptr);
    CreateDirectoryA(target.c_str(), nullptr);
    for (std::size_t i = 0; i < fresh.size(); ++i) fresh[i] = static_cast<char>(i * 7919 % 251);
  }
  // Puts the old file back and forgets the former run.
  void Reset() {
    WriteFileBytes(old, oldBytes);
    DeleteFileA((target + "\\next.txt").c_str());
    messages = {};
    view = {};
  }
  void Run(const setup::ArchiveSource& archive) {
    setup::UnpackArchive(archive, state, messages, true, view);
  }
  std::wstring Question() { return L"Ошибка записи файла: \"" + W(old) + L"\"."; }

  const std::string old = target + "\\KORVU50.DLL";
  const std::string oldBytes = std::string(3000, 'o') + "old library";
  std::string fresh = std::string(setup::kCopyBufferSize * 2 + 12345, '\0');
};

TEST_F(ReplaceTest, APayloadThatCannotBeReadLeavesTheOldFile) {
  FailingArchive failing(source + "\\a.dt", dt::BuildArchive({{"%InstallDir%\\KORVU50.DLL", fresh},
                                                              {"%InstallDir%\\next.txt", "next"}}));
  const std::uint64_t start = failing.ContentStart("%InstallDir%\\KORVU50.DLL");
  failing.badEnd = start + fresh.size();
  const std::wstring readError =
      L"Ошибка чтения архива: \"" + W(failing.Name()) + L"\", \"" + W(old) + L"\".";
  // Nothing of it, part of the first piece, and more than a whole piece.
  for (const std::uint64_t readable :
       {std::uint64_t{0}, std::uint64_t{1000}, std::uint64_t{setup::kCopyBufferSize + 1000}}) {
    for (const setup::WriteErrorAnswer answer : {Answer::kAbort, Answer::kIgnore}) {
      SCOPED_TRACE(std::to_string(readable) + " bytes readable, answer " + std::to_string(static_cast<int>(answer)));
      Reset();
      failing.failAt = start + readable;
      view.answers = {answer};
      Run(failing);
      EXPECT_EQ(view.questionErrors, std::vector<unsigned long>{ERROR_CRC});
      EXPECT_TRUE(ReadFileBytes(old) == oldBytes);
      EXPECT_EQ(TemporaryFilesIn(target), std::vector<std::string>{});
      if (answer == Answer::kAbort) {
        EXPECT_EQ(messages.Error, readError);
        EXPECT_FALSE(Exists(target + "\\next.txt"));
        EXPECT_EQ(messages.Written.Count(), 0u);
      } else {
        EXPECT_EQ(messages.Error, L"");
        EXPECT_EQ(ReadFileBytes(target + "\\next.txt"), "next");
        EXPECT_EQ(messages.Written.TotalBytes(), 4u);  // the old file was not written
      }
    }
  }
}

// While a payload of several buffers is written, the view is pumped between its buffers (at most
// once per 16 ms: each read here takes longer), so that the window repaints and its cancel button
// answers during one large file: for a new file and for a replacement alike.
TEST_F(ReplaceTest, TheViewIsPumpedWhileALargePayloadIsCopied) {
  FailingArchive slow(source + "\\a.dt", dt::BuildArchive({{"%InstallDir%\\KORVU50.DLL", fresh}}));
  const std::uint64_t start = slow.ContentStart("%InstallDir%\\KORVU50.DLL");
  int contentReads = 0;
  slow.onRead = [&](std::uint64_t position, std::size_t) {
    if (position < start) return;
    ++contentReads;
    Sleep(25);
  };
  for (const bool existing : {false, true}) {
    SCOPED_TRACE(existing ? "replaced" : "new");
    Reset();
    if (!existing) DeleteFileA(old.c_str());
    contentReads = 0;
    std::vector<int> readsAtPumps;
    view.onPump = [&](int) { readsAtPumps.push_back(contentReads); };
    Run(slow);
    EXPECT_EQ(messages.Error, L"");
    EXPECT_TRUE(ReadFileBytes(old) == fresh);
    EXPECT_EQ(contentReads, 3);
    // Pumped after the first and after the second of three pieces, the file's name on show.
    const auto pumpedAfter = [&](int reads) {
      return std::count(readsAtPumps.begin(), readsAtPumps.end(), reads) > 0;
    };
    EXPECT_TRUE(pumpedAfter(1) && pumpedAfter(2))
        << "content reads done at each pump: " << testing::PrintToString(readsAtPumps);
    EXPECT_EQ(view.labels, std::vector<std::wstring>{L"Файл: KORVU50.DLL..."});
  }
}

// A failed rename is asked about like any write; Retry repeats the rename alone, and anything
// else gives up the new content. (Wine, like Windows, renames nothing over a file that is open.)
TEST_F(ReplaceTest, AFailedRenameIsRetriedWithoutWritingTheContentAgain) {
  FailingArchive failing(source + "\\a.dt",
                         dt::BuildArchive({{"%InstallDir%\\KORVU50.DLL", fresh}}));
  const std::uint64_t start = failing.ContentStart("%InstallDir%\\KORVU50.DLL");
  // Once the content is on its way, another program opens the old file, letting others do
  // anything with it meanwhile.
  std::uint64_t contentRead = 0;
  win::FileHandle reader;
  failing.onRead = [&](std::uint64_t position, std::size_t wanted) {
    if (position < start) return;
    const bool first = contentRead == 0;
    contentRead += wanted;
    if (first) {
      reader.reset(CreateFileA(old.c_str(), GENERIC_READ,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, 0, nullptr));
      ASSERT_TRUE(reader);
    }
  };
  for (const setup::WriteErrorAnswer answer : {Answer::kAbort, Answer::kIgnore, Answer::kRetry}) {
    SCOPED_TRACE(static_cast<int>(answer));
    Reset();
    contentRead = 0;
    view.answers = {answer};
    std::vector<std::string> waiting;
    view.onQuestion = [&](std::size_t) {
      waiting = TemporaryFilesIn(target);
      reader.reset();  // the other program lets go
    };
    Run(failing);
    EXPECT_EQ(view.questionErrors, std::vector<unsigned long>{ERROR_ACCESS_DENIED});
    EXPECT_EQ(waiting.size(), 1u);         // the new content, waiting for the rename
    EXPECT_EQ(contentRead, fresh.size());  // read once, whatever the answer
    EXPECT_EQ(TemporaryFilesIn(target), std::vector<std::string>{});
    if (answer == Answer::kRetry) {
      EXPECT_EQ(messages.Error, L"");
      EXPECT_TRUE(ReadFileBytes(old) == fresh);
      EXPECT_EQ(messages.Written.TotalBytes(), fresh.size());
    } else {
      EXPECT_EQ(messages.Error, answer == Answer::kAbort ? Question() : L"");
      EXPECT_TRUE(ReadFileBytes(old) == oldBytes);
      EXPECT_EQ(messages.Written.Count(), 0u);
    }
  }
}

// Another program holds the file letting others read and write it but not delete it: the file
// cannot be replaced, so it is asked about as a held file; Retry once it is let go replaces it.
TEST_F(ReplaceTest, AFileHeldWithoutDeleteSharingIsAHeldFile) {
  WriteArchive("a.dt", {{"%InstallDir%\\KORVU50.DLL", "new library"}});
  for (const setup::WriteErrorAnswer answer : {Answer::kIgnore, Answer::kRetry}) {
    SCOPED_TRACE(static_cast<int>(answer));
    Reset();
    win::FileHandle holder(CreateFileA(old.c_str(), GENERIC_READ | GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                       0, nullptr));
    ASSERT_TRUE(holder);
    view.answers = {answer, Answer::kIgnore};
    view.onQuestion = [&](std::size_t) { holder.reset(); };
    Unpack(true);
    EXPECT_EQ(view.questions, std::vector<std::wstring>{Question()});
    EXPECT_EQ(view.questionErrors, std::vector<unsigned long>{ERROR_SHARING_VIOLATION});
    EXPECT_EQ(ReadFileBytes(old), answer == Answer::kRetry ? "new library" : oldBytes);
    EXPECT_EQ(TemporaryFilesIn(target), std::vector<std::string>{});
  }
}

}  // namespace

namespace {

// A run killed while it copies a new file's payload leaves nothing under the file's name: the
// system closes the killed process's handles, and the file, marked for deletion until its whole
// content was written, goes with them.
TEST_F(UnpackArchiveTest, ARunKilledWhileWritingANewFileLeavesNoFileCutShort) {
  // Several copy buffers, so that the probe pumps (and waits to be killed) half-way through.
  const std::string big(setup::kCopyBufferSize * 24, 'k');
  WriteArchive("a.dt", {{"%InstallDir%\\big.bin", big}});
  CreateDirectoryA((temp / "Program Files").c_str(), nullptr);
  CreateDirectoryA(target.c_str(), nullptr);
  const std::string marker = temp / "copying";
  std::string commandLine = "\"" + testing_support::FromUnixPath(UNPACK_PROBE_EXE) + "\" \"" +
                            archive + "\" \"" + target + "\" \"" + marker + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  ASSERT_TRUE(CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, &startup, &info));
  CloseHandle(info.hThread);
  const win::KernelHandle process(info.hProcess);
  for (int waited = 0; !Exists(marker) && waited < 600; ++waited) {
    ASSERT_EQ(WaitForSingleObject(process.get(), 100), static_cast<DWORD>(WAIT_TIMEOUT))
        << "the probe ended before it pumped while copying";
  }
  ASSERT_TRUE(Exists(marker));
  ASSERT_TRUE(TerminateProcess(process.get(), 9));
  ASSERT_EQ(WaitForSingleObject(process.get(), 30000), static_cast<DWORD>(WAIT_OBJECT_0));
  Sleep(200);  // the file system lets go of the killed process's files
  EXPECT_FALSE(Exists(target + "\\big.bin")) << ReadFileBytes(target + "\\big.bin").size()
                                             << " bytes left under the file's name";
  EXPECT_TRUE(TemporaryFilesIn(target).empty());
}

}  // namespace
