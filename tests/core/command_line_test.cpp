#include "core/command_line.h"

#include <gtest/gtest.h>

namespace {

using Args = std::vector<std::wstring>;

TEST(SplitArguments, BlanksOutsideQuotesSeparateAndBackslashesStayLiteral) {
  EXPECT_EQ(dt::SplitArguments(L"Setup.exe  /SILENT\t/DIR=C:\\a"),
            (Args{L"Setup.exe", L"/SILENT", L"/DIR=C:\\a"}));
  // Quotes may stand anywhere in an argument; they are removed, and a trailing backslash stays.
  EXPECT_EQ(dt::SplitArguments(L"\"C:\\dist dir\\Setup.exe\" /DIR=\"C:\\Korvu 5\\\" -s"),
            (Args{L"C:\\dist dir\\Setup.exe", L"/DIR=C:\\Korvu 5\\", L"-s"}));
  EXPECT_EQ(dt::SplitArguments(L"\"/LOG=C:\\a b.txt\" x\"\"y \"\""),
            (Args{L"/LOG=C:\\a b.txt", L"xy", L""}));
  EXPECT_EQ(dt::SplitArguments(L"a \"b c"), (Args{L"a", L"b c"}));  // an open quote runs to the end
  EXPECT_TRUE(dt::SplitArguments(L"  \t ").empty());
}

TEST(ParseCommandLine, ReadsEverySwitchCaseInsensitivelyWithSlashOrDash) {
  auto c = dt::ParseCommandLine(
      L"Setup.exe -silent /dir=\"C:\\Program Files\\Корву\" /Log /NORESTART -suppressmsgboxes "
      L"/sp-");
  EXPECT_FALSE(c.Bad()) << c.badArgument;
  EXPECT_EQ(c.mode, dt::RunMode::kSilent);
  EXPECT_EQ(c.dir, L"C:\\Program Files\\Корву");
  EXPECT_TRUE(c.log);
  EXPECT_FALSE(c.logFile);
  EXPECT_FALSE(c.help);

  // /VERYSILENT and /S win over /SILENT in any order; the last /LOG and /DIR count.
  c = dt::ParseCommandLine(
      L"x /VERYSILENT /SILENT /LOG=C:\\one.txt /LOG=\\\\srv\\two.txt /DIR=D:\\a /DIR=D:\\b");
  EXPECT_EQ(c.mode, dt::RunMode::kVerySilent);
  EXPECT_EQ(c.logFile, L"\\\\srv\\two.txt");
  EXPECT_EQ(c.dir, L"D:\\b");
  EXPECT_EQ(dt::ParseCommandLine(L"x /SILENT /s").mode, dt::RunMode::kVerySilent);
  c = dt::ParseCommandLine(L"x /LOG=C:\\one.txt /log");
  EXPECT_TRUE(c.log);
  EXPECT_FALSE(c.logFile);

  EXPECT_TRUE(dt::ParseCommandLine(L"x /?").help);
  EXPECT_TRUE(dt::ParseCommandLine(L"x /help /nonsense").help);  // help whatever else is given
  c = dt::ParseCommandLine(L"Setup.exe");
  EXPECT_EQ(c.mode, dt::RunMode::kWizard);
  EXPECT_FALSE(c.Bad());
  EXPECT_FALSE(c.log);
}

TEST(ParseCommandLine, NamesTheFirstUnacceptableArgument) {
  const std::pair<const wchar_t*, const wchar_t*> cases[] = {
      {L"x /QUIET", L"/QUIET"},
      {L"x /DIR=C:\\Program Files", L"Files"},  // an unquoted folder with a blank
      {L"x /SILENT=1", L"/SILENT=1"},
      {L"x /S=", L"/S="},
      {L"x /DIR=", L"/DIR="},
      {L"x /DIR", L"/DIR"},
      // Not a full installation folder: where the files would go is not what the record says.
      {L"x /DIR=C:Korvu", L"/DIR=C:Korvu"},
      {L"x /DIR=C:", L"/DIR=C:"},
      {L"x /DIR=ж:\\Korvu", L"/DIR=ж:\\Korvu"},  // no drive letter
      {L"x /DIR=\\Korvu", L"/DIR=\\Korvu"},
      {L"x /DIR=Korvu", L"/DIR=Korvu"},
      {L"x \"/DIR=C:\\Korvu Dots\\..\\Korvu Other\"", L"/DIR=C:\\Korvu Dots\\..\\Korvu Other"},
      {L"x /DIR=C:\\Korvu\\.", L"/DIR=C:\\Korvu\\."},
      {L"x /DIR=C:\\Korvu.\\x", L"/DIR=C:\\Korvu.\\x"},
      {L"x \"/DIR=C:\\Korvu \"", L"/DIR=C:\\Korvu "},
      {L"x /DIR=C:\\Korvu:x", L"/DIR=C:\\Korvu:x"},
      {L"x /DIR=\\\\?\\C:\\Korvu", L"/DIR=\\\\?\\C:\\Korvu"},
      {L"x /DIR=\\\\.\\C:\\Korvu", L"/DIR=\\\\.\\C:\\Korvu"},
      {L"x /LOG=", L"/LOG="},
      {L"x /LOG=setup.txt", L"/LOG=setup.txt"},  // relative
      {L"x /LOG=C:setup.txt", L"/LOG=C:setup.txt"},
      {L"x /LOG=\\\\.\\PhysicalDrive0", L"/LOG=\\\\.\\PhysicalDrive0"},  // a device
      {L"x /LOG=\\\\?\\C:\\l.txt", L"/LOG=\\\\?\\C:\\l.txt"},
      {L"x / /SILENT", L"/"},
      {L"x \"\"", L"\"\""},
      {L"x /SILENT bad1 bad2", L"bad1"},
  };
  for (const auto& [line, argument] : cases) {
    const auto c = dt::ParseCommandLine(line);
    EXPECT_EQ(c.badArgument, argument) << line;
  }
  // What could be read stays known, so that an unattended run can still log the problem (and shows
  // nothing, even when the silent switch itself carries a value).
  auto c = dt::ParseCommandLine(L"x /VERYSILENT /LOG=C:\\l.txt /bogus");
  EXPECT_EQ(c.mode, dt::RunMode::kVerySilent);
  EXPECT_EQ(c.logFile, L"C:\\l.txt");
  c = dt::ParseCommandLine(L"x /SILENT=1");
  EXPECT_TRUE(c.Bad());
  EXPECT_EQ(c.mode, dt::RunMode::kSilent);
}

// The uninstaller takes the same switches but the installer's own; its helper form is recognised
// only as the first argument, exactly, and hands its arguments over unread.
TEST(ParseCommandLine, TheUninstallerRefusesTheInstallersSwitchesAndKnowsItsHelperForm) {
  for (const wchar_t* line : {L"u /DIR=C:\\Korvu", L"u /sp-", L"u -DIR=D:\\K", L"u /SILENT /SP-"}) {
    const auto c = dt::ParseCommandLine(line, dt::kUninstallerSwitches);
    EXPECT_TRUE(c.Bad()) << line;
    EXPECT_FALSE(dt::ParseCommandLine(line).Bad()) << line;  // the installer's own
  }
  EXPECT_EQ(dt::ParseCommandLine(L"u /SILENT /SP- /DIR=x", dt::kUninstallerSwitches).badArgument,
            L"/SP-");
  auto c = dt::ParseCommandLine(L"u /VERYSILENT /LOG=C:\\l.txt /NORESTART",
                                dt::kUninstallerSwitches);
  EXPECT_FALSE(c.Bad());
  EXPECT_EQ(c.mode, dt::RunMode::kVerySilent);

  c = dt::ParseCommandLine(L"\"C:\\h\\Uninstaller.exe\" /REMOVE-AFTER-EXIT 12 0 \"C:\\a b\"",
                           dt::kUninstallerSwitches);
  ASSERT_TRUE(c.helper);
  EXPECT_EQ(*c.helper, (std::vector<std::wstring>{L"12", L"0", L"C:\\a b"}));
  EXPECT_FALSE(c.Bad());
  // Anywhere else, in another spelling, or to the installer, it is an unknown switch.
  for (const auto& [line, switches] :
       {std::pair{L"u /SILENT /REMOVE-AFTER-EXIT 1", dt::kUninstallerSwitches},
        std::pair{L"u /remove-after-exit 1", dt::kUninstallerSwitches},
        std::pair{L"u /REMOVE-AFTER-EXIT 1", dt::kInstallerSwitches}}) {
    c = dt::ParseCommandLine(line, switches);
    EXPECT_FALSE(c.helper) << line;
    EXPECT_TRUE(c.Bad()) << line;
  }
}

}  // namespace
