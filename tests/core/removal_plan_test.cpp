// The removal plan made of a record: which items it lists, in which order, and what each carries.
#include "core/removal_plan.h"

#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>

#include "core/record_builder.h"

namespace {

using dt::RemovalPlan;
using record_tests::kFolder;
using record_tests::Record;

const std::string kSystemFile = "C:\\Windows\\system32\\korvu50.hlp";

RemovalPlan Plan(const Record& record, std::optional<std::uint64_t> anchored,
                 const std::string& folder = kFolder) {
  const dt::RecordRead read = dt::ReadRecord(record.bytes);
  return dt::MakeRemovalPlan({read, anchored, folder});
}

std::vector<std::string> Paths(const std::vector<dt::PlannedFile>& files) {
  std::vector<std::string> paths;
  for (const auto& file : files) paths.push_back(file.path);
  return paths;
}

const dt::PlannedFile& FileOf(const RemovalPlan& plan, const std::string& path) {
  for (const auto& file : plan.files) {
    if (dt::PathKey(file.path) == dt::PathKey(path)) return file;
  }
  throw std::runtime_error("not planned: " + path);
}

// The first run that several cases build on: the product's DLL created, the case's own lines, then
// the help file in the system folder (created by the run, or kept as it was found) counted as
// shared for the first time, with no count before.
class RemovalPlanAfterFirstRun : public ::testing::Test {
 protected:
  enum class SystemFile { kCreated, kKept };

  void FirstRun(const Record& own, SystemFile systemFile = SystemFile::kCreated) {
    r.Run().File(dll, "created", "10");
    r.bytes += own.bytes;
    if (systemFile == SystemFile::kCreated) {
      r.File(kSystemFile, "created", "7");
    } else {
      r.Line(dt::kRecordKept, {kSystemFile});
    }
    r.Shared(kSystemFile, "none");
    firstRunEnd = r.End();
  }

