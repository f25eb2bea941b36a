// Unpacking onto a disk that fills up, and the disk-space check before a run. Runs when
// SETUP_TINY_DRIVE names a drive with a few dozen kilobytes of room (with_tiny_disk.sh mounts
// one); skipped otherwise.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>

#include "setup/wizard/wizard_fixture.h"
#include "fake_view.h"
#include "install_fixture.h"
#include "base/ui/dialogs/dialogs.h"
#include "setup/run/disk_space.h"
#include "setup/run/extraction.h"
#include "win32/handles.h"
#include "win32/files.h"
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
    state.InstallFolder = folder;
    // small.txt fits; big.bin (256 KiB) cannot; after.txt fits again once big.bin is gone.
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
  view.answers = {setup::WriteErrorAnswer::kAbort};
  setup::UnpackArchive(source + "\\a.dt", state, messages, true, view);
  const std::wstring error =
      L"Ошибка записи файла: \"" + win::AnsiToWide(folder + "\\big.bin") + L"\".";
  EXPECT_EQ(view.questions, (std::vector<std::wstring>{error}));
  EXPECT_EQ(messages.Error, error);
  EXPECT_EQ(ReadFileBytes(folder + "\\small.txt"), "small");
  EXPECT_FALSE(Exists(folder + "\\big.bin"));  // gone again, never partly filled
  EXPECT_FALSE(Exists(folder + "\\after.txt"));
}

TEST_F(FullDiskTest, IgnoreLeavesNoPartOfTheTargetAndGoesOn) {
  view.answers = {setup::WriteErrorAnswer::kRetry, setup::WriteErrorAnswer::kIgnore};
  setup::UnpackArchive(source + "\\a.dt", state, messages, true, view);
  EXPECT_EQ(view.questions.size(), 2u);
  EXPECT_EQ(messages.Error, L"");
  EXPECT_FALSE(Exists(folder + "\\big.bin"));
  EXPECT_EQ(ReadFileBytes(folder + "\\after.txt"), "after");
  EXPECT_EQ(state.DoneBytes, 5 + 256 * 1024 + 5);
}

// A file that is there already and cannot be replaced for want of room stays as it was, whatever
// the answer; no temporary file is left beside it.
TEST_F(FullDiskTest, AReplacedFileStaysWholeWhenTheNewContentDoesNotFit) {
  CreateDirectoryA(folder.c_str(), nullptr);
  const std::string old = std::string(20 * 1024, 'o') + "old big";
  for (const setup::WriteErrorAnswer answer :
       {setup::WriteErrorAnswer::kAbort, setup::WriteErrorAnswer::kIgnore}) {
    SCOPED_TRACE(static_cast<int>(answer));
    testing_support::WriteFileBytes(folder + "\\big.bin", old);
    DeleteFileA((folder + "\\after.txt").c_str());
    messages = {};
    view.answers = {answer};
    view.questionErrors.clear();
    setup::UnpackArchive(source + "\\a.dt", state, messages, true, view);
    EXPECT_EQ(view.questionErrors, std::vector<unsigned long>{ERROR_DISK_FULL});
    EXPECT_TRUE(ReadFileBytes(folder + "\\big.bin") == old);
    EXPECT_EQ(testing_support::TemporaryFilesIn(folder), std::vector<std::string>{});
    EXPECT_EQ(ReadFileBytes(folder + "\\after.txt"),
              answer == setup::WriteErrorAnswer::kAbort ? "<missing>" : "after");
  }
}

}  // namespace

