// The real Setup.exe started with a command line, as deployment tools start it: the switches, the
// exit codes, the single-instance guard and the installation log.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/archive_writer.h"
#include "core/bundle_format.h"
#include "core/install_record.h"
#include "driver.h"
#include "e2e/distribution_fixture.h"
#include "setup/run/install_fixture.h"
#include "support/held_file.h"
#include "support/temp_folder.h"
#include "win32/handles.h"
#include "win32/sha256.h"
#include "win32/wide_text.h"

namespace {

using namespace std::chrono_literals;
using testing_support::Exists;
using testing_support::FromUnixPath;
using testing_support::HeldFile;
using testing_support::HklmString;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

using testing_support::kSettingsKey;
using testing_support::kUninstallKey;

std::wstring W(const std::string& ansi) {
  return win::AnsiToWide(ansi);
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class Unattended : public testing_support::DistributionTest {
 protected:
  void SetUp() override {
    DistributionTest::SetUp();
    logsBefore = DefaultLogs();
  }
  void TearDown() override {
    DistributionTest::TearDown();
    for (const std::string& log : NewDefaultLogs()) DeleteFileA(log.c_str());
  }

  // The logs in the default place ("Setup Log *" in the temporary folder).
  static std::vector<std::string> DefaultLogs() {
    std::vector<std::string> names;
    char base[MAX_PATH];
    GetTempPathA(MAX_PATH, base);
    WIN32_FIND_DATAA found;
    const win::FindHandle search(
        FindFirstFileA((std::string(base) + "Setup Log *").c_str(), &found));
    if (search) {
      do names.push_back(std::string(base) + found.cFileName);
      while (FindNextFileA(search.get(), &found));
    }
    return names;
  }
  // Those made since the test began.
  std::vector<std::string> NewDefaultLogs() const {
    std::vector<std::string> created;
    for (const std::string& name : DefaultLogs()) {
      if (std::find(logsBefore.begin(), logsBefore.end(), name) == logsBefore.end()) {
        created.push_back(name);
      }
    }
    return created;
  }

  // Runs Setup.exe with the arguments to its end (no window expected); its exit code.
  std::optional<DWORD> Run(const std::wstring& arguments, std::chrono::milliseconds limit = 60s) {
    driver::SetupProcess setup(dist + "\\Setup.exe", arguments);
    return setup.WaitForExit(limit);
  }
  // The installed product is all there.
  void ExpectInstalled(const std::string& into) {
    EXPECT_EQ(ReadFileBytes(into + "\\Maps\\GeoDict.DCT"), "dictionary");
    EXPECT_EQ(ReadFileBytes(into + "\\System\\korvu.sys"), "system file");
    EXPECT_EQ(HklmString(kSettingsKey, "ProgramDir"), into);
    EXPECT_EQ(HklmString(kUninstallKey, "DisplayName"), "Korvu v5.02 build Ostelan");
    EXPECT_EQ(ReadFileBytes(into + "\\Uninstaller.ini"),
              "[program]\r\nProgName=Korvu v5.02 build Ostelan\r\nInstallDir=" + into + "\r\n");
    // The tools have ended before the installer did: their records are there already.
    EXPECT_EQ(ReadFileBytes(into + "\\REGSVR32.EXE.cmdline"),
              "\"" + into + "\\REGSVR32.EXE\" /s \"" + into + "\\KORVU50.DLL\"");
    EXPECT_EQ(ReadFileBytes(into + "\\RegTypLib.exe.cmdline"),
              "\"" + into + "\\RegTypLib.exe\" \"" + into + "\\kdatasetint.tlb\"");
  }
  static HWND Button(HWND main, const wchar_t* text) {
    HWND found = nullptr;
    driver::WaitFor([&] { return (found = driver::FindChild(main, text, L"Button")) != nullptr; });
    return found;
  }

  const std::string logFile = temp / "setup log.txt";
  std::vector<std::string> logsBefore;
};

TEST_F(Unattended, VerySilentInstallsWithoutAnyWindowAndLogsEveryStep) {
  DemoArchives(300);
  WriteFileBytes(temp / "kept", "");
  driver::SetupProcess setup(dist + "\\Setup.exe",
                             L"-verysilent /NORESTART /SUPPRESSMSGBOXES /SP- \"/DIR=" + W(folder) +
                                 L"\" \"/log=" + W(logFile) + L"\"");
  int windowsSeen = 0;
  while (setup.Running()) {
    windowsSeen += static_cast<int>(setup.VisibleWindows().size());
    Sleep(10);
  }
  EXPECT_EQ(windowsSeen, 0) << "a visible window showed";
  EXPECT_EQ(setup.WaitForExit(), 0u);
  ExpectInstalled(folder);

  const std::string log = win::Utf8ToAnsi(ReadFileBytes(logFile));
  for (const std::string& line : std::vector<std::string>{
           std::string("Setup of Korvu v5.02 build Ostelan"),
           "/SP- \"/DIR=" + folder + "\"",  // the command line as given
           std::string("mode /VERYSILENT"),
           "installation folder: \"" + folder + "\"",
           "archive \"" + dist + "\\ProgramFiles.dt\", ",
           std::string(", 305 entries, replacing existing files"),
           "entry \"%InstallDir%\\Maps\\GeoDict.DCT\" -> \"" + folder +
               "\\Maps\\GeoDict.DCT\", 10 bytes: written",
           "\\Maps\\GeoDict.DCT\", 12 bytes: kept (the file exists)",
           "registry value HKLM\\SOFTWARE\\Fendaro\\Korvu\\5.0\\ProgramDir = \"" + folder + "\"",
           "tool started: \"" + folder + "\\REGSVR32.EXE\" /s",
           "tool ended with exit code 0: \"" + folder + "\\RegTypLib.exe\"",
           "INI value [program] InstallDir=" + folder,
           std::string("result: installation completed; exit code 0; duration "),
       }) {
    EXPECT_TRUE(Contains(log, line)) << "no log line with: " << line << "\nlog:\n" << log;
  }
  // Each line begins with the local date and time to the millisecond.
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, ms = 0;
  EXPECT_EQ(std::sscanf(log.c_str(), "%4d-%2d-%2d %2d:%2d:%2d.%3d ", &year, &month, &day, &hour,
                        &minute, &second, &ms),
            7);

  // The installation record: whole, its anchored part as the uninstall entry's anchor says, and
  // listing what the run did.
  const std::string record = ReadFileBytes(folder + "\\Uninstaller.dat");
  const dt::RecordRead read = dt::ReadRecord(record);
  EXPECT_FALSE(read.damaged);
  EXPECT_FALSE(read.tornTail);
  const std::optional<std::string> anchorText = HklmString(kUninstallKey, "InstallRecord");
  ASSERT_TRUE(anchorText);
  const auto anchor = dt::ParseRecordAnchor(*anchorText);
  ASSERT_TRUE(anchor) << *anchorText;
  ASSERT_LE(anchor->length, record.size());
  const auto anchored = win::Sha256(std::string_view(record).substr(0, anchor->length));
  ASSERT_TRUE(anchored);
  EXPECT_EQ(dt::Sha256Hex(*anchored), anchor->sha256Hex);
  // Whether a line of the kind names the file and goes on with `then` (nothing: any fields).
  const auto listed = [&](std::string_view kind, const std::string& file,
                          std::optional<std::string> then = std::nullopt) {
    return std::any_of(read.lines.begin(), read.lines.end(), [&](const dt::RecordLine& line) {
      return line.kind == kind && !line.fields.empty() &&
             line.fields[0] == win::AnsiToUtf8(folder + "\\" + file) &&
             (!then || (line.fields.size() > 1 && line.fields[1] == *then));
    });
  };
  EXPECT_TRUE(listed(dt::kRecordFile, "Maps\\GeoDict.DCT", "created"));
  EXPECT_TRUE(listed(dt::kRecordKept, "Maps\\GeoDict.DCT"));  // of SystemFiles.dt
  for (const char* file : {"REGSVR32.EXE", "KORVU50.DLL"}) {
    const auto hash = win::Sha256(ReadFileBytes(folder + "\\" + file));
    ASSERT_TRUE(hash);
    EXPECT_TRUE(listed(dt::kRecordSha256, file, dt::Sha256Hex(*hash))) << file;
  }
}

// A one-file installer run unattended installs from its own file, never from the archives beside
// it, checks the disk space from the same archives, and its log names them inside the program.
TEST_F(Unattended, AOneFileInstallerInstallsSilentlyFromItsOwnFile) {
  DemoArchives();
  const std::string programFiles = ReadFileBytes(dist + "\\ProgramFiles.dt");
  const std::string systemFiles = ReadFileBytes(dist + "\\SystemFiles.dt");
  Archive("ProgramFiles.dt", {{"%InstallDir%\\Maps\\GeoDict.DCT", "beside"}});
  Archive("SystemFiles.dt", {{"%InstallDir%\\beside.txt", "beside"}});
  WriteFileBytes(dist + "\\Setup.exe", dt::BuildBundle(ReadFileBytes(FromUnixPath(SETUP_EXE)),
                                                       {programFiles, systemFiles}));
  EXPECT_EQ(Run(L"/VERYSILENT \"/DIR=" + W(folder) + L"\" \"/LOG=" + W(logFile) + L"\""), 0u);
  ExpectInstalled(folder);
  EXPECT_FALSE(Exists(folder + "\\beside.txt"));
  const std::string log = win::Utf8ToAnsi(ReadFileBytes(logFile));
  EXPECT_TRUE(Contains(log, "archive \"" + dist + "\\Setup.exe\\ProgramFiles.dt\", ")) << log;
  EXPECT_TRUE(Contains(log, "archive \"" + dist + "\\Setup.exe\\SystemFiles.dt\", ")) << log;
  EXPECT_TRUE(Contains(log, "disk space on \"")) << log;
}

TEST_F(Unattended, SilentShowsOnlyTheProgressPageIntoARussianFolderAndLogsToTheTempFolder) {
  DemoArchives(1000);
  const std::string russian = temp / win::WideToAnsi(L"Программы\\Корву 5");
  driver::SetupProcess setup(dist + "\\Setup.exe", L"/SILENT /DIR=\"" + W(russian) + L"\"");
  HWND main = setup.MainWindow();
  ASSERT_TRUE(main);
  EXPECT_TRUE(driver::FindChild(main, L"Процесс установки программы."));
  EXPECT_TRUE(driver::FindChild(main, L"Прервать", L"Button"));
  EXPECT_FALSE(driver::FindChild(main, L"Далее", L"Button"));
  EXPECT_FALSE(driver::FindChild(main, L"Начать", L"Button"));
  EXPECT_EQ(setup.WaitForExit(120s), 0u) << "the window did not close itself";
  ExpectInstalled(russian);

  // The log went to a new "Setup Log YYYY-MM-DD #NNN.txt" in the temporary folder.
  const std::vector<std::string> created = NewDefaultLogs();
  ASSERT_EQ(created.size(), 1u);
  const std::string log = win::Utf8ToAnsi(ReadFileBytes(created.front()));
  EXPECT_TRUE(Contains(log, "mode /SILENT")) << log;
  EXPECT_TRUE(Contains(log, "installation folder: \"" + russian + "\"")) << log;
  EXPECT_TRUE(Contains(log, "result: installation completed; exit code 0")) << log;
}

TEST_F(Unattended, SilentCancelAsksAndEndsWithCodeFive) {
  DemoArchives(1000);
  driver::SetupProcess setup(dist + "\\Setup.exe",
                             L"/SILENT \"/DIR=" + W(folder) + L"\" \"/LOG=" + W(logFile) + L"\"");
  HWND main = setup.MainWindow();
  ASSERT_TRUE(main);
  ASSERT_TRUE(
      driver::WaitFor([&] { return driver::FindChildWithPrefix(main, L"Файл: ") != nullptr; }));
  driver::Click(Button(main, L"Прервать"));
  HWND confirm = setup.AwaitTopWindow(L"Подтверждение");
  ASSERT_TRUE(confirm) << "no confirmation";
  driver::Click(driver::FindChild(confirm, L"OK", L"Button"));
  EXPECT_EQ(setup.WaitForExit(120s), 5u);
  EXPECT_FALSE(Exists(folder + "\\System\\korvu.sys"));  // the second archive was skipped
  const std::string log = ReadFileBytes(logFile);
  EXPECT_TRUE(Contains(log, "cancel requested")) << log;
  EXPECT_TRUE(Contains(log, "cancel confirmed")) << log;
  EXPECT_TRUE(Contains(log, "result: installation cancelled; exit code 5")) << log;
}

TEST_F(Unattended, SilentWriteErrorsAreRetriedWhileTheFileIsHeldThenAborted) {
  DemoArchives();
  CreateDirectoryA((temp / "Program Files").c_str(), nullptr);
  CreateDirectoryA(folder.c_str(), nullptr);
  const std::string target = folder + "\\KORVU50.DLL";
  WriteFileBytes(target, "old library");
  const std::wstring arguments =
      L"/VERYSILENT \"/DIR=" + W(folder) + L"\" \"/LOG=" + W(logFile) + L"\"";
  {
    // Released after a second: a later retry writes the file.
    HeldFile held(target);
    ASSERT_TRUE(held.held());
    driver::SetupProcess setup(dist + "\\Setup.exe", arguments);
    Sleep(1000);
    held.Release();
    EXPECT_EQ(setup.WaitForExit(30s), 0u);
    EXPECT_EQ(ReadFileBytes(target), "library");
    const std::string log = ReadFileBytes(logFile);
    EXPECT_TRUE(Contains(log, "KORVU50.DLL\". (system error 32), answer: Retry")) << log;
    EXPECT_TRUE(Contains(log, "KORVU50.DLL\", 7 bytes: written")) << log;
    EXPECT_EQ(testing_support::TemporaryFilesIn(folder), std::vector<std::string>{});
  }
  WriteFileBytes(target, "old library");
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Fendaro");
  {
    // Held throughout: ten retries half a second apart, then Abort; nothing is shown.
    HeldFile held(target);
    ASSERT_TRUE(held.held());
    const auto start = std::chrono::steady_clock::now();
    driver::SetupProcess setup(dist + "\\Setup.exe", arguments);
    int windowsSeen = 0;
    while (setup.Running() && std::chrono::steady_clock::now() - start < 30s) {
      windowsSeen += static_cast<int>(setup.VisibleWindows().size());
      Sleep(20);
    }
    EXPECT_EQ(setup.WaitForExit(), 4u);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 4500ms);
    EXPECT_EQ(windowsSeen, 0);
    held.Release();
    EXPECT_EQ(ReadFileBytes(target), "old library");
    const std::string log = ReadFileBytes(logFile);
    std::size_t retries = 0;
    for (std::size_t at = log.find("answer: Retry"); at != std::string::npos;
         at = log.find("answer: Retry", at + 1)) {
      ++retries;
    }
    EXPECT_EQ(retries, 10u) << log;
    EXPECT_TRUE(Contains(log, "(system error 32), answer: Abort")) << log;
    EXPECT_TRUE(Contains(log, "result: installation ended with an error; exit code 4")) << log;
    EXPECT_FALSE(HklmString(kSettingsKey, "ProgramDir"));
  }
}

// The wizard (here with /DIR and /LOG) asks about a held file; Retry once it is let go writes it.
TEST_F(Unattended, TheWizardAsksAboutAHeldFileAndRetryWritesIt) {
  DemoArchives();
  CreateDirectoryA((temp / "Program Files").c_str(), nullptr);
  CreateDirectoryA(folder.c_str(), nullptr);
  const std::string target = folder + "\\KORVU50.DLL";
  WriteFileBytes(target, "old library");
  HeldFile held(target);
  ASSERT_TRUE(held.held());
  driver::SetupProcess setup(dist + "\\Setup.exe",
                             L"\"/DIR=" + W(folder) + L"\" \"/LOG=" + W(logFile) + L"\"");
  HWND main = setup.MainWindow();
  ASSERT_TRUE(main);
  driver::Click(Button(main, L"Далее"));
  driver::Click(Button(main, L"Начать"));
  HWND question = setup.AwaitTopWindow(L"Подтверждение");
  ASSERT_TRUE(question) << "no write-error question";
  EXPECT_TRUE(driver::FindChild(question, L"Ошибка записи файла: \"" + W(target) + L"\"."));
  Sleep(1000);
  held.Release();
  driver::Click(driver::FindChild(question, L"&Повтор", L"Button"));
  ASSERT_TRUE(driver::WaitFor(
      [&] { return driver::FindChild(main, L"Установка программы завершена.") != nullptr; }));
  EXPECT_EQ(ReadFileBytes(target), "library");
  EXPECT_EQ(testing_support::TemporaryFilesIn(folder), std::vector<std::string>{});
  driver::Click(Button(main, L"Закрыть"));
  EXPECT_EQ(setup.WaitForExit(), 0u);
  const std::string log = ReadFileBytes(logFile);
  EXPECT_TRUE(Contains(log, "KORVU50.DLL\". (system error 32), answer: Retry")) << log;
  EXPECT_TRUE(Contains(log, "KORVU50.DLL\", 7 bytes: written")) << log;
}

TEST_F(Unattended, TooLittleSpaceEndsWithSevenAndAFullDiskAbortsAtOnce) {
  const char* drive = std::getenv("SETUP_TINY_DRIVE");
  if (!drive) GTEST_SKIP() << "no tiny drive (needs root)";
  const std::string into = std::string(drive) + "\\korvu";
  // More than the drive holds: the check ends the run before anything is unpacked.
  Archive("ProgramFiles.dt", {{"%InstallDir%\\big.bin", std::string(256 * 1024, 'b')}});
  EXPECT_EQ(Run(L"/VERYSILENT /DIR=" + W(into) + L" \"/LOG=" + W(logFile) + L"\""), 7u);
  EXPECT_FALSE(Exists(into + "\\big.bin"));
  std::string log = ReadFileBytes(logFile);
  EXPECT_TRUE(
      Contains(log, "not enough disk space on \"" + std::string(drive) + "\\\": needed 1 MB"))
      << log;
  EXPECT_TRUE(Contains(log, "exit code 7")) << log;

  // Small files whose bytes fit but whose blocks do not: the check lets the run go, and the
  // first write that finds the disk full ends it at once.
  std::vector<std::pair<std::string, std::string>> files;
  for (int i = 0; i < 40; ++i) files.emplace_back("%InstallDir%\\f" + std::to_string(i), "small");
  Archive("ProgramFiles.dt", files);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Run(L"/VERYSILENT /DIR=" + W(into) + L" \"/LOG=" + W(logFile) + L"\""), 4u);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 4s);  // no retries
  log = ReadFileBytes(logFile);
  EXPECT_TRUE(Contains(log, "(system error 112), answer: Abort")) << log;
  EXPECT_TRUE(Contains(log, "exit code 4")) << log;
}

