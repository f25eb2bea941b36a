// The removal at the lowest layer that sees it: a real installation run in this process, then the
// uninstaller's checks and removal on its folder, with a removal seam that can fail or find a file
// in use.
#include "uninstall/removal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>

#include "core/install_record.h"
#include "core/text.h"
#include "fake_view.h"
#include "setup/run/install_fixture.h"
#include "setup/run/install_sequence.h"
#include "base/shared_files.h"
#include "support/make_link.h"
#include "support/registry_value_guard.h"
#include "uninstall/admin_folder.h"
#include "uninstall/record_check.h"
#include "uninstall/unregistration.h"
#include "win32/registry.h"
#include "win32/wide_text.h"

namespace {

using testing_support::Exists;
using testing_support::FromUnixPath;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

class NoView final : public uninstall::RemovalView {
 public:
  void SetLabel(const std::wstring&) override {}
  void SetGaugeMax(std::int32_t) override {}
  void SetGaugePosition(std::int32_t) override {}
  bool Aborted() const override { return false; }
  void Pump() override {}
};

// A person who confirms the cancel question once the gauge reaches `at`.
class CancellingView final : public uninstall::RemovalView {
 public:
  explicit CancellingView(std::int32_t at) : at_(at) {}
  void SetLabel(const std::wstring&) override {}
  void SetGaugeMax(std::int32_t) override {}
  void SetGaugePosition(std::int32_t position) override { position_ = position; }
  bool Aborted() const override { return position_ >= at_; }
  void Pump() override {}

 private:
  std::int32_t at_;
  std::int32_t position_ = 0;
};

// The system's removals, but one path fails, and another one is in use.
class TestRemoval final : public uninstall::RemovalSystem {
 public:
  unsigned long DeleteFileAt(const std::string& path) override {
    if (path == failing) return ERROR_ACCESS_DENIED + 1000;  // any error that is no "in use"
    if (path == inUse) return ERROR_SHARING_VIOLATION;
    return RemovalSystem::DeleteFileAt(path);
  }
  unsigned long DeleteChecked(void* file, const std::string& path) override {
    if (path == failing) return ERROR_ACCESS_DENIED + 1000;
    if (path == inUse) return ERROR_SHARING_VIOLATION;
    return RemovalSystem::DeleteChecked(file, path);
  }
  unsigned long DeleteAtRestart(const std::string& path) override {
    scheduled.insert(path);
    return 0;  // the test's machine keeps no restart entries
  }
  std::string failing, inUse;
  std::set<std::string> scheduled;
};

class RemovalTest : public testing_support::InstallFixture {
 protected:
  void SetUp() override {
    InstallFixture::SetUp();
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, testing_support::kUninstallKey);
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Fendaro");
  }
  void TearDown() override {
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, testing_support::kUninstallKey);
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Fendaro");
  }
  void Install() {
    CreateDirectoryA((temp / "Program Files").c_str(), nullptr);
    setup::PrepareInstallFolder(state, target);
    testing_support::FakeView view;
    ASSERT_TRUE(setup::RunInstall(state, view, setup::SystemRegistry()));
  }
  uninstall::RemovalReport Remove() {
    const auto found = uninstall::FindInstallation(target, base::NoLog());
    EXPECT_TRUE(found);
    if (!found) return {};
    NoView view;
    return uninstall::RemoveInstallation(*found, view, removal, base::NoLog());
  }
  // Lines added to the record after the installation, as anyone who can write its folder could.
  void Append(const std::string& lines) {
    const std::string record = target + "\\Uninstaller.dat";
    WriteFileBytes(record, ReadFileBytes(record) + lines);
  }
  // A copy of a folder with everything in it, the files' times included (CopyFile keeps them).
  static void CopyTree(const std::string& from, const std::string& to) {
    ASSERT_TRUE(CreateDirectoryA(to.c_str(), nullptr));
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((from + "\\*").c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    do {
      const std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        CopyTree(from + "\\" + name, to + "\\" + name);
      } else {
        EXPECT_TRUE(CopyFileA((from + "\\" + name).c_str(), (to + "\\" + name).c_str(), TRUE));
      }
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  static std::string WindowsFolder() {
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, MAX_PATH);
    return windows;
  }
  bool EntryThere() const {
    return static_cast<bool>(win::OpenKey(HKEY_LOCAL_MACHINE, testing_support::kUninstallKey, false));
  }

  TestRemoval removal;
};

