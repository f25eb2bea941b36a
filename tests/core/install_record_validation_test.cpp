// The record's lines held to their kinds, their fields and their order before a removal plan is
// made of them.
#include "core/install_record_validation.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "core/record_builder.h"

namespace {

using record_tests::kFolder;
using record_tests::Record;

std::string ErrorOf(const Record& r, std::optional<std::uint64_t> anchor = std::nullopt) {
  const dt::RecordRead read = dt::ReadRecord(r.bytes);
  return dt::PlanError({read, anchor, kFolder}).value_or("");
}

TEST(InstallRecordValidation, ARecordThatIsNotSoundIsRefusedWithItsLine) {
  Record sound;
  sound.Run().File(kFolder + "\\a", "created", "1");
  EXPECT_EQ(ErrorOf(sound, sound.End()), "");
  EXPECT_EQ(ErrorOf(sound, 0), "");

  Record unknown = Record(sound).Line("shortcut", {"x"});
  EXPECT_EQ(ErrorOf(unknown),
            "line 4 (byte " + std::to_string(sound.End()) + "): unknown kind \"shortcut\"");

  const std::pair<Record, const char*> refused[] = {
      {Record(sound).Line(dt::kRecordFolder, {""}), "an empty path"},
      {Record(sound).Line(dt::kRecordFile, {"C:\\a", "created"}), "with 2 fields"},
      // A field's control bytes stay escaped in the message.
      {Record(sound).Line(dt::kRecordFile, {"C:\\a", "made\t", "1", ""}),
       "\"made%09\" is not created or replaced"},
      {Record(sound).Line(dt::kRecordShared, {"C:\\a", "dword:x"}), "not a count before"},
      {Record(sound).Line(dt::kRecordRemoved, {"service", "x"}), "unknown item"},
      {Record().Line(dt::kRecordRemoved, {"file", "C:\\a"}), "before the first run"},
      {Record().Run("C:\\Program Files\\Ostelan\\Korvu2"), "a run in"},
      // A temporary file must be that of a file announced before it, in the same run.
      {Record(sound).Line(dt::kRecordTempPending, {kFolder + "\\b.~0badf00d"}), "temporary"},
      {Record(sound).Run().Line(dt::kRecordTempPending, {kFolder + "\\a.~0badf00d"}), "temporary"},
  };
  for (const auto& [record, text] : refused) {
    EXPECT_NE(ErrorOf(record).find(text), std::string::npos) << ErrorOf(record);
  }
  EXPECT_NE(ErrorOf(sound, sound.End() - 1).find("does not end a line"), std::string::npos);
  EXPECT_NE(ErrorOf(sound, sound.End() + 1).find("beyond"), std::string::npos);
}

// A run names the anchored length it appended after: 0 for a new record, else the end of a line
// before it. Runs of earlier versions name none.
TEST(InstallRecordValidation, ARunsEarlierAnchoredLengthEndsALineBeforeIt) {
  Record first;
  first.Run(0).File(kFolder + "\\a", "created", "1");
  const std::uint64_t end = first.End();
  const std::uint64_t secondLine = Record().Run(0).End();
  for (const std::uint64_t earlier : {std::uint64_t{0}, secondLine, end}) {
    EXPECT_EQ(ErrorOf(Record(first).Run(earlier)), "") << earlier;
  }
  EXPECT_EQ(ErrorOf(Record().Run().File(kFolder + "\\a", "created", "1").Run()), "");

  const auto run = [&](std::string_view earlier) {
    return Record(first).Line(dt::kRecordRun, {kFolder, "2024-05-01", "5.02", earlier});
  };
  const std::pair<Record, std::string> refused[] = {
      {run(""), "\"\" is not a length"},
      {run("01"), "\"01\" is not a length"},
      {run("-1"), "is not a length"},
      {run("99999999999999999999"), "is not a length"},
      {run(std::to_string(end + 1)), "length " + std::to_string(end + 1) + " lies after the run"},
      {run(std::to_string(secondLine + 1)), "does not end a line"},
      {Record(first).Line(dt::kRecordRun, {kFolder, "2024-05-01", "5.02", "0", "0"}),
       "with 5 fields"},
      {Record(first).Line(dt::kRecordRun, {kFolder, "2024-05-01"}), "with 2 fields"},
  };
  for (const auto& [record, text] : refused) {
    const std::string error = ErrorOf(record);
    EXPECT_NE(error.find("line 4 (byte " + std::to_string(end) + ")"), std::string::npos) << error;
    EXPECT_NE(error.find(text), std::string::npos) << error;
  }
}

TEST(InstallRecordValidation, KnowsTheInstallersKindsAndTheUninstallersProgress) {
  for (std::string_view kind :
       {dt::kRecordRun, dt::kRecordLink, dt::kRecordMadeFolder, dt::kRecordFolderPending,
        dt::kRecordFolder, dt::kRecordFilePending, dt::kRecordFile, dt::kRecordKept,
        dt::kRecordKeyPending, dt::kRecordKey, dt::kRecordValuePending, dt::kRecordValue,
        dt::kRecordIniPending, dt::kRecordIni, dt::kRecordSharedPending, dt::kRecordShared,
        dt::kRecordToolPending, dt::kRecordTool, dt::kRecordSha256, dt::kRecordTempPending}) {
    EXPECT_TRUE(dt::IsKnownRecordKind(kind)) << kind;
    EXPECT_FALSE(dt::IsOwnProgressLine(kind)) << kind;
  }
  for (std::string_view kind :
       {dt::kRecordRemoved, dt::kRecordKeptByRule, dt::kRecordCountLowered}) {
    EXPECT_TRUE(dt::IsOwnProgressLine(kind)) << kind;
    EXPECT_TRUE(dt::IsKnownRecordKind(kind)) << kind;
  }
  // A well-formed kind word the format allows but nobody writes.
  for (std::string_view kind : {"shortcut", "run?", "sha256?", "removed?", "file??"}) {
    EXPECT_FALSE(dt::IsKnownRecordKind(kind)) << kind;
  }
}

}  // namespace