TEST_F(Unattended, ExitCodesOfFailedSilentRuns) {
  // A folder that cannot be created: 3, nothing unpacked.
  DemoArchives();
  WriteFileBytes(temp / "a-file", "x");
  EXPECT_EQ(Run(L"/S \"/DIR=" + W(temp / "a-file") + L"\" \"/LOG=" + W(logFile) + L"\""), 3u);
  const std::string folderLog = ReadFileBytes(logFile);
  EXPECT_TRUE(Contains(folderLog,
                       "the installation folder cannot be created or is not a folder (system error "
                       "183): " +
                           win::WideToUtf8(L"Ошибка создания директории. Укажите другое имя.") +
                           "; nothing installed\r\n"))
      << folderLog;
  EXPECT_FALSE(HklmString(kSettingsKey, "ProgramDir"));

  // A malformed archive: 4, with the error text in the log.
  WriteFileBytes(dist + "\\ProgramFiles.dt", std::string("\x01\x04\x00\x00", 4));
  EXPECT_EQ(Run(L"/VERYSILENT \"/DIR=" + W(folder) + L"\" \"/LOG=" + W(logFile) + L"\""), 4u);
  const std::string log = win::Utf8ToAnsi(ReadFileBytes(logFile));
  EXPECT_TRUE(Contains(log, win::WideToAnsi(L"Ошибка в формате архива: \"") + dist)) << log;
  EXPECT_TRUE(Contains(log, "exit code 4")) << log;
}

