#include <gtest/gtest.h>

#include <stdexcept>

#include "core/cp1251.h"
#include "support/registry_value_guard.h"
#include "win32/folders.h"
#include "win32/registry.h"

namespace {

using testing_support::RegistryValueGuard;

constexpr char kShellFolders[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

std::string WindowsDir() {
  char buffer[MAX_PATH];
  const UINT n = GetWindowsDirectoryA(buffer, MAX_PATH);
  return std::string(buffer, n);
}

TEST(WindowsAndSystemDir, AskThePlatformAndTrimBackslashes) {
  EXPECT_EQ(win::GetWindowsDir(), WindowsDir());
  EXPECT_FALSE(win::GetWindowsDir().empty());
  EXPECT_NE(win::GetWindowsDir().back(), '\\');
  char system[MAX_PATH];
  const UINT n = GetSystemDirectoryA(system, MAX_PATH);
  EXPECT_EQ(win::GetSystemDir(), std::string(system, n));
}

class ShellFolderTest : public ::testing::Test {
 protected:
  RegistryValueGuard userFonts{HKEY_CURRENT_USER, kShellFolders, "Fonts"};
  RegistryValueGuard commonFonts{HKEY_LOCAL_MACHINE, kShellFolders, "Common Fonts"};
  RegistryValueGuard userPrograms{HKEY_CURRENT_USER, kShellFolders, "Programs"};
  RegistryValueGuard commonPrograms{HKEY_LOCAL_MACHINE, kShellFolders, "Common Programs"};
  RegistryValueGuard userDesktop{HKEY_CURRENT_USER, kShellFolders, "Desktop"};
  RegistryValueGuard commonDesktop{HKEY_LOCAL_MACHINE, kShellFolders, "Common Desktop"};
  RegistryValueGuard userAppData{HKEY_CURRENT_USER, kShellFolders, "AppData"};
  RegistryValueGuard commonAppData{HKEY_LOCAL_MACHINE, kShellFolders, "Common AppData"};
  RegistryValueGuard lowerFonts{HKEY_CURRENT_USER, kShellFolders, "fonts"};
};

TEST_F(ShellFolderTest, UserValueFirstThenCommonValueThenFallBack) {
  userFonts.SetText("U:\\user fonts");
  commonFonts.SetText("M:\\common fonts");
  EXPECT_EQ(win::GetShellFolder("Fonts"), "U:\\user fonts");
  userFonts.SetText("");  // empty counts as missing
  EXPECT_EQ(win::GetShellFolder("Fonts"), "M:\\common fonts");
  userFonts.Delete();
  EXPECT_EQ(win::GetShellFolder("Fonts"), "M:\\common fonts");
  commonFonts.Delete();
  EXPECT_EQ(win::GetShellFolder("Fonts"), WindowsDir() + "\\Fonts");
}

TEST_F(ShellFolderTest, ExpandableValuesAreTakenAsStored) {
  const char text[] = "%SystemRoot%\\Fonts";
  userFonts.Set(REG_EXPAND_SZ, text, sizeof text);
  EXPECT_EQ(win::GetShellFolder("Fonts"), "%SystemRoot%\\Fonts");
}

TEST_F(ShellFolderTest, FallBacksAreExactNamesInCodePage1251) {
  for (auto* guard : {&userPrograms, &commonPrograms, &userDesktop, &commonDesktop, &userAppData,
                      &commonAppData, &lowerFonts}) {
    guard->Delete();
  }
  EXPECT_EQ(win::GetShellFolder("Programs"),
            "C:\\Documents and Settings\\All Users\\\xC3\xEB\xE0\xE2\xED\xEE\xE5 "
            "\xEC\xE5\xED\xFE\\\xCF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xFB");
  EXPECT_EQ(win::GetShellFolder("Desktop"),
            "C:\\Documents and Settings\\All Users\\\xD0\xE0\xE1\xEE\xF7\xE8\xE9 "
            "\xF1\xF2\xEE\xEB");
  EXPECT_EQ(win::GetShellFolder("AppData"),
            "C:\\Documents and Settings\\All Users\\Application Data");
  EXPECT_EQ(win::GetShellFolder("fonts"), "");
  EXPECT_EQ(win::GetShellFolder("Personal-no-such-name"), "");
}

TEST_F(ShellFolderTest, AValueThatIsNotTextIsAnError) {
  const DWORD number = 7;
  userFonts.Set(REG_DWORD, &number, sizeof number);
  try {
    win::GetShellFolder("Fonts");
    FAIL() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "Invalid data type for 'Fonts'");
  }
  userFonts.Delete();
  commonFonts.Set(REG_BINARY, "ab", 2);
  EXPECT_THROW(win::GetShellFolder("Fonts"), std::runtime_error);
}

TEST(Registry, WritesAndReadsTextValuesUnderCreatedKeys) {
  const char* path = "\\Software\\SetupTests\\Registry";
  {
    const win::RegKey key = win::OpenKey(HKEY_CURRENT_USER, path, /*create=*/true);
    ASSERT_TRUE(key);
    win::WriteStringValue(key.get(), "Empty", "");
    win::WriteStringValue(key.get(), "Text", "a\\b");
    EXPECT_EQ(win::ReadStringValue(key.get(), "Empty"), "");
    EXPECT_EQ(win::ReadStringValue(key.get(), "Text"), "a\\b");
    EXPECT_FALSE(win::ReadStringValue(key.get(), "Missing"));
  }
  EXPECT_FALSE(win::OpenKey(HKEY_CURRENT_USER, "\\Software\\SetupTests\\Absent", false));
  RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\SetupTests");
}

}  // namespace
