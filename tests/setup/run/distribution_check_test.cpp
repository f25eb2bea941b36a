// A sealed distribution at the lowest layer that sees it: the check of the archives a seal names,
// beside the program and inside a one-file installer, and the run that writes nothing before it
// has passed.
#include "setup/run/distribution_check.h"

#include <gtest/gtest.h>

#include "core/bundle_format.h"
#include "core/sha256.h"
#include "fake_view.h"
#include "install_fixture.h"
#include "setup/run/install_sequence.h"
#include "support/fake_pe.h"
#include "win32/wide_text.h"

namespace {

using testing_support::Exists;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

class NoRegistry final : public setup::ProductRegistry {
 public:
  std::unique_ptr<Key> CreateKey(HKEY, const std::string&) override { return nullptr; }
};

class DistributionCheckTest : public testing_support::InstallFixture {
 protected:
  static dt::SealedArchive SealOf(const std::string& bytes) {
    return {bytes.size(), dt::Sha256Of(bytes)};
  }
  // The run from its folder step on, with the check the program would have started.
  bool Run(setup::DistributionCheck& check) {
    view = {};
    setup::PrepareInstallFolder(state, target);
    return setup::RunInstall(state, view, registry, check.Sources());
  }
  std::wstring CheckError(const std::string& archive) const {
    return L"Ошибка проверки архива: \"" + win::AnsiToWide(archive) +
           L"\".\rПолучите дистрибутив заново.";
  }

  const std::string program = dt::BuildArchive({{"%InstallDir%\\a.txt", "program file"}});
  const std::string system = dt::BuildArchive({{"%InstallDir%\\b.txt", "system file"}});
  const std::string setupExe = source + "\\Setup.exe";
  testing_support::FakeView view;
  NoRegistry registry;
};

TEST_F(DistributionCheckTest, ArchivesThatMatchTheSealInstallThroughTheHandlesItHolds) {
  WriteFileBytes(source + "\\ProgramFiles.dt", program);
  WriteFileBytes(source + "\\SystemFiles.dt", system);
  WriteFileBytes(setupExe, testing_support::FakePe(false));
  dt::Seal seal{true, {SealOf(program), SealOf(system)}};
  state.Check = std::make_shared<setup::DistributionCheck>(seal, setupExe, source);
  // Held from the start: nobody may change, rename or delete a sealed archive meanwhile.
  const std::string archive = source + "\\ProgramFiles.dt";
  EXPECT_FALSE(MoveFileA(archive.c_str(), (source + "\\other.dt").c_str()));
  EXPECT_FALSE(DeleteFileA(archive.c_str()));
  EXPECT_EQ(CreateFileA(archive.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        nullptr, OPEN_EXISTING, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_TRUE(Run(*state.Check));
  EXPECT_EQ(ReadFileBytes(target + "\\a.txt"), "program file");
  EXPECT_EQ(ReadFileBytes(target + "\\b.txt"), "system file");
  EXPECT_TRUE(view.shownErrors.empty());
  EXPECT_EQ(state.Check->BytesChecked(), program.size() + system.size());
}

// One byte changed, another archive, one cut short or longer: the check error, and nothing of
// either archive written. A sealed archive that is missing: the open error, nothing written.
TEST_F(DistributionCheckTest, AnArchiveThatDiffersOrIsMissingStopsTheRunBeforeAnythingIsWritten) {
  WriteFileBytes(setupExe, testing_support::FakePe(false));
  const std::string archive = source + "\\SystemFiles.dt";
  std::string changed = system;
  changed[changed.size() - 3] ^= 1;
  const std::string other = dt::BuildArchive({{"%InstallDir%\\b.txt", "another"}});
  for (const std::string& bytes :
       {changed, other, system.substr(0, system.size() - 1), system + "x"}) {
    WriteFileBytes(source + "\\ProgramFiles.dt", program);
    WriteFileBytes(archive, bytes);
    setup::DistributionCheck check({true, {SealOf(program), SealOf(system)}}, setupExe, source);
    state.Check = nullptr;
    EXPECT_FALSE(check.Await(view, base::NoLog()));
    const auto failure = check.Failure();
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->kind, setup::SealFailure::Kind::kDiffers);
    EXPECT_EQ(failure->found, SealOf(bytes));
    EXPECT_EQ(view.shownErrors, std::vector<std::wstring>{CheckError(archive)});
    view = {};
  }
  // Through a run: nothing written, the folder step's folder aside.
  {
    state.Check = std::make_shared<setup::DistributionCheck>(
        dt::Seal{true, {SealOf(program), SealOf(system)}}, setupExe, source);
    EXPECT_FALSE(Run(*state.Check));
    EXPECT_EQ(view.shownErrors, std::vector<std::wstring>{CheckError(archive)});
    EXPECT_FALSE(Exists(target + "\\a.txt"));
    EXPECT_FALSE(Exists(target + "\\Uninstaller.dat"));
    state.Check = nullptr;
  }
  DeleteFileA(archive.c_str());
  state.Check = std::make_shared<setup::DistributionCheck>(
      dt::Seal{true, {SealOf(program), SealOf(system)}}, setupExe, source);
  EXPECT_FALSE(Run(*state.Check));
  EXPECT_EQ(view.shownErrors,
            std::vector<std::wstring>{L"Ошибка чтения архива: \"" + win::AnsiToWide(archive) + L"\"."});
  EXPECT_FALSE(Exists(target + "\\a.txt"));
}

// A SystemFiles.dt put beside a program sealed without one is not used, and the log says so.
TEST_F(DistributionCheckTest, AnArchiveTheSealDoesNotNameIsNotUsed) {
  WriteFileBytes(setupExe, testing_support::FakePe(false));
  WriteFileBytes(source + "\\ProgramFiles.dt", program);
  WriteFileBytes(source + "\\SystemFiles.dt", system);
  state.Check = std::make_shared<setup::DistributionCheck>(
      dt::Seal{true, {SealOf(program), std::nullopt}}, setupExe, source);
  EXPECT_TRUE(Run(*state.Check));
  EXPECT_TRUE(Exists(target + "\\a.txt"));
  EXPECT_FALSE(Exists(target + "\\b.txt"));
}

// A one-file installer checks the archives inside its own file; one byte changed there is the
// check error, named by the program's path and the archive's name.
TEST_F(DistributionCheckTest, AOneFileInstallerChecksTheArchivesInsideIt) {
  const std::string bundle =
      dt::BuildBundle(testing_support::FakePe(false), {program, system});
  const dt::Seal seal{true, {SealOf(program), SealOf(system)}};
  WriteFileBytes(setupExe, bundle);
  state.Check = std::make_shared<setup::DistributionCheck>(seal, setupExe, source);
  EXPECT_TRUE(Run(*state.Check));
  EXPECT_EQ(ReadFileBytes(target + "\\b.txt"), "system file");

  std::string changed = bundle;
  changed[bundle.find("program file")] ^= 1;
  state.Check = nullptr;
  WriteFileBytes(setupExe, changed);
  DeleteFileA((target + "\\a.txt").c_str());
  state.Check = std::make_shared<setup::DistributionCheck>(seal, setupExe, source);
  EXPECT_FALSE(Run(*state.Check));
  EXPECT_EQ(view.shownErrors, std::vector<std::wstring>{CheckError(setupExe + "\\ProgramFiles.dt")});
  EXPECT_FALSE(Exists(target + "\\a.txt"));
}

}  // namespace