TEST_F(Unattended, BadCommandLinesEndWithCodeOneAndInstallNothing) {
  DemoArchives();
  const std::wstring dir = L" \"/DIR=" + W(folder) + L"\"";
  for (const std::wstring& arguments : std::vector<std::wstring>{
           L"/VERYSILENT /QUIET" + dir,
           L"/VERYSILENT /DIR=" + W(folder),  // unquoted: the folder's blank splits it
           L"/VERYSILENT=1" + dir,
           L"/VERYSILENT /DIR=",
           L"/VERYSILENT /LOG=" + dir,
           L"/VERYSILENT /LOG=setup.log" + dir,
           L"/VERYSILENT /DIR=C:\\日本語",
           L"/VERYSILENT /DIR=C:Korvu-relative",  // the current folder of drive C:
           L"/VERYSILENT \"/LOG=" + W(temp / "no such folder\\log.txt") + L"\"" + dir,
       }) {
    EXPECT_EQ(Run(arguments, 20s), 1u) << win::WideToUtf8(arguments);
    EXPECT_FALSE(Exists(folder)) << win::WideToUtf8(arguments);
  }
  // An unattended run logs the line when it can.
  EXPECT_EQ(Run(L"/VERYSILENT /bogus \"/LOG=" + W(logFile) + L"\"" + dir), 1u);
  EXPECT_TRUE(Contains(ReadFileBytes(logFile), "bad command line argument: /bogus"));
  EXPECT_TRUE(Contains(ReadFileBytes(logFile), "exit code 1"));
  EXPECT_FALSE(Exists(folder));
}