  const std::string dll = kFolder + "\\KORVU50.DLL";
  Record r;
  std::uint64_t firstRunEnd = 0;  // an anchor after the first run
};

TEST(RemovalPlan, OneRunListsWhatItMadeInReverseAndDeepestFirst) {
  Record r;
  r.Run()
      .Line(dt::kRecordLink, {"C:\\Program Files", "0"})
      .Line(dt::kRecordLink, {"C:\\Program Files\\Ostelan", "1"})
      .Line(dt::kRecordMadeFolder, {"C:\\Program Files\\Ostelan\\Korvu", "step"})
      .Line(dt::kRecordFolderPending, {kFolder + "\\Maps"})
      .Line(dt::kRecordFolder, {kFolder + "\\Maps"})
      .File(kFolder + "\\Maps\\GeoDict.DCT", "created", "4096")
      .File(kFolder + "\\KORVU50.DLL", "created", "")
      .File(kSystemFile, "created", "77")
      .Shared(kSystemFile, "none")
      .Line(dt::kRecordKeyPending, {"32", "SOFTWARE\\Fendaro"})
      .Line(dt::kRecordKeyPending, {"32", "SOFTWARE\\Fendaro\\Korvu"})
      .Line(dt::kRecordKey, {"32", "SOFTWARE\\Fendaro"})
      .Line(dt::kRecordKey, {"32", "SOFTWARE\\Fendaro\\Korvu"})
      .Line(dt::kRecordValuePending, {"32", "SOFTWARE\\Fendaro\\Korvu", "ProgramDir"})
      .Line(dt::kRecordValue, {"32", "SOFTWARE\\Fendaro\\Korvu", "ProgramDir", "created"})
      .Line(dt::kRecordValuePending, {"32", "SOFTWARE\\Fendaro\\Korvu", "VersionCode"})
      .Line(dt::kRecordValue, {"32", "SOFTWARE\\Fendaro\\Korvu", "VersionCode", "replaced"})
      .Line(dt::kRecordSha256, {kFolder + "\\KORVU50.DLL", std::string(64, 'a')});
  const std::uint64_t anchor = r.End();
  // After the anchor, as every run writes them: the tools and the INI values.
  r.Line(dt::kRecordIniPending, {kFolder + "\\Uninstaller.ini", "program", "ProgName"})
      .Line(dt::kRecordIni, {kFolder + "\\Uninstaller.ini", "program", "ProgName", "created", "1"});

  const RemovalPlan plan = Plan(r, anchor);
  EXPECT_EQ(Paths(plan.files), (std::vector<std::string>{kSystemFile, kFolder + "\\KORVU50.DLL",
                                                         kFolder + "\\Maps\\GeoDict.DCT"}));
  const auto& system = plan.files[0];
  EXPECT_TRUE(system.createdByProduct && system.anchored);
  EXPECT_FALSE(system.replacedOnly || system.temporary || system.announcedOnly || system.done);
  EXPECT_EQ(system.size, 77u);
  EXPECT_EQ(system.lastWrite, 0x01da9b8e3c4f5a00u);
  ASSERT_TRUE(system.shared);
  EXPECT_EQ(system.shared->increments, 1);
  EXPECT_EQ(system.shared->anchoredIncrements, 1);
  EXPECT_FALSE(system.shared->existedBefore);
  EXPECT_EQ(plan.files[1].size, std::nullopt);  // not read at the time
  EXPECT_FALSE(plan.files[1].shared);

  ASSERT_EQ(plan.folders.size(), 2u);
  EXPECT_EQ(plan.folders[0].path, kFolder + "\\Maps");
  EXPECT_EQ(plan.folders[1].path, kFolder);
  EXPECT_TRUE(plan.installFolderCreated);

  ASSERT_EQ(plan.keys.size(), 2u);
  EXPECT_EQ(plan.keys[0].key, "SOFTWARE\\Fendaro\\Korvu");
  EXPECT_EQ(plan.keys[1].key, "SOFTWARE\\Fendaro");
  ASSERT_EQ(plan.values.size(), 1u);  // the replaced value was there before
  EXPECT_EQ(plan.values[0].name, "ProgramDir");
  EXPECT_TRUE(plan.values[0].anchored);

  ASSERT_EQ(plan.iniKeys.size(), 1u);
  EXPECT_FALSE(plan.iniKeys[0].anchored);
  EXPECT_TRUE(plan.iniKeys[0].fileCreated);

  const auto hash = plan.sha256.find(dt::PathKey("c:\\program files\\ostelan\\korvu\\korvu50.dll"));
  ASSERT_NE(hash, plan.sha256.end());
  EXPECT_TRUE(hash->second.anchored);
  EXPECT_EQ(plan.linkLevels.size(), 2u);
  EXPECT_TRUE(plan.linkLevels.at(dt::PathKey("C:\\Program Files\\Ostelan")).wasLink);
}

TEST_F(RemovalPlanAfterFirstRun, LaterRunsKeepWhatTheFirstSightingSays) {
  const std::string readme = kFolder + "\\readme.txt";
  // The readme was there before the product; the system file existed without a count.
  FirstRun(Record().File(readme, "replaced", "5"), SystemFile::kKept);
  // The second run, into the same folder spelt otherwise, with a trailing backslash.
  r.Run("c:\\program files\\OSTELAN\\korvu\\")
      .File("c:\\program files\\ostelan\\korvu\\\\KORVU50.DLL", "replaced", "20")
      .File(kSystemFile, "replaced", "99")
      .Shared(kSystemFile, "dword:2");

  const RemovalPlan plan = Plan(r, r.End());
  ASSERT_EQ(plan.files.size(), 3u);  // one item per file, however spelt
  const auto& first = FileOf(plan, dll);
  EXPECT_EQ(first.path, dll);
  EXPECT_TRUE(first.createdByProduct);
  EXPECT_FALSE(first.replacedOnly);
  EXPECT_EQ(first.size, 20u);  // the last write

  EXPECT_TRUE(FileOf(plan, readme).replacedOnly);
  EXPECT_FALSE(FileOf(plan, readme).createdByProduct);

  const auto& shared = FileOf(plan, kSystemFile);
  EXPECT_FALSE(shared.createdByProduct);
  EXPECT_TRUE(shared.replacedOnly);
  EXPECT_EQ(shared.size, 99u);
  ASSERT_TRUE(shared.shared);
  EXPECT_EQ(shared.shared->increments, 2);
  EXPECT_TRUE(shared.shared->existedBefore);
  EXPECT_EQ(shared.shared->countBefore, "none");
}

TEST_F(RemovalPlanAfterFirstRun, ARunThatDidNotEndIsMarkedAndItsUnconfirmedChangesAreUnknown) {
  const std::string failed = kFolder + "\\held.dat";
  FirstRun(Record().Line(dt::kRecordFilePending, {failed}));  // its write failed and was skipped
  r.Run()
      .Shared(kSystemFile, "dword:1")
      .File(kFolder + "\\Maps\\new.dat", "created", "3")
      .Line(dt::kRecordFilePending, {dll})  // killed while replacing it
      .Line(dt::kRecordTempPending, {dll + ".~0badf00d"})
      .Line(dt::kRecordFilePending, {kFolder + "\\half.dat"});  // or while writing this

  const RemovalPlan plan = Plan(r, firstRunEnd);
  EXPECT_EQ(Paths(plan.files),
            (std::vector<std::string>{kFolder + "\\half.dat", dll + ".~0badf00d",
                                      kFolder + "\\Maps\\new.dat", kSystemFile, dll}));
  const auto& half = plan.files[0];
  EXPECT_TRUE(half.announcedOnly);
  EXPECT_FALSE(half.anchored || half.createdByProduct || half.size);
  const auto& temporary = plan.files[1];
  EXPECT_TRUE(temporary.temporary);
  EXPECT_FALSE(temporary.anchored || temporary.announcedOnly || temporary.size);
  EXPECT_FALSE(plan.files[2].anchored);
  EXPECT_TRUE(plan.files[2].createdByProduct);
  const auto& shared = plan.files[3];
  EXPECT_FALSE(shared.anchored);
  EXPECT_EQ(shared.shared->increments, 2);
  EXPECT_EQ(shared.shared->anchoredIncrements, 1);
  // Created in the anchored run, perhaps rewritten by the killed one: its size is unknown now.
  const auto& dllItem = plan.files[4];
  EXPECT_TRUE(dllItem.createdByProduct);
  EXPECT_FALSE(dllItem.anchored || dllItem.announcedOnly || dllItem.size);

  // Without an anchor nothing is anchored, and the skipped write is unknown as well.
  const RemovalPlan unanchored = Plan(r, std::nullopt);
  EXPECT_EQ(unanchored.files.size(), 6u);
  for (const auto& file : unanchored.files) EXPECT_FALSE(file.anchored) << file.path;
  EXPECT_TRUE(FileOf(unanchored, failed).announcedOnly);
}

TEST_F(RemovalPlanAfterFirstRun, TheUninstallersProgressSettlesItems) {
  const std::string map = kFolder + "\\map.dat";
  FirstRun(Record().File(map, "created", "4").Line(dt::kRecordFolder, {kFolder + "\\Maps"}));
  r.Line(dt::kRecordCountLowered, {kSystemFile})
      .Line(dt::kRecordRemoved, {"file", "c:\\PROGRAM FILES\\ostelan\\korvu\\korvu50.dll"})
      .Line(dt::kRecordKeptByRule, {"file", map, "changed since the installation"})
      .Line(dt::kRecordKeptByRule, {"folder", kFolder + "\\Maps", "not empty"});

  RemovalPlan plan = Plan(r, firstRunEnd);
  EXPECT_TRUE(FileOf(plan, dll).done);
  EXPECT_TRUE(FileOf(plan, map).done);
  EXPECT_TRUE(FileOf(plan, dll).anchored);  // the progress lines are not its facts
  EXPECT_TRUE(plan.folders.at(0).done);
  const auto& shared = FileOf(plan, kSystemFile);
  EXPECT_FALSE(shared.done);
  EXPECT_TRUE(shared.shared->countLowered);
  EXPECT_EQ(shared.shared->increments, 0);

  // A new run afterwards: the removed file is something new, the kept one goes on.
  r.Run().File(dll, "replaced", "30").File(map, "replaced", "5").Shared(kSystemFile, "dword:1");
  plan = Plan(r, firstRunEnd);
  EXPECT_FALSE(FileOf(plan, dll).done || FileOf(plan, dll).createdByProduct);
  EXPECT_TRUE(FileOf(plan, dll).replacedOnly);
  EXPECT_FALSE(FileOf(plan, map).done);
  EXPECT_TRUE(FileOf(plan, map).createdByProduct);
  EXPECT_EQ(FileOf(plan, kSystemFile).shared->increments, 1);
  EXPECT_FALSE(FileOf(plan, kSystemFile).shared->countLowered);
}

// Lines added after the first run's anchor by someone who can write the folder, then a repair run
// that appends after them and whose anchor covers the whole record: that anchor vouches for the
// repair's own lines, not for those it found unanchored, and neither does any later one. The
// uninstaller's progress among them still settles items. A record whose runs do not name what
// they appended after, as earlier versions wrote it, plans as before.
TEST_F(RemovalPlanAfterFirstRun, AnAnchorDoesNotVouchForLinesItsRunFoundUnanchored) {
  const std::string windowsFile = "C:\\Windows\\win.ini";
  const std::string windowsFolder = "C:\\Windows\\Empty";
  const std::string settings = "SOFTWARE\\Fendaro\\Korvu\\5.0";
  const std::string repaired = kFolder + "\\new.dat";
  FirstRun(Record());
  Record forged;
  forged.File(windowsFile, "created", "92")
      .Line(dt::kRecordFolderPending, {windowsFolder})
      .Line(dt::kRecordFolder, {windowsFolder})
      .Line(dt::kRecordFolder, {kFolder})  // as if the run had made the installation folder
      .Shared(kSystemFile, "dword:1")
      .Line(dt::kRecordKeyPending, {"32", "SOFTWARE\\Policies\\x"})
      .Line(dt::kRecordKey, {"32", "SOFTWARE\\Policies\\x"})
      .Line(dt::kRecordValuePending, {"32", settings, "Other"})
      .Line(dt::kRecordValue, {"32", settings, "Other", "created"})
      .Line(dt::kRecordKeptByRule, {"file", dll, "changed since the installation"});
  const Record before = r;

  r.bytes += forged.bytes;
  r.Run(firstRunEnd).File(repaired, "created", "3").Line(dt::kRecordFolder, {kFolder + "\\Sub"});
  RemovalPlan plan = Plan(r, r.End());
  const auto expectVouchedFor = [&](const RemovalPlan& p, bool forgedToo) {
    EXPECT_EQ(FileOf(p, windowsFile).anchored, forgedToo);
    EXPECT_TRUE(FileOf(p, windowsFile).createdByProduct);  // as the line says
    const auto& shared = FileOf(p, kSystemFile);
    EXPECT_EQ(shared.anchored, forgedToo);
    EXPECT_EQ(shared.shared->increments, 2);
    EXPECT_EQ(shared.shared->anchoredIncrements, forgedToo ? 2 : 1);
    ASSERT_EQ(p.folders.size(), 3u);
    EXPECT_EQ(p.folders[0].path, kFolder + "\\Sub");
    EXPECT_TRUE(p.folders[0].anchored);
    EXPECT_EQ(p.folders[2].path, windowsFolder);
    EXPECT_EQ(p.folders[2].anchored, forgedToo);
    EXPECT_EQ(p.installFolderCreated, forgedToo);
    ASSERT_EQ(p.keys.size(), 1u);
    EXPECT_EQ(p.keys[0].anchored, forgedToo);
    ASSERT_EQ(p.values.size(), 1u);
    EXPECT_EQ(p.values[0].anchored, forgedToo);
    // The first run's and the repair's own lines.
    EXPECT_TRUE(FileOf(p, dll).anchored && FileOf(p, repaired).anchored);
    EXPECT_TRUE(FileOf(p, dll).done);
  };
  {
    SCOPED_TRACE("the repair names the anchored length it appended after");
    expectVouchedFor(plan, false);
  }
  {
    SCOPED_TRACE("and a third run after it, anchored too");
    const std::uint64_t repairEnd = r.End();
    r.Run(repairEnd).File(kFolder + "\\third.dat", "created", "1");
    plan = Plan(r, r.End());
    expectVouchedFor(plan, false);
    EXPECT_TRUE(FileOf(plan, kFolder + "\\third.dat").anchored);
  }
  {
    SCOPED_TRACE("a repair of an earlier version");
    Record old = before;
    old.bytes += forged.bytes;
    old.Run().File(repaired, "created", "3").Line(dt::kRecordFolder, {kFolder + "\\Sub"});
    expectVouchedFor(Plan(old, old.End()), true);
  }
}

TEST(RemovalPlan, FoldersComeDeepestFirstAndOnce) {
  Record r;
  r.Run()
      .Line(dt::kRecordMadeFolder, {"C:\\Program Files\\Ostelan", "browser"})
      .Line(dt::kRecordMadeFolder, {kFolder, "browser"})
      .Line(dt::kRecordFolder, {kFolder + "\\A"})
      .Line(dt::kRecordFolder, {kFolder + "\\A\\B\\C"})
      .Line(dt::kRecordFolder, {kFolder + "\\D"});
  r.Run().Line(dt::kRecordFolder, {kFolder + "\\a"});  // removed by hand and made again
  std::vector<std::string> paths;
  for (const auto& folder : Plan(r, r.End()).folders) paths.push_back(folder.path);
  EXPECT_EQ(paths,
            (std::vector<std::string>{kFolder + "\\A\\B\\C", kFolder + "\\D", kFolder + "\\A",
                                      kFolder, "C:\\Program Files\\Ostelan"}));
}

TEST(RemovalPlan, IsNotMadeOfARecordThatIsNotSound) {
  Record r;
  r.Run().File(kFolder + "\\a", "created", "1").Line("shortcut", {"x"});
  const dt::RecordRead read = dt::ReadRecord(r.bytes);
  const dt::RemovalInput input{read, std::nullopt, kFolder};
  const std::optional<std::string> error = dt::PlanError(input);
  ASSERT_TRUE(error);
  try {
    dt::MakeRemovalPlan(input);
    ADD_FAILURE() << "planned";
  } catch (const std::invalid_argument& e) {
    EXPECT_EQ(e.what(), *error);
  }
}

}  // namespace
