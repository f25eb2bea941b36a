#include "setup/run/folder_macros.h"

#include <gtest/gtest.h>

#include "support/registry_value_guard.h"
#include "win32/folders.h"

namespace {

constexpr char kShellFolders[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

class ExpandFolderMacrosTest : public ::testing::Test {
 protected:
  std::string Expand(std::string_view path) const {
    return setup::ExpandFolderMacros(path, installFolder);
  }
  std::string installFolder = "C:\\Program Files\\Ostelan\\Korvu";
  testing_support::RegistryValueGuard userFonts{HKEY_CURRENT_USER, kShellFolders, "Fonts"};
  testing_support::RegistryValueGuard commonFonts{HKEY_LOCAL_MACHINE, kShellFolders,
                                                  "Common Fonts"};
};

TEST_F(ExpandFolderMacrosTest, ReplacesEveryMacroExactly) {
  userFonts.SetText("F:\\Fonts");
  const std::string win = win::GetWindowsDir(), sys = win::GetSystemDir();
  EXPECT_EQ(Expand("%InstallDir%\\Maps"),
            "C:\\Program Files\\Ostelan\\Korvu\\Maps");
  EXPECT_EQ(Expand("%WinDir%\\a\\%WinDir%"), win + "\\a\\" + win);
  EXPECT_EQ(Expand("%Fonts%"), "F:\\Fonts");
  EXPECT_EQ(Expand("%System32%\\x"), sys + "\\x");
  EXPECT_EQ(Expand("%installdir%\\%WINDIR%"), "%installdir%\\%WINDIR%");
  EXPECT_EQ(Expand("D:\\plain"), "D:\\plain");
}

TEST_F(ExpandFolderMacrosTest, KeepsATypedTrailingBackslashAndExpandsLaterMacrosInEarlierOnes) {
  installFolder = "D:\\Korvu\\";
  EXPECT_EQ(Expand("%InstallDir%\\Maps"), "D:\\Korvu\\\\Maps");
  // A folder typed with a later macro in it is expanded by that later step.
  installFolder = "%WinDir%\\Korvu";
  EXPECT_EQ(Expand("%InstallDir%"), win::GetWindowsDir() + "\\Korvu");
  // ... but an earlier macro inside a later replacement is not.
  userFonts.SetText("%InstallDir%\\Fonts");
  EXPECT_EQ(Expand("%Fonts%"), "%InstallDir%\\Fonts");
}

TEST_F(ExpandFolderMacrosTest, FontsFallsBackToTheWindowsFolder) {
  userFonts.Delete();
  commonFonts.Delete();
  EXPECT_EQ(Expand("%Fonts%\\k.ttf"), win::GetWindowsDir() + "\\Fonts\\k.ttf");
}

// One archive run asks for the folders once; a failed query is asked again, and fails again.
TEST_F(ExpandFolderMacrosTest, AnArchiveRunAsksForTheFoldersOnceAndKeepsNoFailure) {
  const DWORD notText = 7;
  userFonts.Set(REG_DWORD, &notText, sizeof notText);
  setup::FolderMacroExpander failing(installFolder);
  for (int i = 0; i < 2; ++i) {
    EXPECT_THROW(failing.Expand("%InstallDir%"), std::runtime_error);
  }
  userFonts.SetText("F:\\Fonts");
  EXPECT_EQ(failing.Expand("%Fonts%\\%System32%"),
            Expand("%Fonts%\\%System32%"));
  userFonts.SetText("G:\\Other");  // read once: the run keeps what it saw first
  EXPECT_EQ(failing.Expand("%Fonts%"), "F:\\Fonts");
  EXPECT_EQ(Expand("%Fonts%"), "G:\\Other");
}

}  // namespace