TEST_F(Unattended, TheLogRefusesLinksAndTakesTheFirstFreeDefaultName) {
  DemoArchives();
  // A log reached through a linked folder, or that is itself a link, is refused: a bad command
  // line, and the file behind the link stays as it was. (Under Wine a Unix symbolic link plays
  // the junction; the test command makes one, see run_unattended.sh.)
  if (const char* linked = std::getenv("SETUP_LINKED_FOLDER")) {
    const std::string behind = std::string(linked) + "\\kept.txt";
    WriteFileBytes(behind, "kept");
    EXPECT_EQ(Run(L"/VERYSILENT \"/LOG=" + W(std::string(linked) + "\\new.txt") + L"\""), 1u);
    EXPECT_FALSE(Exists(std::string(linked) + "\\new.txt"));
    EXPECT_EQ(Run(L"/VERYSILENT \"/LOG=" + W(behind) + L"\""), 1u);
    EXPECT_EQ(ReadFileBytes(behind), "kept");
    EXPECT_FALSE(Exists(folder));
    DeleteFileA(behind.c_str());
  } else {
    ADD_FAILURE() << "SETUP_LINKED_FOLDER is not set: start the test through run_unattended.sh";
  }
  // A plain file is replaced.
  WriteFileBytes(logFile, std::string(100000, 'o'));
  EXPECT_EQ(Run(L"/VERYSILENT /SILENT /S \"/DIR=" + W(folder) + L"\" \"/LOG=" + W(logFile) + L"\""),
            0u);
  const std::string replaced = ReadFileBytes(logFile);
  EXPECT_EQ(replaced.find("oooo"), std::string::npos);
  EXPECT_TRUE(Contains(replaced, "exit code 0"));

  // The first two free default names taken: the third is used, the others stay as they were.
  char base[MAX_PATH];
  GetTempPathA(MAX_PATH, base);
  SYSTEMTIME now;
  GetLocalTime(&now);
  char prefix[64];
  std::snprintf(prefix, sizeof prefix, "Setup Log %04u-%02u-%02u #", now.wYear, now.wMonth,
                now.wDay);
  std::vector<std::string> free;
  for (int n = 1; n <= 999 && free.size() < 3; ++n) {
    char name[16];
    std::snprintf(name, sizeof name, "%03d.txt", n);
    const std::string path = std::string(base) + prefix + name;
    if (!Exists(path)) free.push_back(path);
  }
  ASSERT_EQ(free.size(), 3u);
  WriteFileBytes(free[0], "first");
  WriteFileBytes(free[1], "second");
  EXPECT_EQ(Run(L"/VERYSILENT /LOG \"/DIR=" + W(folder) + L"\""), 0u);
  EXPECT_EQ(ReadFileBytes(free[0]), "first");
  EXPECT_EQ(ReadFileBytes(free[1]), "second");
  EXPECT_TRUE(Contains(ReadFileBytes(free[2]), "exit code 0"));
  for (const std::string& path : free) DeleteFileA(path.c_str());
}

