#include "core/archive_rules.h"

#include <gtest/gtest.h>

namespace {

// The messages of the findings, fatal ones marked with a leading '!'.
std::vector<std::string> Findings(std::string_view name) {
  std::vector<std::string> out;
  for (const auto& f : dt::CheckStoredPath(name)) out.push_back((f.fatal ? "!" : "") + f.message);
  return out;
}

bool AnyContains(const std::vector<std::string>& v, std::string_view part) {
  for (const auto& s : v) {
    if (s.find(part) != std::string::npos) return true;
  }
  return false;
}

TEST(CheckStoredPath, CleanPathsWithMacros) {
  EXPECT_TRUE(Findings("%InstallDir%\\Maps\\GeoDict.DCT").empty());
  EXPECT_TRUE(Findings("%System32%\\KORVU50.DLL").empty());
  EXPECT_TRUE(Findings("%WinDir%\\%Fonts%\\x.ttf").empty());
}

TEST(CheckStoredPath, FolderPartAndFileNameAreRequired) {
  for (const char* bad : {"file.txt", "\\file.txt", "folder\\", ""}) {
    const auto f = Findings(bad);
    ASSERT_EQ(f.size(), 1u) << bad;
    EXPECT_EQ(f[0][0], '!') << bad;
  }
  EXPECT_EQ(Findings(std::string_view("a\\b\0c", 5)).at(0)[0], '!');
}

TEST(CheckStoredPath, WarnsAboutWhatWouldNotExpandOrWouldEscape) {
  EXPECT_TRUE(AnyContains(Findings("%installdir%\\a\\b"), "another letter case"));
  EXPECT_TRUE(AnyContains(Findings("%InstallDir%\\%Temp%\\b"), "unknown macro %Temp%"));
  EXPECT_TRUE(AnyContains(Findings("%InstallDir%\\..\\b"), "\"..\""));
  EXPECT_TRUE(AnyContains(Findings("C:\\Windows\\b"), "fixed place"));
  EXPECT_TRUE(AnyContains(Findings("Maps\\b"), "relative"));
  EXPECT_FALSE(AnyContains(Findings("%InstallDir%\\50%\\b"), "macro"));  // a lone percent sign
  for (const auto& f : dt::CheckStoredPath("%installdir%\\..\\b")) EXPECT_FALSE(f.fatal);
}

}  // namespace
