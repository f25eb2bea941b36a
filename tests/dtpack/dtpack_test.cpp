#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>

#include "bundle.h"
#include "console.h"
#include "core/archive_format.h"
#include "core/archive_writer.h"
#include "core/bundle_format.h"
#include "core/install_record.h"
#include "core/seal_format.h"
#include "core/sha256.h"
#include "core/stream_source.h"
#include "examine.h"
#include "pack.h"
#include "seal.h"
#include "support/fake_pe.h"

namespace {
namespace fs = std::filesystem;
using dtpack::ShowPath;

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

TEST_F(DtpackBundleTest, AStubWithoutASealBlockIsBundledUnsealedWithAWarning) {
  const auto report = Bundle(root_ / "one.exe");
  EXPECT_FALSE(report.seal);
  ASSERT_EQ(report.warnings.size(), 1u);
  EXPECT_NE(report.warnings[0].find("has no seal block"), std::string::npos) << report.warnings[0];
  std::ostringstream out;
  EXPECT_EQ(dtpack::VerifySealed(root_ / "one.exe", {}, out), 1);
  EXPECT_NE(out.str().find("has no seal block (no .dtseal section)"), std::string::npos)
      << out.str();
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

// The seal's block and CheckSum field of a program file.
struct ProgramFacts {
  std::optional<dt::Seal> seal;  // nothing without a valid block
  std::uint32_t checksum = 0;    // the field
  std::uint32_t sum = 0;         // the file's PE checksum
};

ProgramFacts FactsOf(const std::string& file) {
  ProgramFacts facts;
  dt::MemorySource source(file);
  std::string problem;
  const auto image = dt::ReadPeImage(source, problem);
  if (!image) return facts;
  facts.checksum = image->checksum;
  dt::PeChecksum sum(image->checksumOffset);
  sum.Add(0, file);
  facts.sum = sum.Finish(file.size());
  const auto at = dt::FindSealBlock(*image, problem);
  if (at && *at + dt::kSealSize <= file.size()) {
    facts.seal = dt::DecodeSeal(
        std::span(reinterpret_cast<const std::uint8_t*>(file.data()) + *at, dt::kSealSize));
  }
  return facts;
}

// A three-file distribution of a stand-in Setup.exe (with its seal block and a CheckSum field
// set, as the linker sets it) and two small archives, and a sealed copy of the program beside them.
class DtpackSealTest : public DtpackTest {
 protected:
  void SetUp() override {
    DtpackTest::SetUp();
    setup = Write("Setup.exe", testing_support::FakeSetup(false));
    program = Write("dist/ProgramFiles.dt", dt::BuildArchive({{"%InstallDir%\\a.txt", "program"}}));
    system = Write("dist/SystemFiles.dt", dt::BuildArchive({{"%System32%\\b.dll", "system"}}));
  }
  dtpack::SealReport Seal(const fs::path& out, bool withProgram = true, bool withSystem = true) {
    return dtpack::SealSetup({setup,
                              {withProgram ? std::optional(program) : std::nullopt,
                               withSystem ? std::optional(system) : std::nullopt},
                              out});
  }
  static dt::SealedArchive Sealed(const std::string& bytes) {
    return {bytes.size(), dt::Sha256Of(bytes)};
  }
  int VerifyBeside(std::string& report) {
    std::ostringstream out;
    const int status = dtpack::VerifySealed(root_ / "dist/Setup.exe", {}, out);
    report = out.str();
    return status;
  }
  fs::path setup, program, system;
};

TEST_F(DtpackSealTest, SealsACopyWithEachArchivesSizeAndHashAndAConsistentChecksum) {
  const auto report = Seal(root_ / "dist/Setup.exe");
  const std::string before = Read(setup);
  const std::string sealed = Read(root_ / "dist/Setup.exe");
  EXPECT_EQ(report.bytes, sealed.size());
  EXPECT_TRUE(report.warnings.empty());
  ASSERT_EQ(sealed.size(), before.size());

  const ProgramFacts facts = FactsOf(sealed);
  ASSERT_TRUE(facts.seal);
  EXPECT_TRUE(facts.seal->sealed);
  EXPECT_EQ(facts.seal->archives[0], Sealed(Read(program)));
  EXPECT_EQ(facts.seal->archives[1], Sealed(Read(system)));
  EXPECT_EQ(report.seal, *facts.seal);
  EXPECT_NE(facts.checksum, FactsOf(before).checksum);
  EXPECT_EQ(facts.checksum, facts.sum);
  // Nothing else changed: the block and the CheckSum field are the only differences.
  for (std::size_t i = 0; i < sealed.size(); ++i) {
    const bool block = i >= testing_support::kFakeSealOffset &&
                       i < testing_support::kFakeSealOffset + dt::kSealSize;
    const bool field =
        i >= testing_support::kFakeChecksumField && i < testing_support::kFakeChecksumField + 4;
    if (!block && !field) {
      ASSERT_EQ(sealed[i], before[i]) << "byte " << i;
    }
  }
  EXPECT_EQ(Read(setup), testing_support::FakeSetup(false));  // the input is left alone

  // The same inputs, the same bytes.
  Seal(root_ / "again.exe");
  EXPECT_EQ(Read(root_ / "again.exe"), sealed);
  EXPECT_FALSE(fs::exists(root_ / "again.exe.partial"));

  std::string verified;
  EXPECT_EQ(VerifyBeside(verified), 0) << verified;
  EXPECT_EQ(verified, ShowPath(root_ / "dist" / "ProgramFiles.dt") + ": ok: as sealed\n" +
                          ShowPath(root_ / "dist" / "SystemFiles.dt") + ": ok: as sealed\n");
}

TEST_F(DtpackSealTest, AnArchiveNotGivenDoesNotBelong) {
  const auto report = Seal(root_ / "system-only.exe", /*withProgram=*/false);
  const ProgramFacts facts = FactsOf(Read(root_ / "system-only.exe"));
  ASSERT_TRUE(facts.seal);
  EXPECT_FALSE(facts.seal->archives[0]);
  EXPECT_EQ(facts.seal->archives[1], Sealed(Read(system)));
  // Beside it, ProgramFiles.dt is not used.
  fs::rename(root_ / "system-only.exe", root_ / "dist/Setup.exe");
  std::string verified;
  EXPECT_EQ(VerifyBeside(verified), 1);
  EXPECT_NE(verified.find("ProgramFiles.dt: not named by the seal: the sealed program does not use "
                          "it\n"),
            std::string::npos)
      << verified;
  EXPECT_NE(verified.find("SystemFiles.dt: ok: as sealed"), std::string::npos) << verified;
}

TEST_F(DtpackSealTest, ACheckSumFieldOfZeroStaysZero) {
  for (const bool is64 : {false, true}) {
    Write("Setup.exe", testing_support::FakeSetup(is64, dt::UnsealedBlock(), /*checksum=*/false));
    fs::remove(root_ / "out.exe");
    Seal(root_ / "out.exe");
    const ProgramFacts facts = FactsOf(Read(root_ / "out.exe"));
    EXPECT_EQ(facts.checksum, 0u);
    ASSERT_TRUE(facts.seal);
    EXPECT_TRUE(facts.seal->sealed);
  }
  // A 64-bit program's field, when set, is kept consistent as well.
  Write("Setup.exe", testing_support::FakeSetup(true));
  fs::remove(root_ / "out.exe");
  Seal(root_ / "out.exe");
  const ProgramFacts facts = FactsOf(Read(root_ / "out.exe"));
  EXPECT_NE(facts.checksum, 0u);
  EXPECT_EQ(facts.checksum, facts.sum);
}

TEST_F(DtpackSealTest, RefusesWhatItCannotSealAndWritesNothing) {
  Seal(root_ / "sealed.exe");
  dtpack::Bundle({setup, {program, std::nullopt}, root_ / "bundled.exe"});
  dt::SealBlock damagedBlock = dt::UnsealedBlock();
  damagedBlock[20] = 1;  // a reserved byte
  const fs::path damaged = Write("damaged.exe", testing_support::FakeSetup(false, damagedBlock));
  const fs::path foreign = Write("foreign.exe", testing_support::FakePe(false));
  const fs::path signedSetup =
      Write("signed.exe", testing_support::FakeSign(testing_support::FakeSetup(false), false));
  const fs::path broken = Write("broken/ProgramFiles.dt", "\x01");
  std::string cut = Read(program);
  cut.pop_back();
  const fs::path shortened = Write("cut/ProgramFiles.dt", cut);
  const fs::path x = root_ / "x.exe";
  const struct {
    dtpack::SealInputs inputs;
    const char* why;
  } cases[] = {
      {{setup, {std::nullopt, std::nullopt}, x}, "nothing to seal"},
      {{program, {program, std::nullopt}, x}, "MZ"},
      {{foreign, {program, std::nullopt}, x}, "has no seal block (no .dtseal section): not this"},
      {{damaged, {program, std::nullopt}, x}, "holds no valid seal block"},
      {{root_ / "sealed.exe", {program, std::nullopt}, x}, "is already sealed"},
      {{root_ / "bundled.exe", {program, std::nullopt}, x}, "already carries data behind"},
      {{signedSetup, {program, std::nullopt}, x}, "is signed"},
      {{setup, {broken, std::nullopt}, x}, "does not pass dtpack verify:\n  the archive is too"},
      {{setup, {shortened, std::nullopt}, x}, "reaches past the end of the archive"},
      {{setup, {std::nullopt, root_ / "none.dt"}, x}, "not a file"},
      {{setup, {program, system}, setup}, "is one of the inputs"},
      {{setup, {program, system}, system}, "is one of the inputs"},
  };
  for (const auto& c : cases) {
    try {
      dtpack::SealSetup(c.inputs);
      ADD_FAILURE() << "not refused: " << c.why;
    } catch (const dtpack::InputError& e) {
      EXPECT_NE(std::string(e.what()).find(c.why), std::string::npos) << e.what();
    }
    EXPECT_FALSE(fs::exists(x)) << c.why;
    EXPECT_FALSE(fs::exists(root_ / "x.exe.partial")) << c.why;
  }
  EXPECT_EQ(Read(setup), testing_support::FakeSetup(false));
  EXPECT_EQ(Read(system), dt::BuildArchive({{"%System32%\\b.dll", "system"}}));

  // The output's temporary name is taken.
  const fs::path inTheWay = Write("y.exe.partial", "keep");
  EXPECT_THROW(dtpack::SealSetup({setup, {program, std::nullopt}, root_ / "y.exe"}),
               dtpack::InputError);
  EXPECT_EQ(Read(inTheWay), "keep");
  EXPECT_FALSE(fs::exists(root_ / "y.exe"));
}

TEST_F(DtpackSealTest, AnArchiveUnderAnotherNameIsSealedWithAWarning) {
  const fs::path other = Write("other.dt", Read(program));
  const auto report = dtpack::SealSetup({setup, {other, std::nullopt}, root_ / "out.exe"});
  ASSERT_EQ(report.warnings.size(), 1u);
  EXPECT_NE(report.warnings[0].find("looks for it as ProgramFiles.dt"), std::string::npos)
      << report.warnings[0];
  // Its letter case does not matter: Windows finds it either way.
  const fs::path lower = Write("lower/programfiles.DT", Read(program));
  EXPECT_TRUE(
      dtpack::SealSetup({setup, {lower, std::nullopt}, root_ / "out2.exe"}).warnings.empty());
}

TEST_F(DtpackSealTest, VerifyFindsEveryArchiveThatIsNotAsSealed) {
  Seal(root_ / "dist/Setup.exe");
  const std::string original = Read(program);
  std::string report;
  const auto expectProblem = [&](const std::string& what, const std::string& line) {
    EXPECT_EQ(VerifyBeside(report), 1) << what;
    EXPECT_NE(report.find(line), std::string::npos) << what << ":\n" << report;
  };

  std::string changed = original;
  changed[changed.size() / 2] ^= 1;
  Write("dist/ProgramFiles.dt", changed);
  expectProblem("a changed byte", "ProgramFiles.dt: its SHA-256 " +
                                      dt::Sha256Hex(dt::Sha256Of(changed)) + " is not the sealed " +
                                      dt::Sha256Hex(dt::Sha256Of(original)) + "\n");
  EXPECT_NE(report.find("SystemFiles.dt: ok: as sealed"), std::string::npos) << report;

  std::string another = dt::BuildArchive({{"%InstallDir%\\a.txt", "PROGRAM"}});
  ASSERT_EQ(another.size(), original.size());
  Write("dist/ProgramFiles.dt", another);
  expectProblem("another archive of the same size", "ProgramFiles.dt: its SHA-256");

  Write("dist/ProgramFiles.dt", original.substr(0, original.size() - 3));
  expectProblem("a cut archive", "ProgramFiles.dt: " + std::to_string(original.size() - 3) +
                                     " bytes, where the seal says " +
                                     std::to_string(original.size()) + "\n");

  fs::remove(root_ / "dist/ProgramFiles.dt");
  expectProblem("a missing archive", ShowPath(root_ / "dist" / "ProgramFiles.dt") +
                                         ": missing, but the seal names it\n");

  Write("dist/ProgramFiles.dt", original);
  EXPECT_EQ(VerifyBeside(report), 0) << report;

  // An archive the seal does not name, beside a program sealed without it.
  dtpack::SealSetup({setup, {program, std::nullopt}, root_ / "dist/Setup.exe"});
  expectProblem("an archive not named",
                "SystemFiles.dt: not named by the seal: the sealed program does not use it\n");
  EXPECT_NE(report.find("ProgramFiles.dt: ok: as sealed"), std::string::npos) << report;
}

TEST_F(DtpackSealTest, VerifyTakesGivenArchivesByTheirFileNames) {
  Seal(root_ / "sealed.exe");
  const fs::path elsewhere = Write("elsewhere/SYSTEMFILES.DT", Read(system));
  const fs::path stranger = Write("elsewhere/Extra.dt", Read(system));
  const fs::path wrong = Write("wrong/SystemFiles.dt", Read(program));
  std::ostringstream out;
  EXPECT_EQ(dtpack::VerifySealed(root_ / "sealed.exe", {elsewhere, program}, out), 0) << out.str();
  EXPECT_EQ(out.str(),
            ShowPath(elsewhere) + ": ok: as sealed\n" + ShowPath(program) + ": ok: as sealed\n");

  std::ostringstream bad;
  EXPECT_EQ(dtpack::VerifySealed(root_ / "sealed.exe", {stranger, wrong, system}, bad), 1);
  EXPECT_NE(bad.str().find(ShowPath(stranger) +
                           ": neither ProgramFiles.dt nor SystemFiles.dt by its name\n"),
            std::string::npos)
      << bad.str();
  EXPECT_NE(bad.str().find(ShowPath(wrong) + ": " + std::to_string(Read(program).size()) +
                           " bytes, where the seal says"),
            std::string::npos)
      << bad.str();
  EXPECT_NE(bad.str().find(ShowPath(system) + ": a second SystemFiles.dt\n"), std::string::npos)
      << bad.str();

  // Only a sealed program has anything to check archives against.
  for (const auto& [program, why] :
       {std::pair{setup, "is not sealed"},
        std::pair{Write("foreign.exe", testing_support::FakePe(false)), "has no seal block"},
        std::pair{root_ / "none.exe", "cannot open"}, std::pair{system, "MZ"}}) {
    std::ostringstream report;
    EXPECT_EQ(dtpack::VerifySealed(program, {}, report), 1) << why;
    EXPECT_NE(report.str().find(why), std::string::npos) << report.str();
  }
}

TEST_F(DtpackSealTest, BundleSealsTheArchivesInsideItAndVerifyChecksThem) {
  const auto report = dtpack::Bundle({setup, {program, system}, root_ / "one.exe"});
  EXPECT_TRUE(report.warnings.empty());
  ASSERT_TRUE(report.seal);
  const std::string bytes = Read(root_ / "one.exe");
  const ProgramFacts facts = FactsOf(bytes);
  ASSERT_TRUE(facts.seal);
  EXPECT_EQ(*facts.seal, *report.seal);
  EXPECT_TRUE(facts.seal->sealed);
  EXPECT_EQ(facts.seal->archives[0], Sealed(Read(program)));
  EXPECT_EQ(facts.seal->archives[1], Sealed(Read(system)));
  EXPECT_EQ(facts.checksum, facts.sum);  // over the whole file, the archives included
  EXPECT_EQ(bytes.substr(report.windows[0]->offset, report.windows[0]->length), Read(program));

  dtpack::Bundle({setup, {program, system}, root_ / "again.exe"});
  EXPECT_EQ(Read(root_ / "again.exe"), bytes);

  std::ostringstream verified;
  EXPECT_EQ(dtpack::Verify(root_ / "one.exe", verified), 0) << verified.str();
  EXPECT_EQ(verified.str(),
            "ProgramFiles.dt: ok: 1 entries\nSystemFiles.dt: ok: 1 entries\n"
            "seal: ProgramFiles.dt: ok: as sealed\nseal: SystemFiles.dt: ok: as sealed\n");
  std::ostringstream against;
  EXPECT_EQ(dtpack::VerifySealed(root_ / "one.exe", {}, against), 0) << against.str();
  EXPECT_EQ(against.str(), "ProgramFiles.dt: ok: as sealed\nSystemFiles.dt: ok: as sealed\n");
  std::ostringstream beside;
  EXPECT_EQ(dtpack::VerifySealed(root_ / "one.exe", {program}, beside), 1);
  EXPECT_NE(beside.str().find("it uses only the archives inside it"), std::string::npos)
      << beside.str();

  // A payload byte changed inside the installer: the archive still passes its rules, not its seal.
  std::string changed = bytes;
  const std::size_t payload = report.windows[1]->offset + report.windows[1]->length - 1;
  changed[payload] ^= 0x20;
  Write("changed.exe", changed);
  std::ostringstream caught;
  EXPECT_EQ(dtpack::Verify(root_ / "changed.exe", caught), 1);
  EXPECT_NE(caught.str().find("SystemFiles.dt: ok: 1 entries\n"), std::string::npos)
      << caught.str();
  EXPECT_NE(caught.str().find("seal: SystemFiles.dt: its SHA-256"), std::string::npos)
      << caught.str();
  EXPECT_NE(caught.str().find("seal: ProgramFiles.dt: ok: as sealed"), std::string::npos)
      << caught.str();

  // The seal names what the bundle was given, nothing more.
  dtpack::Bundle({setup, {std::nullopt, system}, root_ / "system-only.exe"});
  const ProgramFacts only = FactsOf(Read(root_ / "system-only.exe"));
  ASSERT_TRUE(only.seal);
  EXPECT_FALSE(only.seal->archives[0]);
  EXPECT_TRUE(only.seal->archives[1]);
}

TEST_F(DtpackSealTest, BundleTakesOnlyAnUnsealedSetup) {
  Seal(root_ / "sealed.exe");
  dt::SealBlock damagedBlock = dt::UnsealedBlock();
  damagedBlock[0] = 'k';
  const fs::path damaged = Write("damaged.exe", testing_support::FakeSetup(false, damagedBlock));
  for (const auto& [stub, why] : {std::pair{root_ / "sealed.exe", "is already sealed: bundle"},
                                  std::pair{damaged, "holds no valid seal block"}}) {
    try {
      dtpack::Bundle({stub, {program, system}, root_ / "x.exe"});
      ADD_FAILURE() << "not refused: " << why;
    } catch (const dtpack::InputError& e) {
      EXPECT_NE(std::string(e.what()).find(why), std::string::npos) << e.what();
    }
    EXPECT_FALSE(fs::exists(root_ / "x.exe"));
    EXPECT_FALSE(fs::exists(root_ / "x.exe.partial"));
  }
}

TEST_F(DtpackSealTest, AnUnsealedOneFileInstallerIsVerifiedAsBefore) {
  // A bundle whose block was set back to unsealed: its archives are checked, its seal is not.
  dtpack::Bundle({setup, {program, system}, root_ / "one.exe"});
  std::string bytes = Read(root_ / "one.exe");
  const dt::SealBlock unsealed = dt::UnsealedBlock();
  std::copy(unsealed.begin(), unsealed.end(), bytes.begin() + testing_support::kFakeSealOffset);
  Write("unsealed.exe", bytes);
  std::ostringstream out;
  EXPECT_EQ(dtpack::Verify(root_ / "unsealed.exe", out), 0) << out.str();
  EXPECT_EQ(out.str(), "ProgramFiles.dt: ok: 1 entries\nSystemFiles.dt: ok: 1 entries\n");
  // A damaged block is reported.
  bytes[testing_support::kFakeSealOffset + 16] = 7;
  Write("damaged.exe", bytes);
  std::ostringstream damaged;
  EXPECT_EQ(dtpack::Verify(root_ / "damaged.exe", damaged), 1);
  EXPECT_NE(damaged.str().find("seal: the .dtseal section holds no valid seal block"),
            std::string::npos)
      << damaged.str();
}

#ifdef SETUP_EXE
// The real Setup.exe of this build: its CheckSum field is the one computed here, and a sealed copy
// keeps it consistent.
TEST_F(DtpackSealTest, SealsTheRealSetupExe) {
  const fs::path real = fs::u8path(SETUP_EXE);
  const ProgramFacts built = FactsOf(Read(real));
  ASSERT_TRUE(built.seal);
  EXPECT_FALSE(built.seal->sealed);
  EXPECT_NE(built.checksum, 0u);
  EXPECT_EQ(built.checksum, built.sum);

  const auto report = dtpack::SealSetup({real, {program, system}, root_ / "dist/Setup.exe"});
  const ProgramFacts sealed = FactsOf(Read(root_ / "dist/Setup.exe"));
  ASSERT_TRUE(sealed.seal);
  EXPECT_EQ(*sealed.seal, report.seal);
  EXPECT_EQ(sealed.checksum, sealed.sum);
  std::string verified;
  EXPECT_EQ(VerifyBeside(verified), 0) << verified;

  const auto bundled = dtpack::Bundle({real, {program, system}, root_ / "one.exe"});
  ASSERT_TRUE(bundled.seal);
  const ProgramFacts one = FactsOf(Read(root_ / "one.exe"));
  EXPECT_EQ(one.checksum, one.sum);
  std::ostringstream out;
  EXPECT_EQ(dtpack::Verify(root_ / "one.exe", out), 0) << out.str();
}
#endif

}  // namespace