TEST_F(Unattended, WizardWithDirAndLogAndASecondInstanceWhileItWaits) {
  DemoArchives();
  const std::string picked = temp / win::WideToAnsi(L"Папка для Korvu");
  driver::SetupProcess first(dist + "\\Setup.exe",
                             L"/DIR=\"" + W(picked) + L"\" /LOG=\"" + W(logFile) + L"\"");
  HWND main = first.MainWindow();
  ASSERT_TRUE(main);
  ASSERT_TRUE(Button(main, L"Далее"));

  // While the first waits on its Welcome page, others end at once with 6.
  {
    driver::SetupProcess second(dist + "\\Setup.exe");
    EXPECT_EQ(second.WaitForExit(), 6u);
  }
  EXPECT_EQ(Run(L"/VERYSILENT \"/DIR=" + W(folder) + L"\""), 6u);
  EXPECT_FALSE(Exists(folder));

  // /DIR= filled the path field.
  driver::Click(Button(main, L"Далее"));
  HWND edit = nullptr;
  ASSERT_TRUE(
      driver::WaitFor([&] { return (edit = driver::FindChildOfClass(main, L"Edit")) != nullptr; }));
  EXPECT_EQ(driver::TextOf(edit), W(picked));
  driver::Click(Button(main, L"Отмена"));
  EXPECT_EQ(first.WaitForExit(), 2u);
  EXPECT_FALSE(Exists(picked));
  const std::string log = ReadFileBytes(logFile);
  EXPECT_TRUE(Contains(log, "mode wizard")) << log;
  EXPECT_TRUE(Contains(log, "page shown: Wellcome")) << log;
  EXPECT_TRUE(Contains(log, "page shown: Settings")) << log;
  EXPECT_TRUE(Contains(log, "result: left before the installation began; exit code 2")) << log;
}

TEST_F(Unattended, HelpAndABadCommandLineInTheWizardShowTheirBoxes) {
  {
    driver::SetupProcess setup(dist + "\\Setup.exe", L"/bogus /?");
    HWND help = setup.AwaitTopWindow(L"Установка программы");
    ASSERT_TRUE(help) << "no help box";
    EXPECT_TRUE(driver::FindChildWithPrefix(help, L"Установка программы Korvu 5.02."));
    EXPECT_FALSE(driver::FindChild(help, L"Далее", L"Button"));  // not the wizard
    PostMessageW(help, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(setup.WaitForExit(), 0u);
  }
  {
    driver::SetupProcess setup(dist + "\\Setup.exe", L"/NORESTART /DIR=");
    HWND error = setup.AwaitTopWindow(L"Ошибка");
    ASSERT_TRUE(error) << "no error box";
    EXPECT_TRUE(driver::FindChild(
        error, L"Неверный параметр командной строки: /DIR=\rСписок параметров: Setup.exe /?"));
    PostMessageW(error, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(setup.WaitForExit(), 1u);
  }
}

}  // namespace
