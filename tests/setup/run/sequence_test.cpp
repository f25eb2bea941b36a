#include "setup/run/install_sequence.h"

#include <gtest/gtest.h>

#include <map>
#include <stdexcept>

#include "core/gauge_scale.h"
#include "base/program_log.h"
#include "fake_view.h"
#include "install_fixture.h"
#include "win32/folders.h"
#include "win32/wide_text.h"

namespace {

using testing_support::Exists;
using testing_support::FakeView;
using testing_support::ReadFileBytes;

// A registry that takes every value without touching the machine's.
class NullRegistry final : public setup::ProductRegistry {
 public:
  struct NullKey final : Key {
    explicit NullKey(NullRegistry& r) : owner(r) {}
    void WriteString(const std::string& name, const std::string&) override {
      if (name == owner.failOn) throw std::runtime_error("Failed to set data for '" + name + "'");
      ++owner.writes;
    }
    void WriteDword(const std::string& name, std::uint32_t value) override {
      ++owner.writes;
      owner.dwords[name] = value;
    }
    NullRegistry& owner;
  };
  std::unique_ptr<Key> CreateKey(HKEY, const std::string&) override {
    return std::make_unique<NullKey>(*this);
  }
  int writes = 0;
  std::map<std::string, std::uint32_t> dwords;
  std::string failOn;
};

class RunInstallTest : public testing_support::InstallFixture {
 protected:
  // The run after its folder step, as PrepareRun leaves it.
  bool Run() {
    setup::PrepareInstallFolder(state, target);
    return setup::RunInstall(state, view, registry);
  }
  std::int64_t Size(const char* archive) {
    return static_cast<std::int64_t>(ReadFileBytes(source + "\\" + archive).size());
  }
  FakeView view;
  NullRegistry registry;
};

TEST_F(RunInstallTest, BothArchivesThenRegistration) {
  WriteArchive("ProgramFiles.dt", {{"%InstallDir%\\a.txt", "program"}});
  WriteArchive("SystemFiles.dt", {{"%InstallDir%\\a.txt", "system"}, {"%InstallDir%\\b.txt", "b"}});
  EXPECT_TRUE(Run());
  EXPECT_EQ(ReadFileBytes(target + "\\a.txt"), "program");  // the second archive keeps it
  EXPECT_EQ(ReadFileBytes(target + "\\b.txt"), "b");
  const auto total = Size("ProgramFiles.dt") + Size("SystemFiles.dt");
  EXPECT_EQ(state.TotalBytes, total);
  EXPECT_EQ(view.gaugeMax, (std::vector<std::int32_t>{static_cast<std::int32_t>(total)}));
  EXPECT_EQ(view.positions.back(), total);
  EXPECT_EQ(view.visibility, (std::vector<bool>{true, false}));
  EXPECT_EQ(view.labels.back(), L"Регистрация библиотек программы...");
  EXPECT_EQ(registry.writes, 16);  // the entry, the settings and the record's anchor
  EXPECT_TRUE(Exists(target + "\\Uninstaller.ini"));
  EXPECT_TRUE(view.shownErrors.empty());
}

// "EstimatedSize": the final sizes of the distinct files this run wrote, in KiB rounded up. A
// file written twice (here once through another letter case) counts once with its last size;
// files the second archive keeps count not at all.
TEST_F(RunInstallTest, EstimatedSizeAddsUpTheDistinctFilesWritten) {
  CreateDirectoryA((temp / "Program Files").c_str(), nullptr);
  CreateDirectoryA(target.c_str(), nullptr);
  testing_support::WriteFileBytes(target + "\\kept.bin", "there before");
  WriteArchive("ProgramFiles.dt", {{"%InstallDir%\\a.bin", std::string(3000, 'a')},
                                   {"%InstallDir%\\A.BIN", std::string(1000, 'b')},
                                   {"%InstallDir%\\b.bin", std::string(24, 'c')}});
  WriteArchive("SystemFiles.dt", {{"%InstallDir%\\b.bin", std::string(5000, 'x')},
                                  {"%InstallDir%\\kept.bin", std::string(5000, 'k')},
                                  {"%InstallDir%\\c.bin", "d"}});
  EXPECT_TRUE(Run());
  EXPECT_EQ(ReadFileBytes(target + "\\a.bin"), std::string(1000, 'b'));
  EXPECT_EQ(registry.dwords["EstimatedSize"], 2u);  // 1000 + 24 + 1 bytes
  EXPECT_EQ(registry.dwords["NoModify"], 1u);
  EXPECT_EQ(registry.dwords["NoRepair"], 1u);
}

TEST_F(RunInstallTest, MissingArchivesAreSkippedSilently) {
  WriteArchive("SystemFiles.dt", {{"%InstallDir%\\s.txt", "s"}});
  EXPECT_TRUE(Run());
  EXPECT_EQ(ReadFileBytes(target + "\\s.txt"), "s");
  DeleteFileA((source + "\\SystemFiles.dt").c_str());
  testing_support::TempFolder::RemoveTree(target);
  CreateDirectoryA(target.c_str(), nullptr);
  view = FakeView();
  EXPECT_TRUE(Run());  // nothing at all: the registration still runs
  EXPECT_EQ(state.TotalBytes, 0);
  EXPECT_EQ(view.gaugeMax, (std::vector<std::int32_t>{0}));
  EXPECT_TRUE(Exists(target + "\\Uninstaller.ini"));
}

TEST_F(RunInstallTest, AMalformedFirstArchiveStopsEverything) {
  testing_support::WriteFileBytes(source + "\\ProgramFiles.dt", std::string("\x01\x04\x00\x00", 4));
  WriteArchive("SystemFiles.dt", {{"%InstallDir%\\s.txt", "s"}});
  EXPECT_FALSE(Run());
  EXPECT_FALSE(Exists(target + "\\s.txt"));
  EXPECT_EQ(registry.writes, 0);
  EXPECT_FALSE(Exists(target + "\\Uninstaller.ini"));
  EXPECT_EQ(view.shownErrors,
            (std::vector<std::wstring>{L"Ошибка в формате архива: \"" +
                                       win::AnsiToWide(source + "\\ProgramFiles.dt") + L"\"."}));
  EXPECT_EQ(view.visibility, (std::vector<bool>{true}));  // stays visible after a stop
}

TEST_F(RunInstallTest, ASecondArchiveFailingKeepsTheFirstArchivesFiles) {
  WriteArchive("ProgramFiles.dt", {{"%InstallDir%\\p.txt", "p"}});
  testing_support::WriteFileBytes(source + "\\SystemFiles.dt", std::string("\x00\x00\x00\x00", 4));
  EXPECT_FALSE(Run());
  EXPECT_EQ(ReadFileBytes(target + "\\p.txt"), "p");
  EXPECT_EQ(registry.writes, 0);
  ASSERT_EQ(view.shownErrors.size(), 1u);
  EXPECT_NE(view.shownErrors[0].find(L"SystemFiles.dt"), std::wstring::npos);
}

TEST_F(RunInstallTest, ACancelDuringTheFirstArchiveSkipsEverythingAfterIt) {
  std::vector<std::pair<std::string, std::string>> files;
  for (int i = 1; i <= 10; ++i) files.emplace_back("%InstallDir%\\f" + std::to_string(i), "x");
  WriteArchive("ProgramFiles.dt", files);
  WriteArchive("SystemFiles.dt", {{"%InstallDir%\\s.txt", "s"}});
  view.onPump = [&](int pumps) {
    if (pumps == 3) view.aborted = true;
  };
  EXPECT_FALSE(Run());
  EXPECT_TRUE(Exists(target + "\\f10"));
  EXPECT_FALSE(Exists(target + "\\s.txt"));
  EXPECT_EQ(registry.writes, 0);
  EXPECT_TRUE(view.shownErrors.empty());
}

TEST_F(RunInstallTest, ARegistrationErrorPassesToTheCaller) {
  registry.failOn = "VersionCode";
  try {
    Run();
    FAIL() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "Failed to set data for 'VersionCode'");
  }
}

