#include "base/pending_renames.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "install_fixture.h"
#include "base/program_log.h"
#include "support/registry_value_guard.h"
#include "support/temp_folder.h"
#include "win32/wide_text.h"

namespace {

using testing_support::ReadFileBytes;

constexpr char kSessionManager[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";

// The bytes of a REG_MULTI_SZ value: each string with its zero, then the closing zero.
std::wstring MultiString(std::initializer_list<std::wstring> strings) {
  std::wstring data;
  for (const std::wstring& text : strings) data += text + L'\0';
  return data + L'\0';
}

std::wstring Nt(const std::string& path) {
  return L"\\??\\" + win::AnsiToWide(path);
}

std::wstring Upper(std::wstring text) {
  CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

// The log's lines without their time.
std::vector<std::string> Lines(const std::string& log) {
  std::vector<std::string> lines;
  for (std::size_t at = 0, end; (end = log.find("\r\n", at)) != std::string::npos; at = end + 2) {
    lines.push_back(log.substr(at + 24, end - at - 24));  // "YYYY-MM-DD HH:MM:SS.mmm "
  }
  return lines;
}

// Both values of the prefix are saved, cleared for the case and put back afterwards.
class PendingRenamesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    first.Delete();
    second.Delete();
  }
  // Runs BeforeWrite for the target with a log, and gives the log's text.
  std::string WriteWithLog(base::PendingRenames& pending, const std::string& path) {
    {
      base::ProgramLog log = base::ProgramLog::OpenFile(win::AnsiToWide(temp / "log.txt"));
      EXPECT_TRUE(log.IsOpen());
      pending.BeforeWrite(path, log);
    }
    return ReadFileBytes(temp / "log.txt");
  }

  testing_support::TempFolder temp;
  testing_support::RegistryValueGuard first{HKEY_LOCAL_MACHINE, kSessionManager,
                                            "PendingFileRenameOperations"};
  testing_support::RegistryValueGuard second{HKEY_LOCAL_MACHINE, kSessionManager,
                                             "PendingFileRenameOperations2"};
  const std::string target = temp / "Korvu50.dll";
};

TEST_F(PendingRenamesTest, OnlyADeleteOfTheTargetGoesAndTheLastEntryTakesItsValue) {
  const std::string other = temp / "other.dll", newer = temp / "Korvu50.new",
                    aside = temp / "Korvu50.old";
  first.SetMultiString(MultiString({
      L"\\??\\" + Upper(win::AnsiToWide(target)), L"",  // delete of the target, other letters
      Nt(other), L"",                                    // delete of another file
      Nt(newer), L"!" + Nt(target),                      // rename onto the target
      Nt(target), Nt(aside)}));                          // rename of the target aside
  second.SetMultiString(MultiString({Nt(target), L""}));

  base::PendingRenames pending = base::PendingRenames::Read();
  ASSERT_FALSE(pending.Empty());
  const std::string log = WriteWithLog(pending, target);

  EXPECT_EQ(first.WideData(), MultiString({Nt(other), L"", Nt(newer), L"!" + Nt(target),
                                           Nt(target), Nt(aside)}));
  EXPECT_FALSE(second.WideData()) << "a value with nothing left in it is deleted";
  const std::string t = "\"" + target + "\"";
  EXPECT_EQ(Lines(log),
            (std::vector<std::string>{
                "warning: a rename at restart will replace " + t + " with \"" + newer +
                    "\" (PendingFileRenameOperations)",
                "warning: a rename at restart will move " + t + " to \"" + aside +
                    "\" (PendingFileRenameOperations)",
                "pending delete at restart removed: " + t + " (PendingFileRenameOperations)",
                "pending delete at restart removed: " + t + " (PendingFileRenameOperations2)"}));
  EXPECT_FALSE(pending.Empty()) << "the renames are still pending";
}

// The entries as MoveFileEx writes them; one added after Read is kept when the value is written
// back, and is found by the next write of its own file.
TEST_F(PendingRenamesTest, EntriesMadeByTheSystemMatchAndLaterOnesAreKept) {
  const std::string other = temp / "other.dll", newer = temp / "Korvu50.new";
  testing_support::WriteFileBytes(target, "old");
  testing_support::WriteFileBytes(newer, "new");
  // The target spelled otherwise: letter case, a dot folder, forward slashes.
  const std::string spelled = temp.path() + "/./KORVU50.DLL";
  ASSERT_TRUE(MoveFileExA(spelled.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
  ASSERT_TRUE(MoveFileExA(newer.c_str(), target.c_str(),
                          MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING));
  base::PendingRenames pending = base::PendingRenames::Read();
  ASSERT_TRUE(MoveFileExA(other.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));

  const std::string t = "\"" + target + "\"";
  EXPECT_EQ(Lines(WriteWithLog(pending, target)),
            (std::vector<std::string>{
                "warning: a rename at restart will replace " + t + " with \"" + newer +
                    "\" (PendingFileRenameOperations)",
                "pending delete at restart removed: " + t + " (PendingFileRenameOperations)"}));
  EXPECT_EQ(first.WideData(), MultiString({Nt(newer), L"!" + Nt(target), Nt(other), L""}));

  EXPECT_EQ(Lines(WriteWithLog(pending, other)),
            (std::vector<std::string>{"pending delete at restart removed: \"" + other +
                                      "\" (PendingFileRenameOperations)"}));
  EXPECT_EQ(first.WideData(), MultiString({Nt(newer), L"!" + Nt(target)}));
}

TEST_F(PendingRenamesTest, NothingPendingWritesNothing) {
  second.SetText("not a list");  // a value of another type holds nothing usable
  base::PendingRenames pending = base::PendingRenames::Read();
  EXPECT_TRUE(pending.Empty());
  EXPECT_EQ(WriteWithLog(pending, target), "");
  first.SetMultiString(MultiString({}));  // an empty list is as good as none
  EXPECT_TRUE(base::PendingRenames::Read().Empty());
}

// Pending entries name files as the system acts on them: full paths, and under WOW64 the
// system folder that a 32-bit program's writes really reach.
TEST(PathAsTheSystemActsOnIt, FullPathAndTheRedirectedSystemFolder) {
  testing_support::TempFolder temp;
  char current[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, current);
  SetCurrentDirectoryA(temp.path().c_str());
  EXPECT_EQ(base::PathAsTheSystemActsOnIt("sub\\..\\a.dll"), win::AnsiToWide(temp / "a.dll"));
  SetCurrentDirectoryA(current);

  char system[MAX_PATH], wow64[MAX_PATH];
  ASSERT_GT(GetSystemDirectoryA(system, MAX_PATH), 0u);
  const std::wstring acted = base::PathAsTheSystemActsOnIt(std::string(system) + "\\x.dll");
  if (testing_support::HasOther64BitView()) {
    ASSERT_GT(GetSystemWow64DirectoryA(wow64, MAX_PATH), 0u);
    EXPECT_EQ(acted, win::AnsiToWide(std::string(wow64) + "\\x.dll"));
  } else {
    EXPECT_EQ(acted, win::AnsiToWide(std::string(system) + "\\x.dll"));
  }
}

}  // namespace
