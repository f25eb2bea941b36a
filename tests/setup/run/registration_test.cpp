#include "setup/run/registration.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <stdexcept>

#include "core/install_record.h"
#include "install_fixture.h"
#include "win32/sha256.h"
#include "win32/registry.h"

namespace {

using testing_support::Dword;
using testing_support::Exists;
using testing_support::HasOther64BitView;
using testing_support::HklmString;
using testing_support::HklmValue;
using testing_support::ReadFileBytes;
using testing_support::Text;

using testing_support::kSettingsKey;
using testing_support::kUninstallKey;

// Records every key opened and value written; can refuse keys or fail one value.
class RecordingRegistry final : public setup::ProductRegistry {
 public:
  class RecordingKey final : public Key {
   public:
    RecordingKey(RecordingRegistry& owner, std::string path)
        : owner_(owner), path_(std::move(path)) {}
    void WriteString(const std::string& name, const std::string& value) override {
      if (name == owner_.failOn) throw std::runtime_error("Failed to set data for '" + name + "'");
      owner_.writes.push_back(path_ + " | " + name + " = " + value);
    }
    void WriteDword(const std::string& name, std::uint32_t value) override {
      if (name == owner_.failOn) throw std::runtime_error("Failed to set data for '" + name + "'");
      owner_.writes.push_back(path_ + " | " + name + " = dword " + std::to_string(value));
    }

   private:
    RecordingRegistry& owner_;
    std::string path_;
  };
  std::unique_ptr<Key> CreateKey(HKEY, const std::string& path) override {
    if (refuseKeys) return nullptr;
    return std::make_unique<RecordingKey>(*this, path);
  }
  std::vector<std::string> writes;
  std::string failOn;
  bool refuseKeys = false;
};

class RegisterProductTest : public testing_support::InstallFixture {
 protected:
  void SetUp() override {
    InstallFixture::SetUp();
    CreateDirectoryA((temp / "Program Files").c_str(), nullptr);
    CreateDirectoryA(target.c_str(), nullptr);
  }
  // Puts the command-line recorder into the installation folder under both tool names, and the
  // files they register, as a run writes them (their content hashed as written).
  void InstallTools(const std::string& folder) {
    const std::string recorder = ReadFileBytes(testing_support::FromUnixPath(RECORDER_EXE));
    for (const auto& [name, content] : {std::pair<std::string, std::string>{"REGSVR32.EXE", recorder},
                                        {"RegTypLib.exe", recorder},
                                        {"KORVU50.DLL", "library"},
                                        {"kdatasetint.tlb", "MSFT type library"}}) {
      testing_support::WriteFileBytes(folder + "\\" + name, content);
      written.SetContent(setup::FileIdentity(folder + "\\" + name),
                         dt::Sha256Hex(*win::Sha256(content)));
    }
  }
  setup::WrittenFiles written;  // what the run wrote, as the registration is told
  // The tools are not waited for: poll for their records.
  static std::string AwaitRecord(const std::string& path) {
    for (int i = 0; i < 300 && !Exists(path); ++i) Sleep(50);
    return ReadFileBytes(path);
  }
};

TEST_F(RegisterProductTest, WritesKeysToolsAndIniInOrder) {
  RecordingRegistry registry;
  setup::RegisterProduct(registry, state, 4321, written);
  const std::string today = setup::LocalDateText();
  const std::string u =
      "\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Korvu v5.02 build Ostelan | ";
  const std::string s = "SOFTWARE\\Fendaro\\Korvu\\5.0 | ";
  EXPECT_EQ(registry.writes, (std::vector<std::string>{
                                 u + "DisplayName = Korvu v5.02 build Ostelan",
                                 u + "UninstallString = \"" + target + "\\Uninstaller.exe\"",
                                 u + "QuietUninstallString = \"" + target +
                                     "\\Uninstaller.exe\" /VERYSILENT",
                                 u + "DisplayVersion = 5.02",
                                 u + "Publisher = Fendaro",
                                 u + "InstallLocation = " + target,
                                 u + "InstallDate = " + today,
                                 u + "EstimatedSize = dword 4321",
                                 u + "NoModify = dword 1",
                                 u + "NoRepair = dword 1",
                                 s + "ProgramDir = " + target,
                                 s + "SearchPaths = ",
                                 s + "GeoDictionary = " + target + "\\Maps\\GeoDict.DCT",
                                 s + "VersionCode = 5.02",
                                 s + "CommonDLLDir = " + target,
                             }));
  EXPECT_EQ(ReadFileBytes(target + "\\Uninstaller.ini"),
            "[program]\r\nProgName=Korvu v5.02 build Ostelan\r\nInstallDir=" + target + "\r\n");
}

// The uninstall entry's values with their types, in the registry view of this build (the 32-bit
// view for the 32-bit program); under WOW64 the 64-bit view holds none of them.
TEST_F(RegisterProductTest, RealRegistryValuesAndToolCommandLinesWithBlanks) {
  if (HasOther64BitView()) RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, KEY_WOW64_64KEY, 0);
  InstallTools(target);
  setup::RegisterProduct(setup::SystemRegistry(), state, 70000, written);
  // The date is read after the run: at midnight it may be one day on.
  SYSTEMTIME now;
  GetLocalTime(&now);
  char today[16];
  std::snprintf(today, sizeof today, "%04d%02d%02d", now.wYear, now.wMonth, now.wDay);
  EXPECT_EQ(HklmValue(kUninstallKey, "DisplayName"), Text("Korvu v5.02 build Ostelan"));
  EXPECT_EQ(HklmValue(kUninstallKey, "UninstallString"),
            Text("\"" + target + "\\Uninstaller.exe\""));
  EXPECT_EQ(HklmValue(kUninstallKey, "QuietUninstallString"),
            Text("\"" + target + "\\Uninstaller.exe\" /VERYSILENT"));
  EXPECT_EQ(HklmValue(kUninstallKey, "DisplayVersion"), Text("5.02"));
  EXPECT_EQ(HklmValue(kUninstallKey, "Publisher"), Text("Fendaro"));
  EXPECT_EQ(HklmValue(kUninstallKey, "InstallLocation"), Text(target));
  EXPECT_EQ(HklmValue(kUninstallKey, "InstallDate"), Text(today));
  EXPECT_EQ(HklmValue(kUninstallKey, "EstimatedSize"), Dword(70000));
  EXPECT_EQ(HklmValue(kUninstallKey, "NoModify"), Dword(1));
  EXPECT_EQ(HklmValue(kUninstallKey, "NoRepair"), Dword(1));
  if (HasOther64BitView()) {
    EXPECT_FALSE(HklmValue(kUninstallKey, "DisplayName", KEY_WOW64_64KEY));
    for (const char* name : testing_support::NewUninstallValues()) {
      EXPECT_FALSE(HklmValue(kUninstallKey, name, KEY_WOW64_64KEY)) << name;
    }
  }
  EXPECT_EQ(HklmString(kSettingsKey, "SearchPaths"), "");
  EXPECT_EQ(HklmString(kSettingsKey, "GeoDictionary"), target + "\\Maps\\GeoDict.DCT");
  EXPECT_EQ(HklmString(kSettingsKey, "VersionCode"), "5.02");
  EXPECT_EQ(AwaitRecord(target + "\\REGSVR32.EXE.cmdline"),
            "\"" + target + "\\REGSVR32.EXE\" /s \"" + target + "\\KORVU50.DLL\"");
  EXPECT_EQ(AwaitRecord(target + "\\RegTypLib.exe.cmdline"),
            "\"" + target + "\\RegTypLib.exe\" \"" + target + "\\kdatasetint.tlb\"");
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, kUninstallKey);
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Fendaro");
}