TEST_F(RunInstallTest, System32FilesLandWhereWindowsPutsTheProgramsSystemFiles) {
  WriteArchive("ProgramFiles.dt", {{"%System32%\\korvu-test.dat", "sys"}});
  char windowsDir[MAX_PATH];
  GetWindowsDirectoryA(windowsDir, MAX_PATH);
  const std::string windows = windowsDir;
  BOOL wow64 = FALSE;
  IsWow64Process(GetCurrentProcess(), &wow64);
  // A 32-bit program on 64-bit Windows names "<Windows>\system32" too; the file system redirector
  // puts what it writes there into SysWOW64, which such a program reads by that name unredirected.
  const std::string landed =
      (wow64 ? windows + "\\SysWOW64" : win::GetSystemDir()) + "\\korvu-test.dat";

  EXPECT_TRUE(Run());
  EXPECT_EQ(ReadFileBytes(landed), "sys");
  if (wow64) {
    EXPECT_EQ(lstrcmpiA(win::GetSystemDir().c_str(), (windows + "\\system32").c_str()), 0);
    // The 64-bit System32, seen with the redirection switched off for this thread, stays clean.
    PVOID redirection = nullptr;
    ASSERT_TRUE(Wow64DisableWow64FsRedirection(&redirection));
    const bool reached64 = Exists(windows + "\\system32\\korvu-test.dat");
    Wow64RevertWow64FsRedirection(redirection);
    EXPECT_FALSE(reached64) << "the file reached the 64-bit System32";
  }
  DeleteFileA(landed.c_str());
}

