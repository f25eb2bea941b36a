// The real Setup.exe, started as its own process and driven from outside as a user would.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "core/archive_writer.h"
#include "core/bundle_format.h"
#include "driver.h"
#include "seal.h"
#include "e2e/distribution_fixture.h"
#include "setup/run/install_fixture.h"
#include "support/temp_folder.h"
#include "win32/registry.h"
#include "win32/wide_text.h"

namespace {

using namespace std::chrono_literals;
using testing_support::Dword;
using testing_support::Exists;
using testing_support::FromUnixPath;
using testing_support::HklmString;
using testing_support::HklmValue;
using testing_support::ReadFileBytes;
using testing_support::Text;
using testing_support::WriteFileBytes;

using testing_support::kSettingsKey;
using testing_support::kUninstallKey;

class EndToEnd : public testing_support::DistributionTest {
 protected:
  // Setup.exe made a one-file installer of the demo, with other archives beside it that it must
  // never take.
  std::string DemoBundle() {
    Archive("ProgramFiles.dt", {{"%InstallDir%\\Maps\\GeoDict.DCT", "beside"}});
    Archive("SystemFiles.dt", {{"%InstallDir%\\beside.txt", "beside"}});
    return dt::BuildBundle(ReadFileBytes(FromUnixPath(SETUP_EXE)),
                           {DemoProgramFiles(), DemoSystemFiles()});
  }
  // An archive that takes a while to unpack: about a thousand entries.
  void SlowArchive() {
    std::vector<std::pair<std::string, std::string>> files;
    for (int i = 0; i < 1000; ++i) {
      files.emplace_back("%InstallDir%\\many\\f" + std::to_string(i),
                         std::string(4096, static_cast<char>('a' + i % 26)));
    }
    Archive("ProgramFiles.dt", files);
    Archive("SystemFiles.dt", {{"%InstallDir%\\second.txt", "second"}});
  }

