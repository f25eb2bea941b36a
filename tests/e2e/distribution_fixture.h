// What the end-to-end tests share: a distribution folder with a copy of the real Setup.exe, the
// demo product's archives written on demand, and a registry without the product before and after
// each test.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "core/archive_writer.h"
#include "setup/run/install_fixture.h"
#include "support/temp_folder.h"

namespace testing_support {

class DistributionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ForgetProduct();
    CreateDirectoryA(dist.c_str(), nullptr);
    CopyFileA(FromUnixPath(SETUP_EXE).c_str(), (dist + "\\Setup.exe").c_str(), FALSE);
    tool = ReadFileBytes(FromUnixPath(RECORDER_EXE));
  }
  void TearDown() override { ForgetProduct(); }

  static void ForgetProduct() {
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kUninstallKey);
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Fendaro");
  }

  void Archive(const char* name, const std::vector<std::pair<std::string, std::string>>& files) {
    WriteFileBytes(dist + "\\" + name, dt::BuildArchive(files));
  }
  // The demo product: files and the two stand-in tools, plus `extra` filler files of 4 KiB that
  // make the run last; and a second archive, one of whose files exists by then.
  void DemoArchives(int extra = 0) {
    WriteFileBytes(dist + "\\ProgramFiles.dt", DemoProgramFiles(extra));
    WriteFileBytes(dist + "\\SystemFiles.dt", DemoSystemFiles());
  }
  std::string DemoProgramFiles(int extra = 0) const {
    std::vector<std::pair<std::string, std::string>> files = {
        {"%InstallDir%\\Maps\\GeoDict.DCT", "dictionary"},
        {"%InstallDir%\\KORVU50.DLL", "library"},
        {"%InstallDir%\\REGSVR32.EXE", tool},
        {"%InstallDir%\\RegTypLib.exe", tool},
        {"%InstallDir%\\kdatasetint.tlb", "type library"}};
    for (int i = 0; i < extra; ++i) {
      files.emplace_back("%InstallDir%\\many\\f" + std::to_string(i), std::string(4096, 'x'));
    }
    return dt::BuildArchive(files);
  }
  static std::string DemoSystemFiles() {
    return dt::BuildArchive({{"%InstallDir%\\Maps\\GeoDict.DCT", "not this one"},
                             {"%InstallDir%\\System\\korvu.sys", "system file"}});
  }

  TempFolder temp;
  const std::string dist = temp / "dist";
  const std::string folder = temp / "Program Files\\Korvu e2e";  // where the tests install
  std::string tool;  // the stand-in registration tool's bytes
};

}  // namespace testing_support
