// The uninstaller's own file name where a person reads it: the help box's usage line and the
// bad-command-line box.
#include "uninstall/uninstall_main.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(UninstallerProgramTest, TheHelpOpensWithTheProductAndTheUsageLine) {
  const std::wstring opening =
      L"Удаление программы Korvu 5.02.\n\n"
      L"Uninstaller.exe [параметры]\n\n"
      L"/SILENT\t";
  EXPECT_EQ(uninstall::HelpText().substr(0, opening.size()), opening);
}

TEST(UninstallerProgramTest, TheBadCommandLineBoxNamesUninstallerExe) {
  EXPECT_STREQ(uninstall::UninstallerProgram().fileName, L"Uninstaller.exe");
}

}  // namespace