// A removal that fails keeps the entry, the record and the INI; the next run finishes the work,
// and a file in use is left to the next restart, moved first into a folder only administrators
// may change (where no link a user makes later can lead the restart's deletion).
TEST_F(RemovalTest, AFailedRemovalIsFinishedByTheNextRunAndAFileInUseWaitsForTheRestart) {
  WriteArchive("ProgramFiles.dt", {{"%InstallDir%\\a.txt", "a"},
                                   {"%InstallDir%\\Sub\\b.txt", "b"},
                                   {"%InstallDir%\\held.dll", "held"}});
  Install();
  SetFileAttributesA((target + "\\a.txt").c_str(), FILE_ATTRIBUTE_READONLY);  // goes all the same
  removal.failing = target + "\\Sub\\b.txt";
  removal.inUse = target + "\\held.dll";
  uninstall::RemovalReport first = Remove();
  ASSERT_EQ(first.failed.size(), 1u);
  EXPECT_EQ(first.failed[0].path, target + "\\Sub\\b.txt");
  EXPECT_TRUE(first.restartNeeded);
  EXPECT_FALSE(Exists(target + "\\held.dll"));
  const std::string leftovers =
      win::WideToAnsi(uninstall::SystemTempFolder()) + "Uninstall leftovers ";
  std::string moved, folder;
  for (const std::string& path : removal.scheduled) {
    if (path.rfind(leftovers, 0) != 0) continue;
    (path.find('\\', leftovers.size()) == std::string::npos ? folder : moved) = path;
  }
  EXPECT_EQ(dt::SplitPath(moved).folder, folder);
  EXPECT_EQ(ReadFileBytes(moved), "held");
  DeleteFileA(moved.c_str());
  RemoveDirectoryA(folder.c_str());
  EXPECT_FALSE(Exists(target + "\\a.txt"));
  EXPECT_TRUE(Exists(target + "\\Uninstaller.dat"));
  EXPECT_TRUE(Exists(target + "\\Uninstaller.ini"));
  EXPECT_TRUE(EntryThere());

  removal.failing.clear();
  const uninstall::RemovalReport second = Remove();  // the record says what the first did
  EXPECT_TRUE(second.failed.empty());
  EXPECT_FALSE(Exists(target + "\\Sub"));
  EXPECT_FALSE(Exists(target + "\\Uninstaller.dat"));
  EXPECT_FALSE(Exists(target + "\\Uninstaller.ini"));
  EXPECT_FALSE(EntryThere());
}

// A confirmed cancel stops between two items, with the entry kept; the next run finishes.
TEST_F(RemovalTest, ACancelledRemovalIsFinishedByTheNextRun) {
  WriteArchive("ProgramFiles.dt", {{"%InstallDir%\\a.txt", "a"}, {"%InstallDir%\\b.txt", "b"}});
  Install();
  const auto found = uninstall::FindInstallation(target, base::NoLog());
  ASSERT_TRUE(found);
  CancellingView view(2);  // after the first item
  const uninstall::RemovalReport first =
      uninstall::RemoveInstallation(*found, view, removal, base::NoLog());
  EXPECT_TRUE(first.cancelled);
  EXPECT_FALSE(Exists(target + "\\b.txt"));  // the files go in the reverse order of the record
  EXPECT_TRUE(Exists(target + "\\a.txt"));
  EXPECT_TRUE(EntryThere());

  const uninstall::RemovalReport second = Remove();
  EXPECT_FALSE(second.cancelled);
  EXPECT_FALSE(Exists(target + "\\a.txt"));
  EXPECT_FALSE(EntryThere());
}

// A user who can write the installation folder makes a level below it, or a level of its own
// path, a link to a folder holding files of the same names, sizes and times: nothing there is
// deleted or removed, and what stays is reported.
TEST_F(RemovalTest, NothingIsRemovedThroughALink) {
  if (!testing_support::CanMakeLinks()) GTEST_SKIP() << "no wrapper makes links: run through ctest";
  WriteArchive("ProgramFiles.dt", {{"%InstallDir%\\a.txt", "a"},
                                   {"%InstallDir%\\Maps\\GeoDict.DCT", "dictionary"},
                                   {"%InstallDir%\\Maps\\Deep\\x.txt", "x"}});
  Install();
  // The same files, times included, elsewhere; the product's own moved aside.
  const std::string elsewhere = temp / "Elsewhere";
  CopyTree(target + "\\Maps", elsewhere);
  ASSERT_TRUE(MoveFileA((target + "\\Maps").c_str(), (temp / "Maps aside").c_str()));
  ASSERT_TRUE(testing_support::MakeFolderLink(target + "\\Maps", elsewhere));
  const uninstall::RemovalReport below = Remove();
  EXPECT_EQ(ReadFileBytes(elsewhere + "\\GeoDict.DCT"), "dictionary");
  EXPECT_EQ(ReadFileBytes(elsewhere + "\\Deep\\x.txt"), "x");
  EXPECT_NE(std::find(below.kept.begin(), below.kept.end(), target + "\\Maps\\GeoDict.DCT"),
            below.kept.end());
  EXPECT_FALSE(Exists(target + "\\a.txt"));  // the rest goes
  EXPECT_TRUE(testing_support::RemoveFolderLink(target + "\\Maps"));
}