// The disk-space check before a run, on the same small drive.
namespace {

using testing_support::TextOf;
using Page = setup::TFormMain::Page;

const char* TinyDrive() {
  const char* drive = std::getenv("SETUP_TINY_DRIVE");
  return drive && *drive ? drive : nullptr;
}

// A distribution whose ProgramFiles.dt cannot fit on the small drive: 256 KiB and a bit.
void WriteTooBigDistribution(const std::string& dist) {
  CreateDirectoryA(dist.c_str(), nullptr);
  testing_support::WriteFileBytes(
      dist + "\\ProgramFiles.dt",
      dt::BuildArchive({{"%InstallDir%\\small.txt", "small"},
                        {"%InstallDir%\\big.bin", std::string(256 * 1024, 'B')}}));
}

std::string VolumeOf(const std::string& existingFolder) {
  char volume[MAX_PATH];
  EXPECT_TRUE(GetVolumePathNameA(existingFolder.c_str(), volume, MAX_PATH)) << existingFolder;
  return volume;
}

// An unattended run gets the shortfall and its figures for the log; an archive that
// cannot be read leaves the check with nothing to say. (The wizard's side is below.)
TEST(DiskSpaceOnATinyDrive, UnattendedVerdictWithItsFigures) {
  if (!TinyDrive()) GTEST_SKIP() << "no small drive (SETUP_TINY_DRIVE) to fill";
  testing_support::TempFolder temp;
  WriteTooBigDistribution(temp / "dist");
  const std::string sourceDir = temp / "dist";
  const std::string folder = std::string(TinyDrive()) + "\\Checked";
  CreateDirectoryA(folder.c_str(), nullptr);

  const auto measure = [&folder, &sourceDir] {
    return setup::MeasureDiskSpace(folder, setup::ArchivesOfThisProgram(sourceDir));
  };
  const std::vector<setup::VolumeSpace> volumes = measure();
  ASSERT_EQ(volumes.size(), 1u);
  EXPECT_TRUE(volumes[0].FallsShort());
  EXPECT_EQ(volumes[0].volume, VolumeOf(folder));
  EXPECT_EQ(volumes[0].needed, 5u + 256 * 1024 + 2 * setup::kRecordRoomPerEntry);
  const std::string line = setup::DiskSpaceLogLine(volumes[0]);
  EXPECT_EQ(line.rfind("not enough disk space on \"" + VolumeOf(folder) +
                           "\": needed 1 MB, free 0 MB (262549 bytes needed",
                       0),
            0u)
      << line;

  testing_support::WriteFileBytes(temp / "dist\\ProgramFiles.dt",
                                  std::string("\x01\x04\x00\x00", 4));
  for (const setup::VolumeSpace& volume : measure()) EXPECT_FALSE(volume.FallsShort());
  testing_support::TempFolder::RemoveTree(folder);
}

// Answers the modal windows of this thread as they come up, one action each, in order, and notes
// each one's caption and text.
class AnswerModals {
 public:
  explicit AnswerModals(std::vector<std::function<void(HWND)>> actions)
      : actions_(std::move(actions)), answered_(testing_support::OtherThreadWindows(nullptr)) {
    Current() = this;
    timer_ = SetTimer(nullptr, 0, 50, &Tick);
  }
  ~AnswerModals() {
    KillTimer(nullptr, timer_);
    Current() = nullptr;
  }
  AnswerModals(const AnswerModals&) = delete;
  AnswerModals& operator=(const AnswerModals&) = delete;

  struct Seen {
    std::wstring caption, text;
  };
  std::vector<Seen> seen;

 private:
  static AnswerModals*& Current() {
    static AnswerModals* current = nullptr;
    return current;
  }
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    AnswerModals* self = Current();
    if (!self || self->seen.size() >= self->actions_.size()) return;
    for (HWND window : testing_support::OtherThreadWindows(nullptr)) {
      if (std::find(self->answered_.begin(), self->answered_.end(), window) !=
          self->answered_.end()) {
        continue;
      }
      self->answered_.push_back(window);
      self->seen.push_back({TextOf(window), testing_support::StaticTexts(window)});
      self->actions_[self->seen.size() - 1](window);
      return;
    }
  }

  std::vector<std::function<void(HWND)>> actions_;
  std::vector<HWND> answered_;  // up before the questions came, or answered already
  UINT_PTR timer_ = 0;
};

void PressEnter(HWND) {
  testing_support::SendKey(VK_RETURN);
}

class DiskSpaceWizard : public testing_support::WizardTest {
 protected:
  void SetUp() override {
    if (!TinyDrive()) GTEST_SKIP() << "no small drive (SETUP_TINY_DRIVE) to fill";
    WizardTest::SetUp();
    WriteTooBigDistribution(dist);
    form->State().SourceDir = dist;  // the window set it to the test program's folder
    folder = std::string(TinyDrive()) + "\\Wizard" + std::to_string(++runs);
    Key(VK_RETURN);  // "Далее"
    SetWindowTextW(C().EInstallPath, win::AnsiToWide(folder).c_str());
  }
  void TearDown() override {
    WizardTest::TearDown();
    testing_support::TempFolder::RemoveTree(folder);
  }
  std::wstring Question() const {
    return L"Недостаточно места на диске \"" + win::AnsiToWide(VolumeOf(folder)) +
           L"\": нужно 1 МБ, свободно 0 МБ.\rПродолжить установку?";
  }

