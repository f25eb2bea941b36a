// The program's own seal: the block in its .dtseal section, read from the image in memory.
#include "setup/run/own_seal.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include "core/archive_writer.h"
#include "core/install_record.h"
#include "core/sha256.h"
#include "install_fixture.h"
#include "seal.h"
#include "win32/handles.h"

namespace {

using testing_support::FromUnixPath;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

std::string ThisProgramsPath() {
  char path[MAX_PATH];
  const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  return std::string(path, n);
}

// The section table of the running program, from its headers in memory.
const IMAGE_SECTION_HEADER* SectionInMemory(const char* name) {
  const auto base = reinterpret_cast<const std::uint8_t*>(GetModuleHandleA(nullptr));
  const auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
  for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
    if (std::strncmp(reinterpret_cast<const char*>(section->Name), name, 8) == 0) return section;
  }
  return nullptr;
}

TEST(OwnSeal, AProgramAsBuiltCarriesAnUnsealedBlock) {
  const auto seal = setup::OwnSeal();
  ASSERT_TRUE(seal);
  EXPECT_EQ(*seal, dt::Seal{});
  EXPECT_EQ(dtSealBlock, dt::UnsealedBlock());
}

TEST(OwnSeal, TheBlockStartsTheImagesDtsealSectionInMemoryAndInTheFile) {
  const IMAGE_SECTION_HEADER* section = SectionInMemory(".dtseal");
  ASSERT_NE(section, nullptr);
  const auto base = reinterpret_cast<const std::uint8_t*>(GetModuleHandleA(nullptr));
  EXPECT_EQ(base + section->VirtualAddress, dtSealBlock.data());
  EXPECT_GE(section->Misc.VirtualSize, dt::kSealSize);

  // The packaging tool's way: through the file's section table.
  const std::string file = ReadFileBytes(ThisProgramsPath());
  dt::MemorySource source(file);
  std::string problem;
  const auto image = dt::ReadPeImage(source, problem);
  ASSERT_TRUE(image) << problem;
  const auto at = dt::FindSealBlock(*image, problem);
  ASSERT_TRUE(at) << problem;
  EXPECT_EQ(*at, section->PointerToRawData);
  const dt::SealBlock unsealed = dt::UnsealedBlock();
  EXPECT_EQ(file.substr(*at, dt::kSealSize), std::string(unsealed.begin(), unsealed.end()));
}

// Copies of a small program on OwnSeal() with the block in the file changed: each reports what
// its image holds.
class SealedCopyTest : public ::testing::Test {
 protected:
  // Runs a program with its report file as its argument, and returns what it reported.
  std::string Run(const std::string& program) {
    const std::string report = temp / "report.txt";
    DeleteFileA(report.c_str());
    std::string commandLine = "\"" + program + "\" \"" + report + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info)) {
      return "cannot start";
    }
    CloseHandle(info.hThread);
    win::KernelHandle process(info.hProcess);
    if (WaitForSingleObject(process.get(), 60000) != WAIT_OBJECT_0) return "did not end";
    return ReadFileBytes(report);
  }

  // Runs a copy of the probe whose block is `block`, and returns what it reported.
  std::string RunWithBlock(const dt::SealBlock& block) {
    std::string program = ReadFileBytes(FromUnixPath(OWN_SEAL_PROBE_EXE));
    dt::MemorySource source(program);
    std::string problem;
    const auto image = dt::ReadPeImage(source, problem);
    if (!image) return "not a program: " + problem;
    const auto at = dt::FindSealBlock(*image, problem);
    if (!at) return "no block: " + problem;
    std::memcpy(program.data() + *at, block.data(), block.size());
    const std::string copy = temp / ("probe" + std::to_string(++copies_) + ".exe");
    WriteFileBytes(copy, program);
    return Run(copy);
  }

  testing_support::TempFolder temp;
  int copies_ = 0;
};

TEST_F(SealedCopyTest, EachCopyReadsTheBlockItsImageHolds) {
  EXPECT_EQ(RunWithBlock(dt::UnsealedBlock()), "unsealed");

  dt::Seal seal;
  seal.sealed = true;
  seal.archives[1] = dt::SealedArchive{123456789012ull, dt::Sha256Of("SystemFiles.dt")};
  EXPECT_EQ(RunWithBlock(dt::EncodeSeal(seal)),
            "sealed - 123456789012:" + dt::Sha256Hex(dt::Sha256Of("SystemFiles.dt")));
  seal.archives[0] = dt::SealedArchive{7, dt::Sha256Of("ProgramFiles.dt")};
  EXPECT_EQ(RunWithBlock(dt::EncodeSeal(seal)),
            "sealed 7:" + dt::Sha256Hex(dt::Sha256Of("ProgramFiles.dt")) +
                " 123456789012:" + dt::Sha256Hex(dt::Sha256Of("SystemFiles.dt")));

  // Bytes the packaging tool never writes: no seal at all.
  dt::SealBlock damaged = dt::EncodeSeal(seal);
  damaged[16] = 2;
  EXPECT_EQ(RunWithBlock(damaged), "none");
  damaged = dt::UnsealedBlock();
  damaged[0] ^= 0x20;
  EXPECT_EQ(RunWithBlock(damaged), "none");
}

// The packaging tool's sealed copy, as a user would make it: the program reads the archives'
// sizes and hashes from its image.
TEST_F(SealedCopyTest, ACopySealedByThePackagingToolReadsItsArchives) {
  const std::string program = dt::BuildArchive({{"%InstallDir%\\a.txt", "program files"}});
  const std::string system = dt::BuildArchive({{"%System32%\\b.dll", "system files"}});
  WriteFileBytes(temp / "ProgramFiles.dt", program);
  WriteFileBytes(temp / "SystemFiles.dt", system);
  dtpack::SealSetup({FromUnixPath(OWN_SEAL_PROBE_EXE),
                     {temp / "ProgramFiles.dt", temp / "SystemFiles.dt"},
                     temp / "sealed.exe"});
  EXPECT_EQ(Run(temp / "sealed.exe"), "sealed " + std::to_string(program.size()) + ":" +
                                          dt::Sha256Hex(dt::Sha256Of(program)) + " " +
                                          std::to_string(system.size()) + ":" +
                                          dt::Sha256Hex(dt::Sha256Of(system)));
  EXPECT_EQ(Run(FromUnixPath(OWN_SEAL_PROBE_EXE)), "unsealed");
}

}  // namespace