TEST_F(RemovalTest, NothingIsRemovedThroughALevelOfTheInstallationFoldersPathMadeALink) {
  if (!testing_support::CanMakeLinks()) GTEST_SKIP() << "no wrapper makes links: run through ctest";
  WriteArchive("ProgramFiles.dt", {{"%InstallDir%\\a.txt", "a"}});
  Install();
  // "Program Files" moved aside and its name made a link to a copy of it, record and all.
  const std::string programFiles = temp / "Program Files";
  const std::string copy = temp / "Copy";
  CopyTree(programFiles, copy);
  ASSERT_TRUE(MoveFileA(programFiles.c_str(), (temp / "Aside").c_str()));
  ASSERT_TRUE(testing_support::MakeFolderLink(programFiles, copy));
  const uninstall::RemovalReport report = Remove();
  EXPECT_EQ(ReadFileBytes(copy + "\\Korvu\\a.txt"), "a");
  EXPECT_NE(std::find(report.kept.begin(), report.kept.end(), target + "\\a.txt"),
            report.kept.end());
  EXPECT_TRUE(testing_support::RemoveFolderLink(programFiles));
}

// A file that was there before the installation stays, in the installation folder as in the
// system folder; a shared file whose count another product
// raised too stays, with the count given back; a changed record byte changes nothing.
TEST_F(RemovalTest, WhatOthersOwnStays) {
  CreateDirectoryA((temp / "Program Files").c_str(), nullptr);
  CreateDirectoryA(target.c_str(), nullptr);  // not the installer's
  WriteFileBytes(target + "\\old.txt", "theirs");
  char windows[MAX_PATH];
  GetWindowsDirectoryA(windows, MAX_PATH);
  const std::string shared = std::string(windows) + "\\korvu-removal-test.dll";
  const testing_support::RegistryValueGuard count(HKEY_LOCAL_MACHINE, base::kSharedDllsKey,
                                                  shared);
  char system[MAX_PATH];
  GetSystemDirectoryA(system, MAX_PATH);
  const std::string systemFile = std::string(system) + "\\korvu-removal-test.hlp";
  WriteFileBytes(systemFile, "the system's");
  WriteArchive("ProgramFiles.dt", {{"%InstallDir%\\old.txt", "ours"},
                                   {"%WinDir%\\korvu-removal-test.dll", "common"},
                                   {"%System32%\\korvu-removal-test.hlp", "the product's"}});
  Install();
  base::AddSharedUse(shared, true);  // a second product uses it: 2 now

  std::string record = ReadFileBytes(target + "\\Uninstaller.dat");
  std::string changed = record;
  changed[changed.size() / 2] ^= 1;
  WriteFileBytes(target + "\\Uninstaller.dat", changed);
  EXPECT_FALSE(uninstall::FindInstallation(target, base::NoLog()));
  WriteFileBytes(target + "\\Uninstaller.dat", record);

  const uninstall::RemovalReport report = Remove();
  EXPECT_TRUE(report.failed.empty());
  EXPECT_EQ(ReadFileBytes(target + "\\old.txt"), "ours");  // replaced, but not the product's
  EXPECT_EQ(ReadFileBytes(shared), "common");
  DWORD value = 0, size = sizeof value;
  EXPECT_EQ(RegGetValueA(HKEY_LOCAL_MACHINE, base::kSharedDllsKey, shared.c_str(),
                         RRF_RT_REG_DWORD, nullptr, &value, &size),
            ERROR_SUCCESS);
  EXPECT_EQ(value, 1u);
  EXPECT_EQ(ReadFileBytes(systemFile), "the product's");  // replaced, and there before: kept
  EXPECT_TRUE(Exists(target));
  DeleteFileA(shared.c_str());
  DeleteFileA(systemFile.c_str());
}