  testing_support::TempFolder temp;
  const std::string dist = temp / "dist";
  std::string folder;
  static inline int runs = 0;
};

// "Отмена", Esc or closing the question: the Settings page stays with the focus in the path
// field; the folder made by the folder step stays, nothing is unpacked, the run never starts.
TEST_F(DiskSpaceWizard, DeclinedQuestionKeepsSettingsWithNothingUnpacked) {
  bool ran = false;
  form->RunProcedure = [&ran](setup::InstallView&) { return ran = true; };
  const std::vector<std::function<void(HWND)>> declines = {
      [](HWND) { testing_support::SendKey(VK_ESCAPE); },
      [](HWND dialog) {
        testing_support::ClickAt(FindWindowExW(dialog, nullptr, L"Button", L"Отмена"));
      },
      [](HWND dialog) { SendMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); },
  };
  for (std::size_t i = 0; i < declines.size(); ++i) {
    SCOPED_TRACE(i);
    AnswerModals answers({declines[i]});
    Key(VK_RETURN);  // in the path field: "Начать"
    Settle(300);
    ASSERT_EQ(answers.seen.size(), 1u);
    EXPECT_EQ(answers.seen[0].caption, L"Подтверждение");
    EXPECT_EQ(answers.seen[0].text, Question()) << win::WideToUtf8(answers.seen[0].text);
    EXPECT_EQ(form->PageIndex(), Page::kSettings);
    EXPECT_EQ(GetFocus(), C().EInstallPath);
    EXPECT_TRUE(win::DirectoryExistsQuiet(folder));
    EXPECT_FALSE(Exists(folder + "\\small.txt"));
  }
  EXPECT_FALSE(ran);
  EXPECT_FALSE(form->Installing);
}

// "OK" (the first button, so Enter) goes on as today: the run meets the full disk and asks its
// write-error question; Abort ends it with the error box and the unfinished Finish page.
TEST_F(DiskSpaceWizard, AcceptedQuestionRunsIntoTheWriteErrorAsToday) {
  AnswerModals answers({PressEnter, PressEnter, PressEnter});
  Key(VK_RETURN);
  Settle(300);
  ASSERT_EQ(answers.seen.size(), 3u);
  EXPECT_EQ(answers.seen[0].text, Question());
  const std::wstring writeError =
      L"Ошибка записи файла: \"" + win::AnsiToWide(folder + "\\big.bin") + L"\".";
  EXPECT_EQ(answers.seen[1].caption, L"Подтверждение");
  EXPECT_EQ(answers.seen[1].text, writeError);
  EXPECT_EQ(answers.seen[2].caption, L"Ошибка");
  EXPECT_NE(answers.seen[2].text.find(writeError), std::wstring::npos);
  EXPECT_EQ(form->PageIndex(), Page::kFinish);
  EXPECT_TRUE(IsWindowVisible(C().LabelFinishBad));
  EXPECT_EQ(ReadFileBytes(folder + "\\small.txt"), "small");
}

// An archive the check cannot read is left out of it: no question; the run then reports it.
TEST_F(DiskSpaceWizard, AnUnreadableArchiveSkipsTheCheck) {
  win::FileHandle held(CreateFileA((dist + "\\ProgramFiles.dt").c_str(), GENERIC_READ, 0,
                                   nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(held);
  AnswerModals answers({PressEnter});
  Key(VK_RETURN);
  Settle(300);
  held.reset();
  ASSERT_EQ(answers.seen.size(), 1u);
  EXPECT_EQ(answers.seen[0].caption, L"Ошибка");
  EXPECT_NE(answers.seen[0].text.find(L"Ошибка чтения архива: "), std::wstring::npos);
  EXPECT_EQ(form->PageIndex(), Page::kFinish);
}

}  // namespace
