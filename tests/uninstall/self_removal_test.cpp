// The helper that removes the uninstaller after it has ended, at the lowest layer that sees its
// work: a stand-in uninstaller in real folders of a temporary folder, the single-instance guard
// and the restart's entries through the helper's seam; and its command line, from what the
// uninstaller writes to what the helper reads.
#include "uninstall/self_removal_helper.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "base/program_log.h"
#include "core/command_line.h"
#include "setup/run/install_fixture.h"
#include "uninstall/self_removal.h"
#include "uninstall/self_removal_task.h"
#include "win32/files.h"
#include "win32/handles.h"
#include "win32/wide_text.h"

namespace {

using testing_support::Exists;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;
using Paths = std::vector<std::string>;

class TestHelperSystem final : public uninstall::HelperSystem {
 public:
  // The guard: free, held by another installation, or the machine's own.
  enum class Guard { kFree, kHeldElsewhere, kMachine };
  bool TakeGuard() override {
    return guard == Guard::kMachine ? HelperSystem::TakeGuard() : guard == Guard::kFree;
  }
  void DropRestartEntries(const Paths& paths, base::ProgramLog&) override {
    dropped.insert(dropped.end(), paths.begin(), paths.end());
  }
  Guard guard = Guard::kFree;
  Paths dropped;
};

// <temp>\Korvu\bin\Uninstaller.exe, whose two folders the installer created.
class SelfRemovalTest : public testing::Test {
 protected:
  SelfRemovalTest() {
    CreateDirectoryA(outer.c_str(), nullptr);
    CreateDirectoryA(inner.c_str(), nullptr);
    WriteFileBytes(uninstaller, "the uninstaller that ran");
  }
  // The task as the uninstaller makes it, from the file and folders as they are now.
  uninstall::HelperTask Task() const {
    return uninstall::TaskFor({uninstaller, uninstall::IdentityOf(uninstaller).value(),
                               {inner, outer}});
  }
  void Finish(const uninstall::HelperTask& task) {
    uninstall::FinishSelfRemoval(task, system, log);
  }
  // How many lines of the log hold this text.
  std::size_t Logged(const std::string& text) const {
    const std::string lines = ReadFileBytes(logPath);
    std::size_t count = 0;
    for (std::size_t at = lines.find(text); at != std::string::npos; at = lines.find(text, at + 1)) {
      ++count;
    }
    return count;
  }