  // Starts Setup.exe and goes to the Settings page with the installation folder typed in.
  HWND StartAndTypeFolder(driver::SetupProcess& setup, const std::string& folder) {
    HWND main = setup.MainWindow();
    EXPECT_TRUE(main) << "no wizard window";
    if (!main) return nullptr;
    driver::Click(Button(main, L"Далее"));
    HWND edit = nullptr;
    driver::WaitFor([&] { return (edit = driver::FindChildOfClass(main, L"Edit")) != nullptr; });
    EXPECT_TRUE(edit) << "no path field";
    EXPECT_EQ(driver::TextOf(edit), L"C:\\Program Files\\Ostelan\\Korvu");
    driver::SetText(edit, win::AnsiToWide(folder));
    return main;
  }
  // Starts Setup.exe, types the folder, presses "Начать" and waits until the first file is being
  // unpacked.
  HWND StartInstalling(driver::SetupProcess& setup) {
    HWND main = StartAndTypeFolder(setup, folder);
    if (!main) return nullptr;
    driver::Click(Button(main, L"Начать"));
    EXPECT_TRUE(AwaitUnpacking(main)) << "the run did not start";
    return main;
  }
  static HWND Button(HWND main, const wchar_t* text) {
    HWND found = nullptr;
    driver::WaitFor([&] { return (found = driver::FindChild(main, text, L"Button")) != nullptr; });
    return found;
  }
  static bool LabelShown(HWND main, const wchar_t* text) {
    return driver::FindChild(main, text) != nullptr;
  }
  // Waits until the file-name label names a file: the run is under way.
  static bool AwaitUnpacking(HWND main) {
    return driver::WaitFor([&] { return driver::FindChildWithPrefix(main, L"Файл: ") != nullptr; });
  }
  // Presses "Прервать" during a run and answers the confirmation with the button `answer`.
  static void AnswerCancel(driver::SetupProcess& setup, HWND main, const wchar_t* answer) {
    driver::Click(Button(main, L"Прервать"));
    HWND confirm = setup.AwaitTopWindow(L"Подтверждение");
    ASSERT_TRUE(confirm) << "no confirmation";
    driver::Click(driver::FindChild(confirm, answer, L"Button"));
  }
  static std::string AwaitRecord(const std::string& path) {
    driver::WaitFor([&] { return Exists(path); }, 15s);
    return ReadFileBytes(path);
  }

};

TEST_F(EndToEnd, HappyPath) {
  DemoArchives();
  driver::SetupProcess setup(dist + "\\Setup.exe");
  HWND main = StartAndTypeFolder(setup, folder);
  ASSERT_TRUE(main);
  driver::Click(Button(main, L"Начать"));
  ASSERT_TRUE(driver::WaitFor([&] { return LabelShown(main, L"Установка программы завершена."); }))
      << "the Finish page did not show";
  EXPECT_FALSE(LabelShown(main, L"Установка не завершена."));
  EXPECT_EQ(ReadFileBytes(folder + "\\Maps\\GeoDict.DCT"), "dictionary");
  EXPECT_EQ(ReadFileBytes(folder + "\\System\\korvu.sys"), "system file");
  EXPECT_EQ(HklmString(kUninstallKey, "UninstallString"), "\"" + folder + "\\Uninstaller.exe\"");
  EXPECT_EQ(HklmString(kSettingsKey, "ProgramDir"), folder);
  // The entry of "Apps & Features", with the types of its values. EstimatedSize: the six files
  // written (GeoDict.DCT once: SystemFiles.dt keeps it), in KiB rounded up.
  EXPECT_EQ(HklmValue(kUninstallKey, "DisplayVersion"), Text("5.02"));
  EXPECT_EQ(HklmValue(kUninstallKey, "Publisher"), Text("Fendaro"));
  EXPECT_EQ(HklmValue(kUninstallKey, "InstallLocation"), Text(folder));
  const auto date = HklmValue(kUninstallKey, "InstallDate");
  ASSERT_TRUE(date);
  EXPECT_EQ(date->type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(date->data.size(), 8u);
  const std::size_t written = 10 + 7 + 2 * tool.size() + 12 + 11;
  EXPECT_EQ(HklmValue(kUninstallKey, "EstimatedSize"),
            Dword(static_cast<DWORD>((written + 1023) / 1024)));
  EXPECT_EQ(HklmValue(kUninstallKey, "NoModify"), Dword(1));
  EXPECT_EQ(HklmValue(kUninstallKey, "NoRepair"), Dword(1));
  EXPECT_EQ(ReadFileBytes(folder + "\\Uninstaller.ini"),
            "[program]\r\nProgName=Korvu v5.02 build Ostelan\r\nInstallDir=" + folder + "\r\n");
  EXPECT_EQ(AwaitRecord(folder + "\\REGSVR32.EXE.cmdline"),
            "\"" + folder + "\\REGSVR32.EXE\" /s \"" + folder + "\\KORVU50.DLL\"");
  EXPECT_EQ(AwaitRecord(folder + "\\RegTypLib.exe.cmdline"),
            "\"" + folder + "\\RegTypLib.exe\" \"" + folder + "\\kdatasetint.tlb\"");
  driver::Click(Button(main, L"Закрыть"));
  EXPECT_EQ(setup.WaitForExit(), 0u);
}

TEST_F(EndToEnd, AFolderThatCannotBeCreatedKeepsTheSettingsPage) {
  DemoArchives();
  WriteFileBytes(temp / "a-file", "x");
  driver::SetupProcess setup(dist + "\\Setup.exe");
  HWND main = StartAndTypeFolder(setup, temp / "a-file");
  ASSERT_TRUE(main);
  driver::Click(Button(main, L"Начать"));
  HWND error = setup.AwaitTopWindow(L"Ошибка");
  ASSERT_TRUE(error) << "no error box";
  PostMessageW(error, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(driver::WaitFor([&] { return !setup.TopWindow(L"Ошибка"); }));
  EXPECT_TRUE(driver::FindChild(main, L"Начать", L"Button"));
  EXPECT_FALSE(Exists(temp / "a-file\\Maps"));
  driver::Click(Button(main, L"Отмена"));
  EXPECT_EQ(setup.WaitForExit(), 2u);  // left before a run began
}

TEST_F(EndToEnd, AMalformedArchiveShowsItsErrorThenTheUnfinishedPage) {
  WriteFileBytes(dist + "\\ProgramFiles.dt", std::string("\x01\x04\x00\x00", 4));
  driver::SetupProcess setup(dist + "\\Setup.exe");
  HWND main = StartAndTypeFolder(setup, folder);
  ASSERT_TRUE(main);
  driver::Click(Button(main, L"Начать"));
  HWND error = setup.AwaitTopWindow(L"Ошибка");
  ASSERT_TRUE(error) << "no error box";
  PostMessageW(error, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(driver::WaitFor([&] { return LabelShown(main, L"Установка не завершена."); }));
  EXPECT_FALSE(HklmString(kSettingsKey, "ProgramDir"));
  EXPECT_FALSE(Exists(folder + "\\Uninstaller.ini"));
  driver::RequestClose(main);
  EXPECT_EQ(setup.WaitForExit(), 4u);  // the run ended with an error
}

TEST_F(EndToEnd, AConfirmedCancelFinishesTheArchiveAndEndsTheProgram) {
  SlowArchive();
  driver::SetupProcess setup(dist + "\\Setup.exe");
  HWND main = StartInstalling(setup);
  ASSERT_TRUE(main);
  AnswerCancel(setup, main, L"OK");
  if (HasFatalFailure()) return;
  EXPECT_EQ(setup.WaitForExit(120s), 5u) << "the program did not end, or not as cancelled";
  EXPECT_TRUE(Exists(folder + "\\many\\f999"));  // the current archive ran to its end
  EXPECT_FALSE(Exists(folder + "\\second.txt"));
  EXPECT_FALSE(Exists(folder + "\\Uninstaller.ini"));
  EXPECT_FALSE(HklmString(kSettingsKey, "ProgramDir"));
}

TEST_F(EndToEnd, ADeclinedCancelLetsTheRunComplete) {
  SlowArchive();
  driver::SetupProcess setup(dist + "\\Setup.exe");
  HWND main = StartInstalling(setup);
  ASSERT_TRUE(main);
  AnswerCancel(setup, main, L"Отмена");
  if (HasFatalFailure()) return;
  ASSERT_TRUE(
      driver::WaitFor([&] { return LabelShown(main, L"Установка программы завершена."); }, 120s));
  EXPECT_EQ(ReadFileBytes(folder + "\\second.txt"), "second");
  driver::Click(Button(main, L"Закрыть"));
  EXPECT_EQ(setup.WaitForExit(), 0u);
}

TEST_F(EndToEnd, ACloseRequestDuringTheRunLetsItCompleteThenEnds) {
  SlowArchive();
  driver::SetupProcess setup(dist + "\\Setup.exe");
  HWND main = StartInstalling(setup);
  ASSERT_TRUE(main);
  driver::RequestClose(main);
  EXPECT_EQ(setup.WaitForExit(120s), 0u) << "the program did not end, or not as completed";
  EXPECT_EQ(ReadFileBytes(folder + "\\second.txt"), "second");  // the run went on to its end
  EXPECT_TRUE(Exists(folder + "\\Uninstaller.ini"));
  EXPECT_EQ(HklmString(kSettingsKey, "VersionCode"), "5.02");
}

TEST_F(EndToEnd, AOneFileInstallerInstallsTheDemoFromItsOwnFile) {
  WriteFileBytes(dist + "\\Setup.exe", DemoBundle());
  driver::SetupProcess setup(dist + "\\Setup.exe");
  HWND main = StartAndTypeFolder(setup, folder);
  ASSERT_TRUE(main);
  driver::Click(Button(main, L"Начать"));
  ASSERT_TRUE(driver::WaitFor([&] { return LabelShown(main, L"Установка программы завершена."); }))
      << "the Finish page did not show";
  EXPECT_EQ(ReadFileBytes(folder + "\\Maps\\GeoDict.DCT"), "dictionary");
  EXPECT_EQ(ReadFileBytes(folder + "\\System\\korvu.sys"), "system file");
  EXPECT_FALSE(Exists(folder + "\\beside.txt"));
  EXPECT_EQ(HklmString(kSettingsKey, "ProgramDir"), folder);
  EXPECT_TRUE(Exists(folder + "\\Uninstaller.ini"));
  driver::Click(Button(main, L"Закрыть"));
  EXPECT_EQ(setup.WaitForExit(), 0u);
}

TEST_F(EndToEnd, ACutOneFileInstallerReportsTheOpenErrorAndNeverCompletes) {
  const std::string bundle = DemoBundle();
  WriteFileBytes(dist + "\\Setup.exe", bundle.substr(0, bundle.size() - 5));
  driver::SetupProcess setup(dist + "\\Setup.exe");
  HWND main = StartAndTypeFolder(setup, folder);
  ASSERT_TRUE(main);
  driver::Click(Button(main, L"Начать"));
  HWND error = setup.AwaitTopWindow(L"Ошибка");
  ASSERT_TRUE(error) << "no error box";
  const std::wstring expected =
      L"Ошибка чтения архива: \"" + win::AnsiToWide(dist) + L"\\Setup.exe\\ProgramFiles.dt\".";
  EXPECT_TRUE(driver::FindChild(error, expected.c_str())) << "the box does not name the archive";
  PostMessageW(error, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(driver::WaitFor([&] { return LabelShown(main, L"Установка не завершена."); }));
  EXPECT_FALSE(Exists(folder + "\\Maps\\GeoDict.DCT"));
  EXPECT_FALSE(HklmString(kSettingsKey, "ProgramDir"));
  driver::RequestClose(main);
  EXPECT_EQ(setup.WaitForExit(), 4u);  // the run ended with an error
}

// A release built outside this program (scripts/sign.sh after dtpack bundle of the demo), given
// by its Windows path in SETUP_E2E_INSTALLER: it installs the demo product end to end.
TEST_F(EndToEnd, AGivenOneFileInstallerInstallsTheDemo) {
  const char* given = std::getenv("SETUP_E2E_INSTALLER");
  if (!given || !*given) GTEST_SKIP() << "SETUP_E2E_INSTALLER names no installer";
  ASSERT_TRUE(CopyFileA(given, (dist + "\\Setup.exe").c_str(), FALSE)) << given;
  driver::SetupProcess setup(dist + "\\Setup.exe");
  HWND main = StartAndTypeFolder(setup, folder);
  ASSERT_TRUE(main);
  driver::Click(Button(main, L"Начать"));
  ASSERT_TRUE(driver::WaitFor([&] { return LabelShown(main, L"Установка программы завершена."); }))
      << "the Finish page did not show";
  EXPECT_TRUE(Exists(folder + "\\KORVU50.DLL"));
  EXPECT_TRUE(Exists(folder + "\\Maps\\GeoDict.DCT"));
  EXPECT_TRUE(Exists(folder + "\\Uninstaller.ini"));
  driver::Click(Button(main, L"Закрыть"));
  EXPECT_EQ(setup.WaitForExit(), 0u);
}

// A sealed distribution: Setup.exe carries the size and SHA-256 of each archive.
class Sealed : public EndToEnd {
 protected:
  // Setup.exe in the distribution folder, sealed with the archives there.
  void Seal() {
    dtpack::SealSetup({FromUnixPath(SETUP_EXE),
                       {dist + "\\ProgramFiles.dt", dist + "\\SystemFiles.dt"},
                       dist + "\\Setup.exe"});
  }
  // Runs the distribution's Setup.exe to its end; its exit code.
  std::optional<DWORD> Run(const std::wstring& mode) {
    driver::SetupProcess setup(dist + "\\Setup.exe", mode + L" \"/DIR=" + win::AnsiToWide(folder) +
                                                         L"\" \"/LOG=" + win::AnsiToWide(log) + L"\"");
    return setup.WaitForExit(120s);
  }
  // The log as written, in UTF-8 (the test's paths are ASCII).
  std::string Log() const { return ReadFileBytes(log); }

  const std::string log = temp / "sealed.log";
};

// Unattended: one byte changed, another archive, one cut short, one missing: exit code 4, the
// reason in the log with the sizes and SHA-256 sealed and found, and nothing written, not even the
// installation folder. The archives as sealed then install, also with /SILENT.
TEST_F(Sealed, UnattendedRunsCheckBeforeTheyWriteAnything) {
  DemoArchives();
  Seal();
  const std::string archive = dist + "\\SystemFiles.dt";
  const std::string sealed = ReadFileBytes(archive);
  std::string changed = sealed;
  changed[changed.size() - 2] ^= 1;
  const std::string other = dt::BuildArchive({{"%InstallDir%\\System\\korvu.sys", "planted"}});
  for (const std::string& bytes : {changed, other, sealed.substr(0, sealed.size() / 2), std::string()}) {
    if (bytes.empty()) {
      DeleteFileA(archive.c_str());
    } else {
      WriteFileBytes(archive, bytes);
    }
    EXPECT_EQ(Run(L"/VERYSILENT"), 4u);
    EXPECT_FALSE(Exists(folder));
    const std::string text = Log();
    if (bytes.empty()) {
      EXPECT_NE(text.find("Ошибка чтения архива: \"" + archive + "\"."), std::string::npos) << text;
    } else {
      EXPECT_NE(text.find("Ошибка проверки архива: \"" + archive + "\". Получите дистрибутив заново."),
                std::string::npos)
          << text;
      EXPECT_NE(text.find("(sealed: " + std::to_string(sealed.size()) + " bytes, SHA-256 "),
                std::string::npos)
          << text;
      EXPECT_NE(text.find("; found: " + std::to_string(bytes.size()) + " bytes, SHA-256 "),
                std::string::npos)
          << text;
    }
  }
  WriteFileBytes(archive, sealed);
  EXPECT_EQ(Run(L"/SILENT"), 0u) << Log();
  EXPECT_EQ(ReadFileBytes(folder + "\\System\\korvu.sys"), "system file");
  EXPECT_NE(Log().find("\\SystemFiles.dt\" matches the seal: "), std::string::npos) << Log();
}

// A one-file installer checks the archives inside itself: one byte changed there installs
// nothing.
TEST_F(Sealed, AOneFileInstallerWithAChangedByteInstallsNothing) {
  DemoArchives();
  Seal();
  const std::string programFiles = ReadFileBytes(dist + "\\ProgramFiles.dt");
  const std::string bundle = dt::BuildBundle(ReadFileBytes(dist + "\\Setup.exe"),
                                             {programFiles, ReadFileBytes(dist + "\\SystemFiles.dt")});
  DeleteFileA((dist + "\\ProgramFiles.dt").c_str());
  DeleteFileA((dist + "\\SystemFiles.dt").c_str());
  std::string changed = bundle;
  changed[bundle.find(programFiles) + programFiles.size() / 2] ^= 1;
  WriteFileBytes(dist + "\\Setup.exe", changed);
  EXPECT_EQ(Run(L"/VERYSILENT"), 4u);
  EXPECT_FALSE(Exists(folder));
  EXPECT_NE(Log().find("Ошибка проверки архива: \"" + dist + "\\Setup.exe\\ProgramFiles.dt\"."),
            std::string::npos)
      << Log();
  WriteFileBytes(dist + "\\Setup.exe", bundle);
  EXPECT_EQ(Run(L"/VERYSILENT"), 0u) << Log();
  EXPECT_EQ(ReadFileBytes(folder + "\\Maps\\GeoDict.DCT"), "dictionary");
}

// The wizard checks while the person reads its pages; meanwhile nobody can replace an archive, and
// "Начать" installs what was sealed.
TEST_F(Sealed, TheWizardChecksWhileThePersonReadsAndNobodyCanReplaceAnArchiveMeanwhile) {
  DemoArchives();
  Seal();
  driver::SetupProcess setup(dist + "\\Setup.exe");
  HWND main = StartAndTypeFolder(setup, folder);
  ASSERT_TRUE(main);
  const std::string archive = dist + "\\ProgramFiles.dt";
  const std::string planted = dist + "\\planted.dt";
  WriteFileBytes(planted, dt::BuildArchive({{"%InstallDir%\\Maps\\GeoDict.DCT", "planted"}}));
  EXPECT_FALSE(MoveFileExA(planted.c_str(), archive.c_str(), MOVEFILE_REPLACE_EXISTING));
  EXPECT_FALSE(MoveFileA(archive.c_str(), (dist + "\\aside.dt").c_str()));
  HANDLE writer = CreateFileA(archive.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
  if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);
  driver::Click(Button(main, L"Начать"));
  ASSERT_TRUE(driver::WaitFor([&] { return LabelShown(main, L"Установка программы завершена."); }))
      << "the Finish page did not show";
  EXPECT_EQ(ReadFileBytes(folder + "\\Maps\\GeoDict.DCT"), "dictionary");
  driver::Click(Button(main, L"Закрыть"));
  EXPECT_EQ(setup.WaitForExit(), 0u);
}

}  // namespace
