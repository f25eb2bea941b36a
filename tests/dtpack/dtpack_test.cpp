#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>

#include "console.h"
#include "core/archive_format.h"
#include "core/stream_source.h"
#include "examine.h"
#include "pack.h"

namespace {
namespace fs = std::filesystem;

class DtpackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device rd;
    root_ = fs::temp_directory_path() / ("dtpack-test-" + std::to_string(rd()));
    fs::create_directories(root_);
  }
  void TearDown() override { fs::remove_all(root_); }

  fs::path Write(const std::string& relative, const std::string& content) {
    const fs::path p = root_ / fs::u8path(relative);
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << content;
    return p;
  }
  static std::string Read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  dtpack::PackReport PackMappings(const std::vector<std::string>& args, const fs::path& out) {
    std::vector<dtpack::Mapping> mappings;
    for (const auto& a : args) mappings.push_back(dtpack::ParseMapping(a));
    return dtpack::Pack(dtpack::CollectInputs(mappings), out, nullptr);
  }

  fs::path root_;
};

TEST_F(DtpackTest, PacksFoldersAndFilesDeterministicallyAndUnpacksThemAgain) {
  Write("product/Maps/GeoDict.DCT", "dictionary");
  Write("product/KORVU50.DLL", "library");
  Write("product/Справка.txt", "library");  // same content: stored once
  Write("fonts/korvu.ttf", "font");
  const std::vector<std::string> args = {
      "%InstallDir%=" + (root_ / "product").string(),
      "%Fonts%\\korvu.ttf=" + (root_ / "fonts/korvu.ttf").string()};
  const auto report = PackMappings(args, root_ / "a.dt");
  EXPECT_EQ(report.entries, 4u);
  EXPECT_EQ(report.payloads, 3u);
  EXPECT_TRUE(report.warnings.empty());
  PackMappings(args, root_ / "b.dt");
  EXPECT_EQ(Read(root_ / "a.dt"), Read(root_ / "b.dt"));
  EXPECT_FALSE(fs::exists(root_ / "a.dt.partial"));

  dt::StreamSource source(root_ / "a.dt");
  const auto dir = dt::ReadDirectory(source);
  ASSERT_EQ(dir.items.size(), 4u);
  EXPECT_EQ(dir.items[0].Name, "%InstallDir%\\KORVU50.DLL");
  EXPECT_EQ(dir.items[1].Name, "%InstallDir%\\Maps\\GeoDict.DCT");
  EXPECT_EQ(dir.items[2].Name, "%InstallDir%\\\xD1\xEF\xF0\xE0\xE2\xEA\xE0.txt");
  EXPECT_EQ(dir.items[0].Offset, dir.items[2].Offset);

  std::ostringstream out;
  EXPECT_EQ(dtpack::Verify(root_ / "a.dt", out), 0) << out.str();
  std::ostringstream listed, err;
  EXPECT_EQ(dtpack::List(root_ / "a.dt", listed, err), 0);
  EXPECT_NE(listed.str().find("10\t"), std::string::npos);
  EXPECT_NE(listed.str().find(dtpack::ShowStored("%InstallDir%\\\xD1\xEF\xF0\xE0\xE2\xEA\xE0.txt")),
            std::string::npos);

  ASSERT_EQ(dtpack::Unpack(root_ / "a.dt", root_ / "out", out, err), 0) << err.str();
  EXPECT_EQ(Read(root_ / "out/InstallDir/Maps/GeoDict.DCT"), "dictionary");
  EXPECT_EQ(Read(root_ / fs::u8path("out/InstallDir/Справка.txt")), "library");
  EXPECT_EQ(Read(root_ / "out/Fonts/korvu.ttf"), "font");
}