  testing_support::TempFolder temp;
  const std::string outer = temp / "Korvu";
  const std::string inner = outer + "\\bin";
  const std::string uninstaller = inner + "\\Uninstaller.exe";
  const std::string logPath = temp / "helper log.txt";
  base::ProgramLog log = base::ProgramLog::OpenFile(win::AnsiToWide(logPath));
  TestHelperSystem system;
};

TEST_F(SelfRemovalTest, RemovesTheUninstallerThatRanAndItsEmptyFoldersDeepestFirst) {
  SetFileAttributesA(uninstaller.c_str(), FILE_ATTRIBUTE_READONLY);  // goes all the same
  Finish(Task());
  EXPECT_FALSE(Exists(uninstaller));
  EXPECT_FALSE(Exists(inner));
  EXPECT_FALSE(Exists(outer));
  EXPECT_EQ(system.dropped, (Paths{uninstaller, inner, outer}));
  EXPECT_TRUE(Logged("removed: file \"" + uninstaller + "\""));
  EXPECT_TRUE(Logged("helper: done"));
}

// Whatever is at the uninstaller's path by then is not the file that ran unless volume, index,
// size and last-write time all match: it stays, and so must it at the restart.
TEST_F(SelfRemovalTest, KeepsAnotherFileInTheUninstallersPlace) {
  const struct {
    const char* what;
    void (*change)(const std::string& path);
  } changes[] = {
      {"another file renamed over it",
       [](const std::string& path) {
         WriteFileBytes(path + ".new", "the uninstaller that ran");
         MoveFileExA((path + ".new").c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
       }},
      {"rewritten in place", [](const std::string& path) { WriteFileBytes(path, "planted"); }},
      {"the same size, written later",
       [](const std::string& path) {
         const win::FileHandle file(CreateFileA(path.c_str(),
                                                FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, 0,
                                                nullptr, OPEN_EXISTING, 0, nullptr));
         FILETIME written{};
         GetFileTime(file.get(), nullptr, nullptr, &written);
         written.dwHighDateTime += 1;  // some seven minutes later
         SetFileTime(file.get(), nullptr, nullptr, &written);
       }},
  };
  for (const auto& change : changes) {
    SCOPED_TRACE(change.what);
    WriteFileBytes(uninstaller, "the uninstaller that ran");
    const uninstall::HelperTask task = Task();
    change.change(uninstaller);
    const std::string now = ReadFileBytes(uninstaller);
    system.dropped.clear();
    Finish(task);
    EXPECT_EQ(ReadFileBytes(uninstaller), now);
    EXPECT_TRUE(Exists(outer));
    EXPECT_EQ(system.dropped, Paths{uninstaller});  // the folders are not empty: no change there
  }
  EXPECT_EQ(Logged("kept: file \"" + uninstaller + "\" (not the uninstaller that ran)"), 3u);
}

TEST_F(SelfRemovalTest, AnUninstallerStillInUseIsLeftToTheRestart) {
  const uninstall::HelperTask task = Task();
  const win::FileHandle held(CreateFileA(uninstaller.c_str(), GENERIC_READ, FILE_SHARE_READ,
                                         nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(held);
  Finish(task);
  EXPECT_TRUE(Exists(uninstaller));
  EXPECT_TRUE(system.dropped.empty());
  EXPECT_TRUE(Logged("not removed: file \"" + uninstaller + "\" (system error "));
}

// A folder renamed away and another one made under its name: the new one is not the folder the
// installer created, though empty; the old one, still holding the uninstaller, is not touched.
TEST_F(SelfRemovalTest, KeepsAFolderThatIsNoLongerTheOneNamed) {
  const uninstall::HelperTask task = Task();
  const std::string moved = outer + "\\moved";
  ASSERT_TRUE(MoveFileA(inner.c_str(), moved.c_str()));
  CreateDirectoryA(inner.c_str(), nullptr);
  Finish(task);
  EXPECT_TRUE(Exists(inner));
  EXPECT_TRUE(Exists(moved + "\\Uninstaller.exe"));
  EXPECT_EQ(system.dropped, Paths{inner});  // nor may the restart remove the new one
  EXPECT_TRUE(Logged("kept: folder \"" + inner + "\" (no longer the folder it was)"));
  EXPECT_TRUE(Logged("kept: folder \"" + outer + "\" (not empty)"));
}

TEST_F(SelfRemovalTest, KeepsAFolderThatIsNotEmpty) {
  WriteFileBytes(inner + "\\notes.txt", "the user's own");
  Finish(Task());
  EXPECT_FALSE(Exists(uninstaller));
  EXPECT_EQ(ReadFileBytes(inner + "\\notes.txt"), "the user's own");
  EXPECT_EQ(system.dropped, Paths{uninstaller});
  EXPECT_TRUE(Logged("kept: folder \"" + inner + "\" (not empty)"));
}

// A folder that cannot be opened when the task is made is not named to the helper at all.
TEST_F(SelfRemovalTest, AFolderGoneBeforeTheHelperStartsIsLeftToTheRestart) {
  const std::string gone = temp / "gone";
  const uninstall::HelperTask task = uninstall::TaskFor(
      {uninstaller, uninstall::IdentityOf(uninstaller).value(), {inner, gone, outer}});
  EXPECT_EQ(task, Task());
  Finish(task);
  EXPECT_EQ(system.dropped, (Paths{uninstaller, inner, outer}));
}

// While another installation or uninstallation holds the guard, the helper changes nothing; once
// the guard is free, it does its work.
TEST_F(SelfRemovalTest, LeavesEverythingToTheRestartWhileAnotherInstallationRuns) {
  for (const bool machine : {false, true}) {
    SCOPED_TRACE(machine ? "the machine's guard" : "a stand-in guard");
    std::optional<base::SingleInstance> other;
    if (machine) {
      other.emplace();
      ASSERT_TRUE(other->Held());
    }
    system.guard = machine ? TestHelperSystem::Guard::kMachine
                           : TestHelperSystem::Guard::kHeldElsewhere;
    Finish(Task());
    EXPECT_TRUE(Exists(uninstaller));
    EXPECT_TRUE(Exists(inner));
    EXPECT_TRUE(system.dropped.empty());
  }
  EXPECT_EQ(Logged("helper: an installation or uninstallation runs; the uninstaller and its "
                   "folders go at the next restart"),
            2u);
  EXPECT_FALSE(Logged("helper: done"));

  TestHelperSystem later;
  later.guard = TestHelperSystem::Guard::kMachine;
  uninstall::FinishSelfRemoval(Task(), later, log);
  EXPECT_FALSE(Exists(outer));
  EXPECT_TRUE(Logged("helper: done"));
}

// The command line the uninstaller starts its helper with, read back as the helper reads it.
TEST(HelperCommandLineTest, TheHelperReadsWhatTheUninstallerWrote) {
  constexpr std::uint64_t kMost = std::numeric_limits<std::uint64_t>::max();
  const std::string folder = "C:\\Program Files\\\xCA\xEE\xF0\xE2\xF3 5";  // cp1251 "Корву"
  const uninstall::HelperTask task{
      folder + "\\Uninstaller.exe",
      {{0xFFFFFFFFul, kMost}, kMost - 1, 0x01DA2B3C4D5E6F70ull},
      {{folder, {0xFFFFFFFFul, std::uint64_t{1} << 40}}, {"C:\\Program Files", {7, 5}}}};
  const HANDLE process = reinterpret_cast<HANDLE>(std::uintptr_t{0x2C4});
  for (const HANDLE log : {reinterpret_cast<HANDLE>(std::uintptr_t{0x1F0}), HANDLE{nullptr}}) {
    const std::wstring line = uninstall::HelperCommandLine(
        L"C:\\Windows\\Temp\\Uninstall helper 12-1\\Uninstaller.exe", process, log, task);
    const dt::CommandLine parsed = dt::ParseCommandLine(line, dt::kUninstallerSwitches);
    ASSERT_TRUE(parsed.helper) << win::WideToUtf8(line);
    const std::optional<uninstall::HelperCall> call = uninstall::HelperCallFrom(*parsed.helper);
    ASSERT_TRUE(call) << win::WideToUtf8(line);
    EXPECT_EQ(call->process, process);
    EXPECT_EQ(call->log, log);
    EXPECT_EQ(call->task, task);
  }
}

TEST(HelperCommandLineTest, ArgumentsThatAreNotTheHelpersAreRefused) {
  using Arguments = std::vector<std::wstring>;
  const std::wstring path = L"C:\\Korvu\\Uninstaller.exe";
  EXPECT_TRUE(uninstall::HelperCallFrom({L"12", L"0", L"1:2:3:4", path}));
  for (const Arguments& bad : {Arguments{L"12", L"0", L"1:2:3:4"},
                               Arguments{L"0", L"0", L"1:2:3:4", path},
                               Arguments{L"12x", L"0", L"1:2:3:4", path},
                               Arguments{L"12", L"0", L"1:2:3", path}}) {
    EXPECT_FALSE(uninstall::HelperCallFrom(bad)) << win::WideToUtf8(bad[0] + L" " + bad[2]);
  }
  // A folder whose id cannot be read is left out, and so is a last id without its folder.
  const auto call = uninstall::HelperCallFrom(
      {L"12", L"0", L"1:2:3:4", path, L"x", L"C:\\A", L"5:6", L"C:\\B", L"7:8"});
  ASSERT_TRUE(call);
  EXPECT_EQ(call->task.folders, (std::vector<uninstall::HelperFolder>{{"C:\\B", {5, 6}}}));
}

// The helper works only for the uninstaller that started it: the first handle must be a
// process's, or it ends at once with exit code 1.
// The helper's copy is made only of the file that ran, read through a handle checked to reach it:
// the uninstaller's folder may be open to the user, who could have put another program at its
// name, which the elevated uninstaller would then copy into its folder and start.
TEST(StartSelfRemovalTest, CopiesOnlyTheFileThatRan) {
  const std::string self = win::ProgramFilePath().value_or(std::string());
  std::optional<uninstall::FileIdentity> other = uninstall::IdentityOf(self);
  ASSERT_TRUE(other);
  other->size += 1;  // as if another file were at the program's name now
  testing_support::TempFolder temp;
  base::ProgramLog log = base::ProgramLog::OpenFile(win::AnsiToWide(temp / "log.txt"));
  EXPECT_FALSE(uninstall::StartSelfRemoval({self, *other, {}}, log));
  const std::string logged = ReadFileBytes(temp / "log.txt");
  EXPECT_NE(logged.find("the helper could not be copied (system error " +
                        std::to_string(ERROR_FILE_INVALID) + ")"),
            std::string::npos)
      << logged;
}

TEST(RunHelperTest, EndsWithExitCode1WhenNotStartedByTheUninstaller) {
  testing_support::TempFolder temp;
  const std::string path = temp / "Uninstaller.exe";
  WriteFileBytes(path, "the uninstaller that ran");
  EXPECT_EQ(uninstall::RunHelper({}), 1);
  // An event, signalled, in the process's place (RunHelper closes it).
  const HANDLE event = CreateEventW(nullptr, TRUE, TRUE, nullptr);
  const std::wstring line = uninstall::HelperCommandLine(
      L"Uninstaller.exe", event, nullptr, {path, uninstall::IdentityOf(path).value(), {}});
  EXPECT_EQ(uninstall::RunHelper(*dt::ParseCommandLine(line, dt::kUninstallerSwitches).helper), 1);
  EXPECT_TRUE(Exists(path));
}

}  // namespace
