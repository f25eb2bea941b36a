// The real Setup.exe installs the demo product with the real Uninstaller.exe in it, and that
// uninstaller removes it again, as "Apps & Features" or a deployment tool would start it.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "core/archive_writer.h"
#include "core/install_record.h"
#include "driver.h"
#include "e2e/distribution_fixture.h"
#include "support/held_file.h"
#include "support/registry_value_guard.h"
#include "win32/wide_text.h"

namespace {

using namespace std::chrono_literals;
using testing_support::Exists;
using testing_support::FromUnixPath;
using testing_support::HklmString;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

constexpr char kSessionManager[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";

class Uninstall : public testing_support::DistributionTest {
 protected:
  // The demo product with the real uninstaller in it, installed without a person; with or
  // without the stand-in registration tools (which leave their own files behind).
  // `extra` filler files of 4 KiB make the removal last.
  void Install(bool tools = true, int extra = 0) {
    std::vector<std::pair<std::string, std::string>> files = {
        {"%InstallDir%\\Maps\\GeoDict.DCT", "dictionary"},
        {"%InstallDir%\\KORVU50.DLL", "library"},
        {"%InstallDir%\\Uninstaller.exe", ReadFileBytes(FromUnixPath(UNINSTALLER_EXE))}};
    if (tools) {
      files.push_back({"%InstallDir%\\REGSVR32.EXE", tool});
      files.push_back({"%InstallDir%\\RegTypLib.exe", tool});
      files.push_back({"%InstallDir%\\kdatasetint.tlb", "type library"});
    }
    for (int i = 0; i < extra; ++i) {
      files.emplace_back("%InstallDir%\\many\\f" + std::to_string(i), std::string(4096, 'x'));
    }
    Archive("ProgramFiles.dt", files);
    Archive("SystemFiles.dt", {{"%InstallDir%\\Maps\\GeoDict.DCT", "not this one"},
                               {"%InstallDir%\\System\\korvu.sys", "system file"}});
    const std::string dir = folder.size() == 2 ? folder + "\\" : folder;  // a drive's root
    driver::SetupProcess setup(dist + "\\Setup.exe",
                               L"/VERYSILENT \"/DIR=" + win::AnsiToWide(dir) + L"\"");
    ASSERT_EQ(setup.WaitForExit(60s), 0u);
    ASSERT_TRUE(Exists(folder + "\\Uninstaller.dat"));
  }
  // Runs the installed uninstaller; its exit code.
  std::optional<DWORD> Uninstaller(const std::wstring& arguments) {
    driver::SetupProcess uninstaller(folder + "\\Uninstaller.exe",
                                     arguments + L" \"/LOG=" + win::AnsiToWide(log) + L"\"");
    return uninstaller.WaitForExit(60s);
  }
  std::string Log() const { return win::Utf8ToAnsi(ReadFileBytes(log)); }
  // The helper has removed the uninstaller (and the log says it is done).
  bool HelperDone() const {
    return !Exists(folder + "\\Uninstaller.exe") &&
           Log().find("helper: done") != std::string::npos;
  }

  // A visible window of the process with this caption and window class.
  static HWND Shown(const driver::SetupProcess& process, const std::wstring& caption,
                    const wchar_t* windowClass) {
    for (HWND window : process.VisibleWindows()) {
      wchar_t name[64] = L"";
      GetClassNameW(window, name, 64);
      if (driver::TextOf(window) == caption && std::wstring(name) == windowClass) return window;
    }
    return nullptr;
  }

  std::string folder = DistributionTest::folder;  // where this test installs
  const std::string log = temp / "uninstall log.txt";
  // The deletes the uninstaller leaves to the next restart go back as they were.
  const testing_support::RegistryValueGuard pending{HKEY_LOCAL_MACHINE, kSessionManager,
                                                    "PendingFileRenameOperations"};
};

// Everything the installation wrote goes, and nothing else: a foreign file in a folder the
// installer did not create stays, as does the folder; a file changed since the installation is
// kept and reported. The running uninstaller is left to the next restart.
TEST_F(Uninstall, VerySilentRemovesWhatTheRecordListsAndNothingElse) {
  CreateDirectoryA((temp / "Program Files").c_str(), nullptr);
  WriteFileBytes(temp / "Program Files\\foreign.txt", "not ours");
  Install();
  WriteFileBytes(folder + "\\Maps\\mine.txt", "the user's own");
  WriteFileBytes(folder + "\\KORVU50.DLL", "changed since");

  int windowsSeen = 0;
  {
    driver::SetupProcess uninstaller(folder + "\\Uninstaller.exe",
                                     L"/VERYSILENT \"/LOG=" + win::AnsiToWide(log) + L"\"");
    while (uninstaller.Running()) {
      windowsSeen += static_cast<int>(uninstaller.VisibleWindows().size());
      Sleep(10);
    }
    EXPECT_EQ(uninstaller.WaitForExit(), 0u) << Log();
  }
  EXPECT_EQ(windowsSeen, 0);
  EXPECT_TRUE(driver::WaitFor([&] { return HelperDone(); })) << Log();
  EXPECT_EQ(ReadFileBytes(temp / "Program Files\\foreign.txt"), "not ours");
  EXPECT_EQ(ReadFileBytes(folder + "\\Maps\\mine.txt"), "the user's own");
  EXPECT_EQ(ReadFileBytes(folder + "\\KORVU50.DLL"), "changed since");
  for (const char* gone : {"\\Maps\\GeoDict.DCT", "\\REGSVR32.EXE", "\\RegTypLib.exe",
                           "\\System\\korvu.sys", "\\System", "\\Uninstaller.dat",
                           "\\Uninstaller.ini"}) {
    EXPECT_FALSE(Exists(folder + gone)) << gone;
  }
  EXPECT_TRUE(Exists(folder + "\\Maps"));  // not empty: kept
  EXPECT_FALSE(HklmString(testing_support::kUninstallKey, "DisplayName"));
  HKEY fendaro = nullptr;
  EXPECT_NE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Fendaro", 0, KEY_READ, &fendaro),
            ERROR_SUCCESS);
  if (fendaro) RegCloseKey(fendaro);
  const std::string text = Log();
  EXPECT_NE(text.find("kept: file \"" + folder + "\\KORVU50.DLL\" (changed since the installation)"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("result: removed; exit code 0"), std::string::npos) << text;
}

// A record changed after the installation, a command line of the installer's and a second
// uninstaller while one runs change nothing.
TEST_F(Uninstall, AChangedRecordOrABadCommandLineChangesNothing) {
  Install();
  EXPECT_EQ(Uninstaller(L"/VERYSILENT /DIR=C:\\x"), 1u);
  EXPECT_EQ(Uninstaller(L"/VERYSILENT /SP-"), 1u);
  std::string record = ReadFileBytes(folder + "\\Uninstaller.dat");
  record[record.size() / 3] ^= 1;
  WriteFileBytes(folder + "\\Uninstaller.dat", record);
  EXPECT_EQ(Uninstaller(L"/VERYSILENT"), 3u);
  EXPECT_EQ(ReadFileBytes(folder + "\\Maps\\GeoDict.DCT"), "dictionary");
  EXPECT_EQ(HklmString(testing_support::kUninstallKey, "DisplayName"),
            "Korvu v5.02 build Ostelan");
}

// After an installation into a folder that others can write, lines naming a file of the Windows
// folder (its true size and time) and an empty folder there as created are added to the record;
// then an administrator repairs the installation, which appends to the record and anchors all of
// it. The uninstaller removes the product and keeps both.
TEST_F(Uninstall, ARepairDoesNotVouchForLinesAddedToTheRecordBeforeIt) {
  Install(/*tools=*/false);
  char windows[MAX_PATH];
  GetWindowsDirectoryA(windows, MAX_PATH);
  const std::string file = std::string(windows) + "\\korvu-e2e-test.ini";
  const std::string emptyFolder = std::string(windows) + "\\korvu-e2e-test";
  WriteFileBytes(file, "the system's");
  ASSERT_TRUE(CreateDirectoryA(emptyFolder.c_str(), nullptr));
  WIN32_FILE_ATTRIBUTE_DATA data{};
  ASSERT_TRUE(GetFileAttributesExA(file.c_str(), GetFileExInfoStandard, &data));
  char time[17];
  std::snprintf(time, sizeof time, "%08lx%08lx", data.ftLastWriteTime.dwHighDateTime,
                data.ftLastWriteTime.dwLowDateTime);
  const std::string record = folder + "\\Uninstaller.dat";
  WriteFileBytes(record, ReadFileBytes(record) +
                             dt::FormatRecordLine(dt::kRecordFilePending, {file}) +
                             dt::FormatRecordLine(dt::kRecordFile, {file, "created", "12", time}) +
                             dt::FormatRecordLine(dt::kRecordFolderPending, {emptyFolder}) +
                             dt::FormatRecordLine(dt::kRecordFolder, {emptyFolder}));
  Install(/*tools=*/false);

  EXPECT_EQ(Uninstaller(L"/VERYSILENT"), 0u) << Log();
  EXPECT_TRUE(driver::WaitFor([&] { return HelperDone(); })) << Log();
  EXPECT_EQ(ReadFileBytes(file), "the system's");
  EXPECT_TRUE(Exists(emptyFolder));
  EXPECT_FALSE(Exists(folder + "\\KORVU50.DLL"));
  EXPECT_NE(Log().find("kept: file \"" + file + "\" (not vouched for by the anchored record)"),
            std::string::npos)
      << Log();
  DeleteFileA(file.c_str());
  RemoveDirectoryA(emptyFolder.c_str());
}

// The restart's pending renames and deletes, '|' between the strings.
std::string PendingDeletes() {
  char data[65536];
  DWORD size = sizeof data;
  if (RegGetValueA(HKEY_LOCAL_MACHINE, kSessionManager, "PendingFileRenameOperations",
                   RRF_RT_REG_MULTI_SZ, nullptr, data, &size) != ERROR_SUCCESS) {
    return {};
  }
  std::string text(data, size);
  for (char& c : text) {
    if (c == '\0') c = '|';
  }
  return text;
}

// The helper's copies, in the system's temporary folder until the next restart.
std::string HelperFolderPrefix() {
  char windows[MAX_PATH];
  const UINT n = GetSystemWindowsDirectoryA(windows, MAX_PATH);
  std::string prefix = std::string(windows, n) + "\\temp\\uninstall helper ";
  CharLowerA(prefix.data());
  return prefix;
}

// Every file (path, size, last-write time) and every folder of drive C: but the temporary
// folder, where the logs and the distribution are, and the helper's copies.
std::map<std::string, std::string> DriveListing() {
  char tempPath[MAX_PATH];
  GetTempPathA(MAX_PATH, tempPath);
  std::string tempFolder = tempPath;
  if (!tempFolder.empty() && tempFolder.back() == '\\') tempFolder.pop_back();
  CharLowerA(tempFolder.data());
  const std::string helpers = HelperFolderPrefix();
  std::map<std::string, std::string> listing;
  std::vector<std::string> folders = {"C:"};
  while (!folders.empty()) {
    const std::string folder = folders.back();
    folders.pop_back();
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) continue;
    do {
      const std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      const std::string path = folder + "\\" + name;
      std::string lower = path;
      CharLowerA(lower.data());
      if (lower == tempFolder || lower.rfind(helpers, 0) == 0) continue;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        listing[lower] = "folder";
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) folders.push_back(path);
      } else {
        listing[lower] = std::to_string(found.nFileSizeLow) + " " +
                         std::to_string(found.ftLastWriteTime.dwLowDateTime) + ":" +
                         std::to_string(found.ftLastWriteTime.dwHighDateTime);
      }
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  return listing;
}

// Installed into the root of drive C: and into folders of its own, then uninstalled: the drive
// is as it was, the uninstaller's file and the folders that held it removed by the helper after
// the uninstaller ended, and their restart entries gone again. (Without the stand-in tools, whose
// records of their command lines are files of their own.)
TEST_F(Uninstall, InstallThenUninstallLeavesDriveCAsItWas) {
  for (const char* into : {"C:\\", "C:\\Korvu drive test\\Korvu"}) {
    SCOPED_TRACE(into);
    const std::map<std::string, std::string> before = DriveListing();
    folder = into;
    if (folder.back() == '\\') folder.pop_back();  // "C:", for the paths below it
    Install(/*tools=*/false);
    ASSERT_NE(before, DriveListing());
    EXPECT_EQ(Uninstaller(L"/VERYSILENT"), 0u) << Log();
    EXPECT_TRUE(driver::WaitFor([&] { return HelperDone(); })) << Log();
    driver::WaitFor([&] { return !Exists("C:\\Korvu drive test"); }, 5s);
    // The helper ran from a folder of the system's temporary folder, named at random.
    std::string logged = Log();
    CharLowerA(logged.data());
    EXPECT_NE(logged.find("the helper \"" + HelperFolderPrefix()), std::string::npos) << Log();
    const std::map<std::string, std::string> after = DriveListing();
    for (const auto& [path, what] : after) {
      if (!before.count(path)) ADD_FAILURE() << "left: " << path;
    }
    for (const auto& [path, what] : before) {
      const auto now = after.find(path);
      if (now == after.end()) {
        ADD_FAILURE() << "gone: " << path;
      } else if (now->second != what) {
        ADD_FAILURE() << "changed: " << path;
      }
    }
    const std::string pending = PendingDeletes();
    EXPECT_EQ(pending.find("\\??\\" + folder + "\\Uninstaller.exe|"), std::string::npos)
        << pending;
    EXPECT_EQ(pending.find("Korvu drive test"), std::string::npos) << pending;
    DeleteFileA(log.c_str());
  }
}

// With a person: the question, then the progress window with its heading, then the final box
// that names what was kept.
TEST_F(Uninstall, WithAPersonTheQuestionTheProgressWindowAndTheFinalBox) {
  Install(/*tools=*/true, /*extra=*/200);
  WriteFileBytes(folder + "\\Maps\\mine.txt", "the user's own");
  driver::SetupProcess uninstaller(folder + "\\Uninstaller.exe", L"");
  HWND question = uninstaller.AwaitTopWindow(L"Подтверждение");
  ASSERT_TRUE(question);
  EXPECT_TRUE(driver::FindChild(question, L"Удалить программу\r\"Korvu v5.02 build Ostelan\" и все "
                                          L"её компоненты?"));
  driver::Click(driver::FindChild(question, L"OK"));
  bool progressSeen = false;
  HWND box = nullptr;
  ASSERT_TRUE(driver::WaitFor(
      [&] {
        if (HWND window = Shown(uninstaller, L"Удаление программы", L"TFormMain")) {
          progressSeen = progressSeen || driver::FindChild(window, L"Процесс удаления программы.");
        }
        return (box = Shown(uninstaller, L"Удаление программы", L"#32770")) != nullptr;
      },
      60s, 1ms))
      << "no final box";
  EXPECT_TRUE(progressSeen);
  EXPECT_TRUE(driver::FindChild(box, L"Программа \"Korvu v5.02 build Ostelan\" удалена с "
                                     L"компьютера.\r\rНе удалены:\r" +
                                     win::AnsiToWide(folder) + L"\\Maps"));
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(uninstaller.WaitForExit(), 0u);
  EXPECT_TRUE(driver::WaitFor([&] { return !Exists(folder + "\\Uninstaller.exe"); }));
}

// /SILENT: no question and no final box, only the progress window.
TEST_F(Uninstall, SilentShowsOnlyTheProgressWindow) {
  Install(/*tools=*/true, /*extra=*/200);
  driver::SetupProcess uninstaller(folder + "\\Uninstaller.exe",
                                   L"/SILENT \"/LOG=" + win::AnsiToWide(log) + L"\"");
  bool progressSeen = false, boxSeen = false;
  while (uninstaller.Running()) {
    progressSeen = progressSeen || Shown(uninstaller, L"Удаление программы", L"TFormMain");
    for (HWND window : uninstaller.VisibleWindows()) {
      wchar_t name[64] = L"";
      GetClassNameW(window, name, 64);
      boxSeen = boxSeen || std::wstring(name) == L"#32770";
    }
    Sleep(1);
  }
  EXPECT_EQ(uninstaller.WaitForExit(), 0u) << Log();
  EXPECT_TRUE(progressSeen);
  EXPECT_FALSE(boxSeen);
  EXPECT_TRUE(driver::WaitFor([&] { return HelperDone(); })) << Log();
}

// The installer and the uninstaller exclude each other: while one waits for its person, the
// other ends with 6 and changes nothing.
TEST_F(Uninstall, TheInstallerAndTheUninstallerExcludeEachOther) {
  Install();
  {
    driver::SetupProcess wizard(dist + "\\Setup.exe");
    ASSERT_TRUE(wizard.AwaitTopWindow(L"Установка программы"));
    EXPECT_EQ(Uninstaller(L"/VERYSILENT"), 6u);
    EXPECT_TRUE(Exists(folder + "\\Uninstaller.dat"));
    driver::Click(driver::FindChild(wizard.MainWindow(), L"Отмена", L"Button"));
    EXPECT_EQ(wizard.WaitForExit(), 2u);
  }
  driver::SetupProcess uninstaller(folder + "\\Uninstaller.exe", L"");
  HWND question = uninstaller.AwaitTopWindow(L"Подтверждение");
  ASSERT_TRUE(question);
  driver::SetupProcess setup(dist + "\\Setup.exe", L"/VERYSILENT \"/DIR=" +
                                                       win::AnsiToWide(folder) + L"\"");
  EXPECT_EQ(setup.WaitForExit(60s), 6u);
  driver::Click(driver::FindChild(question, L"Отмена"));
  EXPECT_EQ(uninstaller.WaitForExit(), 2u);
  EXPECT_EQ(ReadFileBytes(folder + "\\Maps\\GeoDict.DCT"), "dictionary");
}

// A file that another program holds without delete sharing is tried for a while, then left to
// the next restart: exit code 3010.
TEST_F(Uninstall, AHeldFileIsLeftToTheRestart) {
  Install();
  testing_support::HeldFile held(folder + "\\KORVU50.DLL");
  ASSERT_TRUE(held.held());
  EXPECT_EQ(Uninstaller(L"/VERYSILENT"), 3010u) << Log();
  const std::string pending = PendingDeletes();
  EXPECT_NE(pending.find("KORVU50.DLL"), std::string::npos) << pending;
  EXPECT_NE(Log().find("result: removed; a restart completes the removal; exit code 3010"),
            std::string::npos)
      << Log();
  EXPECT_TRUE(driver::WaitFor([&] { return HelperDone(); })) << Log();
}

}  // namespace
