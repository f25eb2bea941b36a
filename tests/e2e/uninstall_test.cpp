// The real Setup.exe installs the demo product with the real Uninstaller.exe in it, and that
// uninstaller removes it again, as "Apps & Features" or a deployment tool would start it.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/archive_writer.h"
#include "driver.h"
#include "e2e/distribution_fixture.h"
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
  // The demo product with the real uninstaller in it, installed without a person.
  void Install() {
    std::vector<std::pair<std::string, std::string>> files = {
        {"%InstallDir%\\Maps\\GeoDict.DCT", "dictionary"},
        {"%InstallDir%\\KORVU50.DLL", "library"},
        {"%InstallDir%\\REGSVR32.EXE", tool},
        {"%InstallDir%\\RegTypLib.exe", tool},
        {"%InstallDir%\\Uninstaller.exe", ReadFileBytes(FromUnixPath(UNINSTALLER_EXE))}};
    Archive("ProgramFiles.dt", files);
    Archive("SystemFiles.dt", {{"%InstallDir%\\Maps\\GeoDict.DCT", "not this one"},
                               {"%InstallDir%\\System\\korvu.sys", "system file"}});
    driver::SetupProcess setup(dist + "\\Setup.exe", L"/VERYSILENT \"/DIR=" +
                                                         win::AnsiToWide(folder) + L"\"");
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

}  // namespace
