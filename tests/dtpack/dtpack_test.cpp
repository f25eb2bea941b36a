#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>

#include "bundle.h"
#include "console.h"
#include "core/archive_format.h"
#include "core/archive_writer.h"
#include "core/bundle_format.h"
#include "core/stream_source.h"
#include "examine.h"
#include "pack.h"
#include "support/fake_pe.h"

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

TEST_F(DtpackTest, RefusesAndReportsTheInstallationRecordsName) {
  // The installer holds %InstallDir%\Uninstaller.dat open during a run: no archive may write it.
  Write("product/UNINSTALLER.DAT", "x");
  Write("product/Maps/Uninstaller.dat", "x");  // another folder: no clash
  const fs::path out = root_ / "r.dt";
  try {
    PackMappings({"%InstallDir%=" + (root_ / "product").string()}, out);
    ADD_FAILURE() << "not refused";
  } catch (const dtpack::InputError& e) {
    EXPECT_NE(std::string(e.what()).find("%InstallDir%\\UNINSTALLER.DAT: "), std::string::npos)
        << e.what();
  }
  EXPECT_FALSE(fs::exists(out));
  EXPECT_FALSE(fs::exists(root_ / "r.dt.partial"));
  PackMappings({"%InstallDir%\\Maps=" + (root_ / "product/Maps").string()}, out);
  std::ostringstream fine;
  EXPECT_EQ(dtpack::Verify(out, fine), 0) << fine.str();

  Write("record.dt",
        dt::BuildArchive({{"%InstallDir%\\a.txt", "a"}, {"%InstallDir%\\\\uninstaller.Dat", "b"}}));
  std::ostringstream report;
  EXPECT_EQ(dtpack::Verify(root_ / "record.dt", report), 1);
  EXPECT_NE(report.str().find("entry 2 (%InstallDir%\\\\uninstaller.Dat): the installer writes"),
            std::string::npos)
      << report.str();
}

TEST_F(DtpackTest, UnpackNeverLeavesItsFolder) {
  Write("one.txt", "1");
  PackMappings({"%InstallDir%\\..\\..\\escape.txt=" + (root_ / "one.txt").string()},
               root_ / "e.dt");
  std::ostringstream out, err;
  EXPECT_EQ(dtpack::Unpack(root_ / "e.dt", root_ / "out", out, err), 1);
  EXPECT_FALSE(fs::exists(root_ / "escape.txt"));
  EXPECT_NE(err.str().find("entry 1 (%InstallDir%\\..\\..\\escape.txt): holds the part \"..\""),
            std::string::npos)
      << err.str();
}

TEST_F(DtpackTest, UnpackChecksEveryEntryBeforeWritingAny) {
  // "%InstallDir%\<an absolute path>": a slash starts the path anew below the folder.
  const std::string absolute = "%InstallDir%\\" + (root_ / "escaped").generic_string();
  Write("mixed.dt", dt::BuildArchive({{"%InstallDir%\\fine.txt", "fine"},
                                      {absolute, "absolute"},
                                      {"%InstallDir%\\also-fine.txt", "fine too"},
                                      {"%InstallDir%\\a/../../../up", "climbing"}}));
  std::ostringstream out, err;
  EXPECT_EQ(dtpack::Unpack(root_ / "mixed.dt", root_ / "out", out, err), 1);
  EXPECT_FALSE(fs::exists(root_ / "escaped"));
  EXPECT_FALSE(fs::exists(root_ / "up"));
  EXPECT_FALSE(fs::exists(root_ / "out"));  // not even the folder
  EXPECT_EQ(out.str(), "");
  EXPECT_NE(err.str().find("entry 2 (" + absolute + "): holds a slash"), std::string::npos)
      << err.str();
  EXPECT_NE(err.str().find("entry 4 (%InstallDir%\\a/../../../up): holds a slash"),
            std::string::npos)
      << err.str();
  EXPECT_EQ(err.str().find("fine"), std::string::npos) << err.str();

  // A drive stays a folder of its letter.
  Write("drive.dt", dt::BuildArchive({{"C:\\Korvu\\x.dll", "x"}}));
  EXPECT_EQ(dtpack::Unpack(root_ / "drive.dt", root_ / "out", out, err), 0) << err.str();
  EXPECT_EQ(Read(root_ / "out/C/Korvu/x.dll"), "x");
}

