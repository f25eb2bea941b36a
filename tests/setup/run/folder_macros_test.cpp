#include "setup/run/folder_macros.h"

#include <gtest/gtest.h>

#include "setup/run/globals.h"
#include "support/registry_value_guard.h"
#include "win32/folders.h"

namespace {

constexpr char kShellFolders[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

class ExpandFolderMacrosTest : public ::testing::Test {
 protected:
  void SetUp() override { setup::InstallFolder = "C:\\Program Files\\Ostelan\\Korvu"; }
  testing_support::RegistryValueGuard userFonts{HKEY_CURRENT_USER, kShellFolders, "Fonts"};
  testing_support::RegistryValueGuard commonFonts{HKEY_LOCAL_MACHINE, kShellFolders,
                                                  "Common Fonts"};
};

TEST_F(ExpandFolderMacrosTest, ReplacesEveryMacroExactly) {
  userFonts.SetText("F:\\Fonts");
  const std::string win = win::GetWindowsDir(), sys = win::GetSystemDir();
  EXPECT_EQ(setup::ExpandFolderMacros("%InstallDir%\\Maps"),
            "C:\\Program Files\\Ostelan\\Korvu\\Maps");
  EXPECT_EQ(setup::ExpandFolderMacros("%WinDir%\\a\\%WinDir%"), win + "\\a\\" + win);
  EXPECT_EQ(setup::ExpandFolderMacros("%Fonts%"), "F:\\Fonts");
  EXPECT_EQ(setup::ExpandFolderMacros("%System32%\\x"), sys + "\\x");
  EXPECT_EQ(setup::ExpandFolderMacros("%installdir%\\%WINDIR%"), "%installdir%\\%WINDIR%");
  EXPECT_EQ(setup::ExpandFolderMacros("D:\\plain"), "D:\\plain");
}

TEST_F(ExpandFolderMacrosTest, KeepsATypedTrailingBackslashAndExpandsLaterMacrosInEarlierOnes) {
  setup::InstallFolder = "D:\\Korvu\\";
  EXPECT_EQ(setup::ExpandFolderMacros("%InstallDir%\\Maps"), "D:\\Korvu\\\\Maps");
  // A folder typed with a later macro in it is expanded by that later step.
  setup::InstallFolder = "%WinDir%\\Korvu";
  EXPECT_EQ(setup::ExpandFolderMacros("%InstallDir%"), win::GetWindowsDir() + "\\Korvu");
  // ... but an earlier macro inside a later replacement is not.
  userFonts.SetText("%InstallDir%\\Fonts");
  EXPECT_EQ(setup::ExpandFolderMacros("%Fonts%"), "%InstallDir%\\Fonts");
}

TEST_F(ExpandFolderMacrosTest, FontsFallsBackToTheWindowsFolder) {
  userFonts.Delete();
  commonFonts.Delete();
  EXPECT_EQ(setup::ExpandFolderMacros("%Fonts%\\k.ttf"), win::GetWindowsDir() + "\\Fonts\\k.ttf");
}

// One archive run asks for the folders once; a failed query is asked again, and fails again.
TEST_F(ExpandFolderMacrosTest, AnArchiveRunAsksForTheFoldersOnceAndKeepsNoFailure) {
  const DWORD notText = 7;
  userFonts.Set(REG_DWORD, &notText, sizeof notText);
  setup::FolderMacroExpander failing;
  for (int i = 0; i < 2; ++i) {
    EXPECT_THROW(failing.Expand("%InstallDir%"), std::runtime_error);
  }
  userFonts.SetText("F:\\Fonts");
  EXPECT_EQ(failing.Expand("%Fonts%\\%System32%"),
            setup::ExpandFolderMacros("%Fonts%\\%System32%"));
  userFonts.SetText("G:\\Other");  // read once: the run keeps what it saw first
  EXPECT_EQ(failing.Expand("%Fonts%"), "F:\\Fonts");
  EXPECT_EQ(setup::ExpandFolderMacros("%Fonts%"), "G:\\Other");
}

}  // namespace
