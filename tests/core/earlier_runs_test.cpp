// What a run takes over from the record it finds: trusted exactly as far as the uninstaller would
// trust the same lines.
#include "core/earlier_runs.h"

#include <gtest/gtest.h>

#include "core/record_builder.h"

namespace {

using record_tests::kFolder;
using record_tests::Record;

const dt::KnownFolders kKnown{kFolder, "C:\\Windows", "C:\\Windows\\system32",
                              "C:\\Windows\\Fonts"};
const std::string kInside = kFolder + "\\korvu.exe";
const std::string kSystemFile = "C:\\Windows\\system32\\korvu50.dll";
const std::string kElsewhere = "D:\\Other\\x.dll";

std::vector<std::string> Paths(const std::vector<dt::PlannedFile>& files) {
  std::vector<std::string> paths;
  for (const auto& file : files) paths.push_back(file.path);
  return paths;
}

dt::EarlierRuns Read(const Record& record, std::optional<std::uint64_t> anchored) {
  const dt::RecordRead read = dt::ReadRecord(record.bytes);
  std::string error;
  dt::EarlierRuns earlier = dt::ReadEarlierRuns({read, anchored, kFolder}, kKnown, &error);
  EXPECT_EQ(error, "");
  return earlier;
}

// An anchored run, then a run killed while it replaced and wrote files: only the killed run's
// lines inside the installation folder count, a file it was replacing is never its own, and the
// anchored run's files are the product's.
TEST(EarlierRuns, AfterAnAnchoredRecordOnlyAKilledRunsLinesInsideTheFolderCount) {
  Record record;
  record.Run(0).Line(dt::kRecordFolder, {kFolder + "\\Sub"}).File(kInside, "created", "5");
  record.File(kSystemFile, "created", "7").Shared(kSystemFile, "none");
  record.Line(dt::kRecordFilePending, {kFolder + "\\old.txt"})
      .Line(dt::kRecordTempPending, {kFolder + "\\old.txt.~00000001"})
      .Line(dt::kRecordFile, {kFolder + "\\old.txt", "replaced", "1", "01da9b8e3c4f5a00"});
  const std::uint64_t anchored = record.End();
  record.Run(anchored)
      .Line(dt::kRecordFilePending, {kInside})
      .Line(dt::kRecordTempPending, {kInside + ".~0123abcd"})
      .Line(dt::kRecordFilePending, {kElsewhere})
      .Line(dt::kRecordTempPending, {kElsewhere + ".~89abcdef"})
      .Line(dt::kRecordFilePending, {kFolder + "\\new.txt"})
      .Line(dt::kRecordFilePending, {kFolder + "\\theirs.txt"})
      .Line(dt::kRecordTempPending, {kFolder + "\\theirs.txt.~00c0ffee"})
      .Line(dt::kRecordFilePending, {"C:\\Windows\\system32\\new.dll"})
      .File(kFolder + "\\Sub\\done.txt", "created", "3");
  const dt::EarlierRuns earlier = Read(record, anchored);
  EXPECT_EQ(earlier.temporaries,
            (std::vector<std::string>{kFolder + "\\theirs.txt.~00c0ffee", kInside + ".~0123abcd"}));
  // theirs.txt was being replaced: there before, whatever it holds now.
  EXPECT_EQ(earlier.unconfirmed, std::vector<std::string>{kFolder + "\\new.txt"});
  EXPECT_EQ(earlier.created,
            (std::set<std::string>{dt::PathKey(kInside), dt::PathKey(kSystemFile),
                                   dt::PathKey(kFolder + "\\Sub\\done.txt")}));
  EXPECT_TRUE(earlier.carriedFiles.empty());
  EXPECT_TRUE(earlier.carriedFolders.empty());
}

// A record set aside (no anchor, or one that does not match): nothing of it is vouched for, so
// only files created inside the folder, not shared, with a size and time to check, and the folders
// made below it are carried forward (not the folder itself: only an anchor may say the product
// made it); nothing counts as created until the caller finds it unchanged.
TEST(EarlierRuns, ASetAsideRecordCarriesForwardOnlyWhatTheUninstallerWouldVouchFor) {
  Record record;
  record.Run(0)
      .Line(dt::kRecordMadeFolder, {kFolder, "step"})
      .Line(dt::kRecordFolderPending, {kFolder + "\\Sub"})
      .Line(dt::kRecordFolder, {kFolder + "\\Sub"})
      .File(kFolder + "\\Sub\\a.txt", "created", "1")
      .File(kFolder + "\\b.txt", "replaced", "1")
      .File(kFolder + "\\shared.dll", "created", "1")
      .Shared(kFolder + "\\shared.dll", "none")
      .File(kSystemFile, "created", "7")
      .Line(dt::kRecordFolderPending, {"C:\\Windows\\system32\\Korvu"})
      .Line(dt::kRecordFolder, {"C:\\Windows\\system32\\Korvu"})
      .Line(dt::kRecordFilePending, {kFolder + "\\c.txt"})
      .Line(dt::kRecordTempPending, {kFolder + "\\c.txt.~0000abcd"})
      .Line(dt::kRecordFilePending, {kFolder + "\\d.txt"});
  const dt::EarlierRuns earlier = Read(record, std::nullopt);
  EXPECT_EQ(Paths(earlier.carriedFiles), std::vector<std::string>{kFolder + "\\Sub\\a.txt"});
  ASSERT_EQ(earlier.carriedFiles.size(), 1u);
  EXPECT_EQ(earlier.carriedFiles[0].size, 1u);
  EXPECT_EQ(earlier.carriedFolders, std::vector<std::string>{kFolder + "\\Sub"});
  EXPECT_TRUE(earlier.created.empty());
  EXPECT_EQ(earlier.temporaries, std::vector<std::string>{kFolder + "\\c.txt.~0000abcd"});
  EXPECT_EQ(earlier.unconfirmed, std::vector<std::string>{kFolder + "\\d.txt"});
}

// A record no plan can be made of (here: the record of another folder) gives nothing.
TEST(EarlierRuns, ARecordOfAnotherFolderGivesNothing) {
  Record record;
  record.Run(0, "D:\\Elsewhere").File("D:\\Elsewhere\\a.txt", "created", "1");
  const dt::RecordRead read = dt::ReadRecord(record.bytes);
  std::string error;
  const dt::EarlierRuns earlier = dt::ReadEarlierRuns({read, std::nullopt, kFolder}, kKnown, &error);
  EXPECT_NE(error, "");
  EXPECT_TRUE(earlier.carriedFiles.empty() && earlier.carriedFolders.empty() &&
              earlier.temporaries.empty() && earlier.unconfirmed.empty());
}

}  // namespace