// A one-file installer of a stand-in Setup.exe with two small archives.
class DtpackBundleTest : public DtpackTest {
 protected:
  void SetUp() override {
    DtpackTest::SetUp();
    setup = Write("Setup.exe", testing_support::FakePe(false, /*odd=*/true));
    program = Write("ProgramFiles.dt", dt::BuildArchive({{"%InstallDir%\\a.txt", "program"}}));
    system = Write("SystemFiles.dt", dt::BuildArchive({{"%System32%\\b.dll", "system"}}));
  }
  dtpack::BundleReport Bundle(const fs::path& out, bool withProgram = true) {
    return dtpack::Bundle(
        {setup, {withProgram ? std::optional(program) : std::nullopt, system}, out});
  }
  fs::path setup, program, system;
};

TEST_F(DtpackBundleTest, BundlesThenListsVerifiesAndUnpacksEachArchive) {
  const auto report = Bundle(root_ / "one.exe");
  const std::string bytes = Read(root_ / "one.exe");
  EXPECT_EQ(bytes.size(), report.bytes);
  EXPECT_EQ(bytes.substr(0, Read(setup).size()), Read(setup));
  ASSERT_TRUE(report.windows[0] && report.windows[1]);
  EXPECT_EQ(report.windows[0]->offset % 8, 0u);
  EXPECT_EQ(bytes.substr(report.windows[1]->offset, report.windows[1]->length), Read(system));
  EXPECT_EQ(bytes.size() % 8, 0u);  // a signing tool adds no padding of its own

  std::ostringstream listed, verified, unpacked, err;
  EXPECT_EQ(dtpack::List(root_ / "one.exe", listed, err), 0) << err.str();
  EXPECT_NE(listed.str().find("ProgramFiles.dt:\n7\t"), std::string::npos) << listed.str();
  EXPECT_NE(listed.str().find("SystemFiles.dt:\n6\t"), std::string::npos) << listed.str();
  EXPECT_EQ(dtpack::Verify(root_ / "one.exe", verified), 0) << verified.str();
  EXPECT_EQ(verified.str(), "ProgramFiles.dt: ok: 1 entries\nSystemFiles.dt: ok: 1 entries\n");
  EXPECT_EQ(dtpack::Unpack(root_ / "one.exe", root_ / "out", unpacked, err), 0) << err.str();
  EXPECT_EQ(Read(root_ / "out/ProgramFiles/InstallDir/a.txt"), "program");
  EXPECT_EQ(Read(root_ / "out/SystemFiles/System32/b.dll"), "system");

  // An archive not given is not in the installer.
  Bundle(root_ / "system-only.exe", /*withProgram=*/false);
  std::ostringstream only;
  EXPECT_EQ(dtpack::Verify(root_ / "system-only.exe", only), 0);
  EXPECT_EQ(only.str(), "SystemFiles.dt: ok: 1 entries\n");
}

TEST_F(DtpackBundleTest, UnpackWritesNoArchiveWhenOneIsRefused) {
  system = Write("SystemFiles.dt", dt::BuildArchive({{"%System32%\\a?.dll", "system"}}));
  Bundle(root_ / "one.exe");
  std::ostringstream out, err;
  EXPECT_EQ(dtpack::Unpack(root_ / "one.exe", root_ / "out", out, err), 1);
  EXPECT_FALSE(fs::exists(root_ / "out"));
  EXPECT_NE(err.str().find("one.exe\\SystemFiles.dt\": entry 1 (%System32%\\a?.dll): holds '?'"),
            std::string::npos)
      << err.str();
}