// A run killed while it replaced a file leaves its temporary file, which its record names: the
// uninstaller removes it, inside the installation folder also when no anchor vouches for the line
// (and nowhere else then).
TEST_F(RemovalTest, TemporaryFilesOfAKilledRunGo) {
  WriteArchive("ProgramFiles.dt", {{"%InstallDir%\\a.txt", "a"}});
  Install();
  const std::string inside = target + "\\a.txt";
  const std::string outside = WindowsFolder() + "\\korvu-removal-test.txt";
  std::string lines;
  for (const std::string& file : {inside, outside}) {
    WriteFileBytes(file + ".~0123abcd", "left");
    lines += dt::FormatRecordLine(dt::kRecordFilePending, {file}) +
             dt::FormatRecordLine(dt::kRecordTempPending, {file + ".~0123abcd"});
  }
  Append(lines);
  EXPECT_TRUE(Remove().failed.empty());
  EXPECT_FALSE(Exists(inside + ".~0123abcd"));
  EXPECT_EQ(ReadFileBytes(outside + ".~0123abcd"), "left");
  DeleteFileA((outside + ".~0123abcd").c_str());
}

// A user who keeps the record open, so that no progress line can be added, keeps a shared count
// from being lowered: each run fails, and the run after the user lets go lowers it, once in all.
TEST_F(RemovalTest, ASharedCountIsLoweredOnceInAll) {
  const std::string shared = WindowsFolder() + "\\korvu-removal-test.dll";
  const testing_support::RegistryValueGuard count(HKEY_LOCAL_MACHINE, base::kSharedDllsKey,
                                                  shared);
  WriteArchive("ProgramFiles.dt", {{"%InstallDir%\\a.txt", "a"},
                                   {"%WinDir%\\korvu-removal-test.dll", "common"}});
  Install();
  base::AddSharedUse(shared, true);  // a second product uses it: 2 now
  const auto countNow = [&] {
    DWORD value = 0, size = sizeof value;
    return RegGetValueA(HKEY_LOCAL_MACHINE, base::kSharedDllsKey, shared.c_str(), RRF_RT_REG_DWORD,
                        nullptr, &value, &size) == ERROR_SUCCESS
               ? value
               : 0;
  };
  {
    HANDLE reader = CreateFileA((target + "\\Uninstaller.dat").c_str(), GENERIC_READ,
                                FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    for (int run = 0; run < 2; ++run) {
      SCOPED_TRACE("held, run " + std::to_string(run));
      EXPECT_FALSE(Remove().failed.empty());
    }
    CloseHandle(reader);
  }
  EXPECT_EQ(countNow(), 2u);
  EXPECT_TRUE(Remove().failed.empty());
  EXPECT_FALSE(EntryThere());
  EXPECT_EQ(countNow(), 1u);
  EXPECT_EQ(ReadFileBytes(shared), "common");
  DeleteFileA(shared.c_str());
}

// Whatever the record says, nothing outside the installation, Windows, system and fonts folders
// is touched: a file the installer itself created elsewhere (a stored full path) stays, with its
// count.
TEST_F(RemovalTest, AFileOutsideTheFoldersItMayTouchStays) {
  const std::string outside = temp / "Elsewhere\\outside.dll";
  const testing_support::RegistryValueGuard count(HKEY_LOCAL_MACHINE, base::kSharedDllsKey,
                                                  outside);
  WriteArchive("ProgramFiles.dt", {{"%InstallDir%\\a.txt", "ours"}, {outside, "created here"}});
  Install();
  const uninstall::RemovalReport report = Remove();
  EXPECT_TRUE(report.failed.empty());
  EXPECT_EQ(ReadFileBytes(outside), "created here");
  EXPECT_NE(std::find(report.kept.begin(), report.kept.end(), outside), report.kept.end());
  EXPECT_FALSE(Exists(target + "\\a.txt"));
}

// A folder that only lines after the anchor name goes when it lies in the installation folder and
// is empty, and is kept anywhere else.
TEST_F(RemovalTest, AnUnanchoredFolderGoesOnlyInsideTheInstallationFolder) {
  WriteArchive("ProgramFiles.dt", {{"%InstallDir%\\a.txt", "a"}});
  Install();
  const std::string outside = WindowsFolder() + "\\korvu-removal-test";
  const std::string inside = target + "\\Added";
  std::string lines;
  for (const std::string& folder : {outside, inside}) {
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    lines += dt::FormatRecordLine(dt::kRecordFolderPending, {folder}) +
             dt::FormatRecordLine(dt::kRecordFolder, {folder});
  }
  Append(lines);
  EXPECT_TRUE(Remove().failed.empty());
  EXPECT_TRUE(Exists(outside));
  EXPECT_FALSE(Exists(inside));
  EXPECT_FALSE(EntryThere());
  RemoveDirectoryA(outside.c_str());
}

// After an installation into a folder that others can write, lines naming a file of the Windows
// folder (with its true size and time) and an empty folder there as created are added; then a
// repair appends to the record and its anchor covers all of it. That anchor vouches only for what
// the repair wrote and what it found anchored: the file and the folder stay.
TEST_F(RemovalTest, ARepairDoesNotVouchForLinesAddedBeforeIt) {
  WriteArchive("ProgramFiles.dt", {{"%InstallDir%\\a.txt", "a"}});
  Install();
  const std::string file = WindowsFolder() + "\\korvu-removal-test.ini";
  const std::string folder = WindowsFolder() + "\\korvu-removal-test";
  WriteFileBytes(file, "the system's");
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
  WIN32_FILE_ATTRIBUTE_DATA data{};
  ASSERT_TRUE(GetFileAttributesExA(file.c_str(), GetFileExInfoStandard, &data));
  char time[17];
  std::snprintf(time, sizeof time, "%08lx%08lx", data.ftLastWriteTime.dwHighDateTime,
                data.ftLastWriteTime.dwLowDateTime);
  Append(dt::FormatRecordLine(dt::kRecordFilePending, {file}) +
         dt::FormatRecordLine(dt::kRecordFile, {file, "created", "12", time}) +
         dt::FormatRecordLine(dt::kRecordFolderPending, {folder}) +
         dt::FormatRecordLine(dt::kRecordFolder, {folder}));
  Install();

  EXPECT_TRUE(Remove().failed.empty());
  EXPECT_EQ(ReadFileBytes(file), "the system's");
  EXPECT_TRUE(Exists(folder));
  EXPECT_FALSE(Exists(target + "\\a.txt"));
  EXPECT_FALSE(EntryThere());
  DeleteFileA(file.c_str());
  RemoveDirectoryA(folder.c_str());
}

// The registration tool runs to unregister only as the installer wrote it, on the library as the
// installer wrote it; a type library file that is none is not loaded. Neither stops the removal.
TEST_F(RemovalTest, UnregisteringRunsOnlyTheRecordedToolOnTheRecordedLibrary) {
  WriteArchive("ProgramFiles.dt", {{"%InstallDir%\\REGSVR32.EXE", ReadFileBytes(FromUnixPath(RECORDER_EXE))},
                                   {"%InstallDir%\\KORVU50.DLL", "library"},
                                   {"%InstallDir%\\kdatasetint.tlb", "not a type library"}});
  Install();
  const std::string tool = target + "\\REGSVR32.EXE";
  const std::string ran = tool + ".cmdline";
  for (int i = 0; i < 300 && !Exists(ran); ++i) Sleep(50);  // the installer's own run of it
  ASSERT_TRUE(DeleteFileA(ran.c_str()));

  const auto found = uninstall::FindInstallation(target, base::NoLog());
  ASSERT_TRUE(found);
  const dt::RemovalPlan plan = dt::MakeRemovalPlan(
      {found->checked.read, found->checked.anchoredLength, win::AnsiToUtf8(target)});
  const std::string logPath = temp / "unregister.log";
  const auto unregister = [&] {
    base::ProgramLog log = base::ProgramLog::OpenFile(win::AnsiToWide(logPath));
    NoView view;
    uninstall::UnregisterLibraries(target, plan, view, log);
    return ReadFileBytes(logPath);
  };

  WriteFileBytes(target + "\\KORVU50.DLL", "librarx");  // same size, other bytes
  std::string log = unregister();
  EXPECT_NE(log.find("is not the file the installer wrote"), std::string::npos) << log;
  EXPECT_NE(log.find("kdatasetint.tlb\" is not a type library file"), std::string::npos) << log;
  EXPECT_FALSE(Exists(ran));

  WriteFileBytes(target + "\\KORVU50.DLL", "library");
  log = unregister();
  EXPECT_EQ(ReadFileBytes(ran), "\"" + tool + "\" /u /s \"" + target + "\\KORVU50.DLL\"");
  EXPECT_NE(log.find("unregistering tool ended with exit code 0"), std::string::npos) << log;
}

}  // namespace