TEST(GaugeScale, TotalsOf2GiBAndMoreAreShiftedBelow2To31) {
  EXPECT_EQ(dt::GaugeShift(0), 0);
  EXPECT_EQ(dt::GaugeShift(0x7FFFFFFF), 0);
  EXPECT_EQ(dt::GaugeShift(0x80000000LL), 1);
  EXPECT_EQ(dt::GaugeShift(5LL << 30), 2);                   // 5 GiB
  EXPECT_EQ(dt::ToGauge(5LL << 30, 5LL << 30), 1342177280);  // 5 GiB / 4
  EXPECT_EQ(dt::ToGauge(1LL << 30, 5LL << 30), 268435456);
  EXPECT_EQ(dt::ToGauge(123456789, 0x7FFFFFFF), 123456789);
  const std::int64_t total = 0xFFFFFFFFFFLL;  // a terabyte
  EXPECT_LT(dt::ToGauge(total, total), 1LL << 31);
  EXPECT_GE(dt::ToGauge(total, total), 1LL << 30);
}

// The folder step refuses, before it makes anything, a folder the uninstaller could not place
// again and one that would make a path of the run longer than the system allows: a run that fails
// file by file in its middle leaves half an installation.
TEST_F(RunInstallTest, TheFolderStepRefusesAFolderThatIsNotFullOrMakesAPathTooLong) {
  testing_support::TempFolder logs;
  base::ProgramLog log = base::ProgramLog::OpenFile(win::AnsiToWide(logs / "log.txt"));
  const auto prepare = [&](const std::string& folder) {
    view.shownErrors.clear();
    return setup::PrepareRun(state, folder, setup::ArchivesBeside(source), view, log);
  };
  // A file name that brings its target to 255 characters: it fits as a new file of
  // SystemFiles.dt, but not with a replacement's temporary name as one of ProgramFiles.dt.
  const std::string name(255 - target.size() - 1, 'n');
  WriteArchive("SystemFiles.dt", {{"%InstallDir%\\" + name, "s"}});
  EXPECT_EQ(prepare(target), std::nullopt);
  EXPECT_TRUE(view.shownErrors.empty());
  testing_support::TempFolder::RemoveTree(target);

  WriteArchive("ProgramFiles.dt", {{"%InstallDir%\\" + name, "p"}});
  EXPECT_EQ(prepare(target), setup::Outcome::kFolderNotCreated);
  EXPECT_EQ(view.shownErrors, std::vector<std::wstring>{setup::kFolderStepError});
  EXPECT_FALSE(Exists(target));
  // The record's old name alone can be the longest.
  DeleteFileA((source + "\\ProgramFiles.dt").c_str());
  DeleteFileA((source + "\\SystemFiles.dt").c_str());
  const std::string deep = target + "\\" + std::string(259 - target.size() - 20, 'd');
  EXPECT_EQ(prepare(deep), setup::Outcome::kFolderNotCreated);
  EXPECT_FALSE(Exists(target));

  for (const std::string& folder : {std::string("C:Korvu-relative"), target + "\\..\\Other",
                                    target + ".", std::string("\\Korvu-rooted")}) {
    EXPECT_EQ(prepare(folder), setup::Outcome::kFolderNotCreated) << folder;
    EXPECT_EQ(view.shownErrors, std::vector<std::wstring>{setup::kFolderStepError}) << folder;
  }
  EXPECT_FALSE(Exists(target));
  EXPECT_FALSE(Exists(temp / "Program Files\\Other"));

  const std::string logged = ReadFileBytes(logs / "log.txt");
  EXPECT_NE(logged.find("the longest path of the installation would have 265 characters, more "
                        "than 259: \"" + target + "\\" + name + "\""),
            std::string::npos)
      << logged;
  EXPECT_NE(logged.find("(a path would be too long)"), std::string::npos) << logged;
  EXPECT_NE(logged.find("(not a full path)"), std::string::npos) << logged;
}

}  // namespace
