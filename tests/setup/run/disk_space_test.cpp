// The disk-space check on a disk with room: what it counts on which volume, and what it leaves
// out. The tiny-disk cases are in full_disk_test.cpp.
#include "setup/run/disk_space.h"

#include <gtest/gtest.h>

#include "install_fixture.h"
#include "support/registry_value_guard.h"

namespace {

using testing_support::Exists;

class DiskSpaceTest : public testing_support::InstallFixture {
 protected:
  void SetUp() override {
    InstallFixture::SetUp();
    CreateDirectoryA((temp / "Program Files").c_str(), nullptr);
    CreateDirectoryA(target.c_str(), nullptr);
  }
  std::vector<setup::ArchiveToCheck> Archives() const {
    return {{source + "\\ProgramFiles.dt", true}, {source + "\\SystemFiles.dt", false}};
  }
  static std::string VolumeOf(const std::string& existingFolder) {
    char volume[MAX_PATH];
    EXPECT_TRUE(GetVolumePathNameA(existingFolder.c_str(), volume, MAX_PATH)) << existingFolder;
    return volume;
  }
  // The volume's free space told another way than the check tells it: free clusters times
  // the cluster's size.
  static std::uint64_t FreeClusterBytes(const std::string& volume) {
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
    GetDiskFreeSpaceA(volume.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters,
                      &clusters);
    return std::uint64_t{sectorsPerCluster} * bytesPerSector * freeClusters;
  }
};

// "ProgramFiles.dt" counts every entry; "SystemFiles.dt" only targets that neither exist nor are
// written by an earlier entry. A folder that does not exist yet belongs to the volume of its
// nearest existing parent. Nothing is created or written.
TEST_F(DiskSpaceTest, CountsWhatTheRunWouldWriteOnEachVolume) {
  testing_support::TempFolder elsewhere;  // a folder named in a stored path, on the same volume
  testing_support::WriteFileBytes(target + "\\existing.txt", "old");
  WriteArchive("ProgramFiles.dt", {{"%InstallDir%\\a.bin", std::string(3000, 'a')},
                                   {"%InstallDir%\\a.bin", std::string(1000, 'a')},
                                   {"%InstallDir%\\existing.txt", std::string(40, 'e')},
                                   {"%InstallDir%\\Maps\\Deep\\b.bin", std::string(500, 'b')}});
  WriteArchive("SystemFiles.dt", {{"%InstallDir%\\existing.txt", std::string(700, 's')},
                                  {"%InstallDir%\\a.bin", std::string(900, 's')},
                                  {"%InstallDir%\\new.bin", std::string(200, 'n')},
                                  {"%InstallDir%\\new.bin", std::string(300, 'n')},
                                  {elsewhere / "x\\other.bin", std::string(60, 'o')}});
  const auto volumes = setup::MeasureDiskSpace(target, Archives());
  ASSERT_EQ(volumes.size(), 1u);
  EXPECT_EQ(volumes[0].volume, VolumeOf(target));
  // Every entry also takes room in the installation record.
  EXPECT_EQ(volumes[0].needed, 3000u + 1000 + 40 + 500 + 200 + 60 + 9 * setup::kRecordRoomPerEntry);
  // The volume's free space, not a figure of another volume or the volume's size: within a few
  // MiB of what the cluster count says (GetDiskFreeSpace counts at most 2 GiB on some systems).
  const std::uint64_t clusterFree = FreeClusterBytes(volumes[0].volume);
  ASSERT_GT(clusterFree, 0u);
  if (clusterFree < (std::uint64_t{2} << 30)) {
    EXPECT_LT(volumes[0].free, clusterFree + (8u << 20));
    EXPECT_GT(volumes[0].free + (8u << 20), clusterFree);
  } else {
    EXPECT_GE(volumes[0].free + (8u << 20), clusterFree);
  }
  EXPECT_FALSE(volumes[0].FallsShort());
  EXPECT_FALSE(Exists(target + "\\Maps"));
  EXPECT_FALSE(Exists(target + "\\a.bin"));
  EXPECT_FALSE(Exists(elsewhere / "x"));

  // The distribution's archives, found as the run finds them: with room, no shortfall.
  state.SourceDir = source;
  const std::vector<setup::VolumeSpace> found =
      setup::MeasureDiskSpace(target, setup::ArchivesOfThisProgram(state.SourceDir));
  ASSERT_EQ(found.size(), 1u);
  EXPECT_FALSE(found[0].FallsShort());
  const std::string line = setup::DiskSpaceLogLine(found[0]);
  EXPECT_EQ(line.rfind("disk space on \"" + VolumeOf(target) + "\": needed 1 MB", 0), 0u) << line;
}

// An archive that cannot be opened, one whose directory is malformed and a missing one are left
// out, as is an entry on a drive that does not exist; the rest still counts. When a folder macro's
// source raises (every expansion asks it), every entry is left out.
TEST_F(DiskSpaceTest, WhatCannotBeReadIsLeftOut) {
  WriteArchive("ProgramFiles.dt", {{"%InstallDir%\\big.bin", std::string(4000, 'b')}});
  win::FileHandle held(CreateFileA((source + "\\ProgramFiles.dt").c_str(), GENERIC_READ, 0,
                                   nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(held);
  testing_support::WriteFileBytes(source + "\\Malformed.dt", std::string("\x01\x04\x00\x00", 4));
  WriteArchive("SystemFiles.dt", {{"Q:\\nowhere\\q.bin", std::string(100, 'q')},
                                  {"%InstallDir%\\counted.bin", std::string(10, 'c')}});
  auto archives = Archives();
  archives.push_back({source + "\\Malformed.dt", true});
  archives.push_back({source + "\\Missing.dt", true});
  const auto volumes = setup::MeasureDiskSpace(target, archives);
  held.reset();
  ASSERT_EQ(volumes.size(), 1u);
  EXPECT_EQ(volumes[0].needed, 10u + 2 * setup::kRecordRoomPerEntry);

  const testing_support::RegistryValueGuard fonts(
      HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
      "Fonts");
  const DWORD notText = 7;
  fonts.Set(REG_DWORD, &notText, sizeof notText);  // "Invalid data type for 'Fonts'"
  EXPECT_TRUE(setup::MeasureDiskSpace(target, Archives()).empty());
}

TEST(DiskSpaceQuestion, RoundsNeededUpAndFreeDownAndShowsTheVolumeLiterally) {
  const setup::VolumeSpace volume{"\\\\server\\A&B\\", (5u << 20) + 1, (3u << 20) - 1};
  // The question's label shows "&&" as one ampersand.
  EXPECT_EQ(setup::DiskSpaceQuestion(volume),
            L"Недостаточно места на диске \"\\\\server\\A&&B\\\": нужно 6 МБ, свободно 2 МБ.\r"
            L"Продолжить установку?");
}

}  // namespace