#ifndef _WIN32
// The C++ runtime on Windows reports no links of the file system as such: this runs on Linux.
TEST_F(DtpackBundleTest, UnpackRefusesALinkInItsFolderThatCouldLeadOut) {
  Bundle(root_ / "one.exe");
  fs::create_directories(root_ / "out/SystemFiles");
  fs::create_directories(root_ / "elsewhere");
  fs::create_directory_symlink(root_ / "elsewhere", root_ / "out/SystemFiles/System32");
  std::ostringstream out, err;
  EXPECT_EQ(dtpack::Unpack(root_ / "one.exe", root_ / "out", out, err), 1);
  EXPECT_TRUE(fs::is_empty(root_ / "elsewhere"));
  EXPECT_FALSE(fs::exists(root_ / "out/ProgramFiles"));
  EXPECT_NE(err.str().find("SystemFiles/System32\" is a symbolic link"), std::string::npos)
      << err.str();
}
#endif

TEST_F(DtpackBundleTest, RefusesWhatCannotBecomeAOneFileInstallerAndWritesNothing) {
  Bundle(root_ / "one.exe");
  const fs::path signedStub =
      Write("signed.exe", testing_support::FakeSign(Read(setup), /*is64=*/false));
  const struct {
    dtpack::BundleInputs inputs;
    const char* why;
  } cases[] = {
      {{program, {program, std::nullopt}, root_ / "x.exe"}, "MZ"},
      {{root_ / "one.exe", {program, std::nullopt}, root_ / "x.exe"}, "already carries"},
      {{signedStub, {program, std::nullopt}, root_ / "x.exe"}, "signed"},
      {{setup, {program, std::nullopt}, setup}, "is one of the inputs"},
      {{setup, {program, std::nullopt}, program}, "is one of the inputs"},
      {{setup, {root_ / "none.dt", std::nullopt}, root_ / "x.exe"}, "not a file"},
  };
  const std::string before = Read(program);
  for (const auto& c : cases) {
    try {
      dtpack::Bundle(c.inputs);
      ADD_FAILURE() << "not refused: " << c.why;
    } catch (const dtpack::InputError& e) {
      EXPECT_NE(std::string(e.what()).find(c.why), std::string::npos) << e.what();
    }
    EXPECT_FALSE(fs::exists(root_ / "x.exe"));
    EXPECT_FALSE(fs::exists(root_ / "x.exe.partial"));
  }
  EXPECT_EQ(Read(program), before);
  EXPECT_EQ(Read(setup), testing_support::FakePe(false, true));

  // The output's temporary name is an input, or another file: it would be cut and removed.
  const fs::path inTheWay = Write("y.exe.partial", before);
  for (const auto& archives : {std::array<std::optional<fs::path>, 2>{inTheWay, std::nullopt},
                               std::array<std::optional<fs::path>, 2>{program, std::nullopt}}) {
    EXPECT_THROW(dtpack::Bundle({setup, archives, root_ / "y.exe"}), dtpack::InputError);
    EXPECT_EQ(Read(inTheWay), before);
    EXPECT_FALSE(fs::exists(root_ / "y.exe"));
  }
}

TEST_F(DtpackBundleTest, ABrokenOrEmptyInstallerIsReportedNotRead) {
  Bundle(root_ / "one.exe");
  const std::string bytes = Read(root_ / "one.exe");
  Write("cut.exe", bytes.substr(0, bytes.size() - 1));
  std::ostringstream out, err;
  EXPECT_EQ(dtpack::Verify(root_ / "cut.exe", out), 1);
  EXPECT_NE(out.str().find("broken one-file installer"), std::string::npos) << out.str();
  EXPECT_EQ(dtpack::List(setup, out, err), 1);
  EXPECT_NE(err.str().find("without archives"), std::string::npos) << err.str();
}

}  // namespace