TEST_F(RegisterProductTest, ATrailingBackslashDoublesInEveryPath) {
  state.InstallFolder = target + "\\";
  InstallTools(target);
  RecordingRegistry registry;
  setup::RegisterProduct(registry, state, 0, written);
  EXPECT_EQ(registry.writes.at(12),
            "SOFTWARE\\Fendaro\\Korvu\\5.0 | GeoDictionary = " + target + "\\\\Maps\\GeoDict.DCT");
  EXPECT_EQ(AwaitRecord(target + "\\REGSVR32.EXE.cmdline"),
            "\"" + target + "\\\\REGSVR32.EXE\" /s \"" + target + "\\\\KORVU50.DLL\"");
  EXPECT_NE(ReadFileBytes(target + "\\Uninstaller.ini").find("InstallDir=" + target + "\\\r\n"),
            std::string::npos);
}

TEST_F(RegisterProductTest, ASecondRunKeepsOtherIniSectionsAndReplacesItsKeys) {
  testing_support::WriteFileBytes(target + "\\Uninstaller.ini",
                                  "[other]\r\nkeep=1\r\n[program]\r\nProgName=old\r\nExtra=2\r\n");
  RecordingRegistry registry;
  setup::RegisterProduct(registry, state, 0, written);
  const std::string ini = ReadFileBytes(target + "\\Uninstaller.ini");
  EXPECT_NE(ini.find("[other]\r\nkeep=1"), std::string::npos) << ini;
  EXPECT_NE(ini.find("ProgName=Korvu v5.02 build Ostelan"), std::string::npos) << ini;
  EXPECT_NE(ini.find("Extra=2"), std::string::npos) << ini;
  EXPECT_EQ(ini.find("ProgName=old"), std::string::npos) << ini;
}

TEST_F(RegisterProductTest, AFailedValueWriteRaisesAndSkipsTheRest) {
  InstallTools(target);
  RecordingRegistry registry;
  registry.failOn = "GeoDictionary";
  try {
    setup::RegisterProduct(registry, state, 0, written);
    FAIL() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "Failed to set data for 'GeoDictionary'");
  }
  EXPECT_EQ(registry.writes.size(), 12u);
  Sleep(500);
  EXPECT_FALSE(Exists(target + "\\REGSVR32.EXE.cmdline"));
  EXPECT_FALSE(Exists(target + "\\Uninstaller.ini"));
}

