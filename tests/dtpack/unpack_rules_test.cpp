#include "unpack_rules.h"

#include <gtest/gtest.h>

namespace {
namespace fs = std::filesystem;

TEST(UnpackRefusal, TakesPathsThatStayBelowTheFolder) {
  const struct {
    std::string_view stored;
    const char* unpacked;  // below the unpacking folder, '/' between the levels
  } taken[] = {
      {"%InstallDir%\\Maps\\GeoDict.DCT", "InstallDir/Maps/GeoDict.DCT"},
      {"%System32%\\KORVU50.DLL", "System32/KORVU50.DLL"},
      {"%WinDir%\\%Fonts%\\x.ttf", "WinDir/Fonts/x.ttf"},
      {"C:\\Korvu\\x.dll", "C/Korvu/x.dll"},
      {"d:\\x", "d/x"},
      {"\\Windows\\x.dll", "Windows/x.dll"},  // the root of the current drive
      {"Maps\\x", "Maps/x"},
      {"%InstallDir%\\...x\\.hidden\\a..b", "InstallDir/...x/.hidden/a..b"},
      {"%InstallDir%\\50%\\a b\\\xD1\xEF\xF0\xE0\xE2\xEA\xE0.txt",
       "InstallDir/50%/a b/\xD0\xA1\xD0\xBF\xD1\x80\xD0\xB0\xD0\xB2\xD0\xBA\xD0\xB0.txt"},
      {"x.txt", "x.txt"},
  };
  for (const auto& t : taken) {
    EXPECT_EQ(dtpack::UnpackRefusal(t.stored), "") << t.stored;
    EXPECT_EQ(dtpack::UnpackedPath(t.stored), fs::u8path(t.unpacked)) << t.stored;
  }
}

TEST(UnpackRefusal, RefusesPathsThatCouldLeaveTheFolderOrThatWindowsCannotName) {
  using namespace std::string_view_literals;
  const struct {
    std::string_view stored;
    const char* why;  // a part of the reason given
  } refused[] = {
      {"%InstallDir%\\/tmp/x", "slash"},
      {"%InstallDir%\\a/../../..", "slash"},
      {"/etc/passwd", "slash"},
      {"%InstallDir%\\..\\..\\x", "\"..\""},
      {"..\\x", "\"..\""},
      {"%InstallDir%\\a\\..", "\"..\""},
      {"%InstallDir%\\.\\x", "\".\""},
      {"%InstallDir%\\...\\x", "\"...\""},
      {"%InstallDir%\\.. \\x", "\".. \""},
      {"%InstallDir%\\ \\x", "\" \""},
      {"%InstallDir%\\\\x", "empty part"},
      {"\\\\server\\share\\x", "empty part"},
      {"%InstallDir%\\", "without a file name"},
      {"", "without a file name"},
      {"C:", "colon"},
      {"C:x\\y", "colon"},
      {"%InstallDir%\\C:\\x", "colon"},
      {"\\C:\\x", "colon"},
      {"%InstallDir%\\a:b", "colon"},
      {"%InstallDir%\\x.txt:stream", "colon"},
      {"1:\\x", "colon"},
      {"%InstallDir%\\a<b", "'<'"},
      {"%InstallDir%\\a>b", "'>'"},
      {"%InstallDir%\\a\"b", "'\"'"},
      {"%InstallDir%\\a|b", "'|'"},
      {"%InstallDir%\\a?b", "'?'"},
      {"%InstallDir%\\*", "'*'"},
      {"%InstallDir%\\a\tb", "control code 0x09"},
      {"%InstallDir%\\a\x1F", "control code 0x1F"},
      {"%InstallDir%\\\n\\x", "control code 0x0A"},
      {"%InstallDir%\\a\0b"sv, "control code 0x00"},
  };
  for (const auto& r : refused) {
    const std::string why = dtpack::UnpackRefusal(r.stored);
    EXPECT_NE(why.find(r.why), std::string::npos) << r.stored << ": " << why;
  }
}

}  // namespace
