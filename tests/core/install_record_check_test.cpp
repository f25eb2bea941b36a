// The uninstaller's check of the record against its anchor: what it accepts after the anchored
// part, and that no change, cut or other anchor inside that part gets through.
#include "core/install_record_check.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

// Stands in for SHA-256: any fixed digest of the bytes will do for the rule.
std::string FakeSha256(std::string_view bytes) {
  std::uint64_t h = 1469598103934665603ull;
  for (const char c : bytes) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(h));
  return std::string(hex) + hex + hex + hex;
}

std::string AnchorOf(const std::string& bytes) {
  return dt::FormatRecordAnchor(bytes.size(), FakeSha256(bytes));
}

const std::string kAnchored =
    dt::FormatRecordLine("run", {"C:\\Korvu", "2026-12-09 10:00:00", "5.02"}) +
    dt::FormatRecordLine("file?", {"C:\\Korvu\\a.txt"}) +
    dt::FormatRecordLine("file", {"C:\\Korvu\\a.txt", "created", "7", "01dc000000000000"});

TEST(InstallRecordCheck, AcceptsTheAnchoredPartWithLaterLinesAndATornTail) {
  const std::string later = dt::FormatRecordLine("removed", {"C:\\Korvu\\a.txt"}) +
                            dt::FormatRecordLine("run", {"C:\\Korvu", "2026-12-10", "5.02"});
  const auto checked =
      dt::CheckRecordBytes(kAnchored + later + "0123abcd fil", AnchorOf(kAnchored), FakeSha256);
  EXPECT_EQ(checked.verdict, dt::RecordVerdict::kAnchored);
  EXPECT_TRUE(checked.Usable());
  EXPECT_EQ(checked.anchoredLength, kAnchored.size());
  EXPECT_EQ(checked.read.lines.size(), 5u);
  EXPECT_TRUE(checked.read.tornTail);
  EXPECT_EQ(checked.recordedFolder, "C:\\Korvu");
}

TEST(InstallRecordCheck, NoChangeCutOrOtherAnchorInsideTheAnchoredPartGetsThrough) {
  const std::string anchor = AnchorOf(kAnchored);
  const std::string tail = dt::FormatRecordLine("removed", {"C:\\Korvu\\a.txt"});
  for (std::size_t i = 0; i < kAnchored.size(); ++i) {
    std::string changed = kAnchored + tail;
    changed[i] = static_cast<char>(changed[i] ^ 0x20);
    EXPECT_FALSE(dt::CheckRecordBytes(changed, anchor, FakeSha256).Usable()) << "byte " << i;
    EXPECT_FALSE(dt::CheckRecordBytes(kAnchored.substr(0, i), anchor, FakeSha256).Usable())
        << "cut at " << i;
  }
  // A changed line after the anchored part with more after it is damage too.
  std::string later = kAnchored + tail + tail;
  later[kAnchored.size() + 3] ^= 1;
  EXPECT_EQ(dt::CheckRecordBytes(later, anchor, FakeSha256).verdict, dt::RecordVerdict::kDamaged);
  // Another anchor: another length, another digest, a length inside a line, no digits at all.
  for (const std::string& other :
       {AnchorOf(kAnchored + tail), dt::FormatRecordAnchor(kAnchored.size(), FakeSha256("x")),
        AnchorOf(kAnchored.substr(0, 20)), std::string("12 abc")}) {
    EXPECT_EQ(dt::CheckRecordBytes(kAnchored, other, FakeSha256).verdict,
              dt::RecordVerdict::kAnchorMismatch)
        << other;
  }
  // No anchor at all: only the restricted rule may apply.
  EXPECT_EQ(dt::CheckRecordBytes(kAnchored, std::nullopt, FakeSha256).verdict,
            dt::RecordVerdict::kUnanchored);
}

}  // namespace