// An ordinary user who can write the installation folder swaps a tool, or the library it is
// handed, after the run wrote them: the elevated run starts neither. A tool started holds its
// files unchangeable for as long as it may run.
TEST_F(RegisterProductTest, ToolsStartOnlyOnTheFilesTheRunWrote) {
  InstallTools(target);
  const std::string recorder = ReadFileBytes(target + "\\REGSVR32.EXE");
  testing_support::WriteFileBytes(target + "\\REGSVR32.EXE", recorder + "planted");
  testing_support::WriteFileBytes(target + "\\kdatasetint.tlb", "planted");
  RecordingRegistry registry;
  setup::RegisterProduct(registry, state, 0, written);
  Sleep(1000);
  EXPECT_FALSE(Exists(target + "\\REGSVR32.EXE.cmdline"));
  EXPECT_FALSE(Exists(target + "\\RegTypLib.exe.cmdline"));

  // The same files as written: both start, and their files stay as they are meanwhile.
  InstallTools(target);
  base::StartedTools started = setup::RegisterProduct(registry, state, 0, written);
  EXPECT_EQ(started.size(), 2u);
  EXPECT_FALSE(DeleteFileA((target + "\\KORVU50.DLL").c_str()));
  EXPECT_FALSE(MoveFileA((target + "\\REGSVR32.EXE").c_str(), (target + "\\old.exe").c_str()));
  EXPECT_NE(AwaitRecord(target + "\\REGSVR32.EXE.cmdline"), "<missing>");
  base::WaitForTools(started, std::chrono::seconds(10), base::NoLog(), {});
  started.clear();
  EXPECT_TRUE(DeleteFileA((target + "\\KORVU50.DLL").c_str()));

  // A file this run did not write is not used either.
  DeleteFileA((target + "\\REGSVR32.EXE.cmdline").c_str());
  DeleteFileA((target + "\\RegTypLib.exe.cmdline").c_str());
  written = setup::WrittenFiles();
  setup::RegisterProduct(registry, state, 0, written);
  Sleep(1000);
  EXPECT_FALSE(Exists(target + "\\RegTypLib.exe.cmdline"));
}

TEST_F(RegisterProductTest, KeysThatCannotBeOpenedAreSkippedSilently) {
  InstallTools(target);
  RecordingRegistry registry;
  registry.refuseKeys = true;
  setup::RegisterProduct(registry, state, 0, written);
  EXPECT_TRUE(registry.writes.empty());
  EXPECT_NE(AwaitRecord(target + "\\RegTypLib.exe.cmdline"), "<missing>");
  EXPECT_TRUE(Exists(target + "\\Uninstaller.ini"));
}

TEST_F(RegisterProductTest, ARelativeFolderGetsItsIniThereNotInTheWindowsFolder) {
  char previous[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, previous);
  SetCurrentDirectoryA((temp / "Program Files").c_str());
  state.InstallFolder = "Korvu";
  RecordingRegistry registry;
  setup::RegisterProduct(registry, state, 0, written);
  SetCurrentDirectoryA(previous);
  EXPECT_NE(ReadFileBytes(target + "\\Uninstaller.ini").find("InstallDir=Korvu\r\n"),
            std::string::npos);
}

TEST(StartProgram, StartsOnlyWhatExists) {
  EXPECT_FALSE(base::StartProgram("", "", true));
  EXPECT_FALSE(base::StartProgram("C:\\no\\such\\program.exe", "", true));
  testing_support::TempFolder temp;
  const std::string tool = temp / "tool.exe";
  ASSERT_TRUE(CopyFileA(testing_support::FromUnixPath(RECORDER_EXE).c_str(), tool.c_str(), FALSE))
      << GetLastError();
  const win::KernelHandle process = base::StartProgram(tool, "", false);
  ASSERT_TRUE(process) << "system error " << GetLastError();
  WaitForSingleObject(process.get(), 10000);
  // The blank after the path is there even without arguments.
  EXPECT_EQ(ReadFileBytes(tool + ".cmdline"), "\"" + tool + "\" ");
}

// (A read-only file cannot make it fail here: Wine lets root write one.)
TEST(WriteIniValue, FailsWithoutAFolderOrOnAFolderAndCreatesAMissingFile) {
  testing_support::TempFolder temp;
  EXPECT_FALSE(setup::WriteIniValue(temp / "missing\\x.ini", "s", "k", "v"));
  ASSERT_TRUE(CreateDirectoryA((temp / "folder.ini").c_str(), nullptr));
  EXPECT_FALSE(setup::WriteIniValue(temp / "folder.ini", "s", "k", "v"));
  EXPECT_TRUE(setup::WriteIniValue(temp / "x.ini", "s", "k", "v"));
  EXPECT_EQ(ReadFileBytes(temp / "x.ini"), "[s]\r\nk=v\r\n");
}

}  // namespace
