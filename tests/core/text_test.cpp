#include "core/text.h"

#include <gtest/gtest.h>

namespace {

TEST(TrimTrailingBackslashes, RemovesOnlyTrailingBackslashes) {
  EXPECT_EQ(dt::TrimTrailingBackslashes("C:\\Program Files\\x\\\\\\"), "C:\\Program Files\\x");
  EXPECT_EQ(dt::TrimTrailingBackslashes("C:\\"), "C:");
  EXPECT_EQ(dt::TrimTrailingBackslashes("\\\\\\"), "");
  EXPECT_EQ(dt::TrimTrailingBackslashes(""), "");
  EXPECT_EQ(dt::TrimTrailingBackslashes("a\\b/"), "a\\b/");
  EXPECT_EQ(dt::TrimTrailingBackslashes("a\\b "), "a\\b ");
}

TEST(ReplaceAll, LeftToRightWithoutOverlapAndWithoutRescanning) {
  EXPECT_EQ(dt::ReplaceAll("%A%\\x\\%A%", "%A%", "C:\\y"), "C:\\y\\x\\C:\\y");
  EXPECT_EQ(dt::ReplaceAll("aaa", "aa", "b"), "ba");
  EXPECT_EQ(dt::ReplaceAll("ab", "a", "aa"), "aab");  // the replacement holds the pattern
  EXPECT_EQ(dt::ReplaceAll("text", "", "x"), "text");
  EXPECT_EQ(dt::ReplaceAll("%installdir%", "%InstallDir%", "C:"), "%installdir%");
  EXPECT_EQ(dt::ReplaceAll("", "a", "b"), "");
}

TEST(SplitPath, DividesAtTheLastBackslash) {
  auto s = dt::SplitPath("a\\b\\c.txt");
  EXPECT_EQ(s.folder, "a\\b");
  EXPECT_EQ(s.file, "c.txt");
  s = dt::SplitPath("c.txt");
  EXPECT_EQ(s.folder, "");
  EXPECT_EQ(s.file, "c.txt");
  s = dt::SplitPath("a\\b\\");
  EXPECT_EQ(s.folder, "a\\b");
  EXPECT_EQ(s.file, "");
  s = dt::SplitPath("\\x");
  EXPECT_EQ(s.folder, "");
  EXPECT_EQ(s.file, "x");
}

TEST(IsRootedPath, DriveLetterAndColonOrBackslash) {
  EXPECT_TRUE(dt::IsRootedPath("C:\\x"));
  EXPECT_TRUE(dt::IsRootedPath("z:"));
  EXPECT_TRUE(dt::IsRootedPath("\\\\server\\share"));
  EXPECT_FALSE(dt::IsRootedPath("folder"));
  EXPECT_FALSE(dt::IsRootedPath(""));
  EXPECT_FALSE(dt::IsRootedPath("1:\\x"));
  EXPECT_FALSE(dt::IsRootedPath("C"));
}

}  // namespace