TEST_F(DtpackTest, RefusesWhatTheInstallerCouldNotUnpackAndWritesNothing) {
  const fs::path out = root_ / "x.dt";
  Write("empty/zero.txt", "");
  EXPECT_THROW(PackMappings({"%InstallDir%=" + (root_ / "empty").string()}, out),
               dtpack::InputError);
  Write("one.txt", "1");
  EXPECT_THROW(PackMappings({"one.txt=" + (root_ / "one.txt").string()}, out), dtpack::InputError);
  EXPECT_THROW(PackMappings({"%InstallDir%\\日本.txt=" + (root_ / "one.txt").string()}, out),
               dtpack::InputError);
  EXPECT_THROW(PackMappings({"%InstallDir%=" + (root_ / "missing").string()}, out),
               dtpack::InputError);
  EXPECT_THROW(dtpack::ParseMapping("no-equals-sign"), dtpack::InputError);
  for (int i = 0; i < 1025; ++i) Write("many/f" + std::to_string(i), "x");
  EXPECT_THROW(PackMappings({"%InstallDir%=" + (root_ / "many").string()}, out),
               dtpack::InputError);
  EXPECT_FALSE(fs::exists(out));
  EXPECT_FALSE(fs::exists(root_ / "x.dt.partial"));
}

TEST_F(DtpackTest, WarnsAboutMacrosThatWouldNotExpand) {
  Write("one.txt", "1");
  const auto report = PackMappings({"%installdir%\\a.txt=" + (root_ / "one.txt").string(),
                                    "%InstallDir%\\b.txt=" + (root_ / "one.txt").string(),
                                    "%InstallDir%\\b.txt=" + (root_ / "one.txt").string()},
                                   root_ / "w.dt");
  std::string all;
  for (const auto& w : report.warnings) all += w + '\n';
  EXPECT_NE(all.find("%installdir%\\a.txt: macro %installdir% is written in another letter case"),
            std::string::npos)
      << all;
  EXPECT_NE(all.find("%InstallDir%\\b.txt: stored more than once"), std::string::npos) << all;
  EXPECT_EQ(all.find("%InstallDir%\\b.txt: macro"), std::string::npos) << all;
}

TEST_F(DtpackTest, VerifyReportsEveryBrokenRule) {
  std::string bytes;
  dt::AppendInt32(bytes, 4);
  const auto entry = [&](const std::string& name, std::int32_t offset) {
    dt::AppendInt32(bytes, 0);
    bytes += name + '\0';
    dt::AppendInt32(bytes, offset);
  };
  entry("nofolder.txt", 1000);  // name without a folder part, offset past the end
  entry("%InstallDir%\\neg", -4);
  entry("%InstallDir%\\zero", 0);  // filled in below: a record of size 0
  const std::size_t zeroOffsetAt = bytes.size() - 4;
  // the fourth entry is missing: the directory breaks off
  const auto zeroRecord = static_cast<std::int32_t>(bytes.size());
  dt::AppendInt32(bytes, 0);
  for (int i = 0; i < 4; ++i)
    bytes[zeroOffsetAt + i] = static_cast<char>((zeroRecord >> (8 * i)) & 0xFF);
  Write("bad.dt", bytes);

  std::ostringstream out;
  EXPECT_EQ(dtpack::Verify(root_ / "bad.dt", out), 1);
  const std::string report = out.str();
  EXPECT_NE(report.find("breaks off after 3 of 4"), std::string::npos) << report;
  EXPECT_NE(report.find("needs a folder part"), std::string::npos) << report;
  EXPECT_NE(report.find("no readable PayloadSize"), std::string::npos) << report;
  EXPECT_NE(report.find("negative"), std::string::npos) << report;
  EXPECT_NE(report.find("PayloadSize is 0"), std::string::npos) << report;

  Write("short.dt", "\x01\x00");
  EXPECT_EQ(dtpack::Verify(root_ / "short.dt", out), 1);
}

TEST_F(DtpackTest, UnpackNeverLeavesItsFolder) {
  Write("one.txt", "1");
  PackMappings({"%InstallDir%\\..\\..\\escape.txt=" + (root_ / "one.txt").string()},
               root_ / "e.dt");
  std::ostringstream out, err;
  EXPECT_EQ(dtpack::Unpack(root_ / "e.dt", root_ / "out", out, err), 1);
  EXPECT_FALSE(fs::exists(root_ / "escape.txt"));
}

}  // namespace
