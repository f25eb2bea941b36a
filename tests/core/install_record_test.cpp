#include "core/install_record.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <stdexcept>

namespace {

using dt::FormatRecordLine;
using dt::ReadRecord;

// A small record of four lines and the offsets where each line starts, plus its end.
struct Sample {
  std::string bytes;
  std::vector<std::size_t> starts;
};
Sample MakeSample() {
  Sample s;
  for (const std::string& line :
       {FormatRecordLine(dt::kRecordRun, {"C:\\Korvu", "2024-05-01 10:00:00", "5.02"}),
        FormatRecordLine(dt::kRecordFilePending, {"C:\\Korvu\\50%\\a.txt"}),
        FormatRecordLine(dt::kRecordFile,
                         {"C:\\Korvu\\50%\\a.txt", "created", "7", "01da9b8e3c4f5a00"}),
        FormatRecordLine(dt::kRecordValue, {"32", "SOFTWARE\\Fendaro", "", "created"})}) {
    s.starts.push_back(s.bytes.size());
    s.bytes += line;
  }
  s.starts.push_back(s.bytes.size());
  return s;
}

TEST(InstallRecord, Crc32IsTheZipCheckValue) {
  EXPECT_EQ(dt::Crc32("123456789"), 0xCBF43926u);
  EXPECT_EQ(dt::Crc32(""), 0u);
}

TEST(InstallRecord, LinesRoundTripWithAwkwardFieldsAndKeepPathsReadable) {
  const std::vector<std::string> fields = {"C:\\Program Files\\Ostelan\\Korvu\\100%\\",
                                           "tab\there",
                                           "cr\rlf\ncrlf\r\n",
                                           "Карта\\Справка.txt",
                                           "",
                                           std::string("nul\0del\x7F%41", 11),
                                           "%"};
  const std::string line = FormatRecordLine("shared?", fields);
  // The path stays as it is, but for its percent sign.
  EXPECT_NE(line.find("\tC:\\Program Files\\Ostelan\\Korvu\\100%25\\\t"), std::string::npos);
  EXPECT_EQ(line.find_first_of(std::string("\r\n\0", 3)), line.size() - 2);

  const auto read = ReadRecord(line + FormatRecordLine("kept", std::vector<std::string>{}) +
                               FormatRecordLine("x", {""}));
  EXPECT_FALSE(read.damaged || read.tornTail);
  ASSERT_EQ(read.lines.size(), 3u);
  EXPECT_EQ(read.lines[0].kind, "shared?");
  EXPECT_EQ(read.lines[0].fields, fields);
  EXPECT_EQ(read.lines[1].kind, "kept");
  EXPECT_TRUE(read.lines[1].fields.empty());
  EXPECT_EQ(read.lines[1].offset, line.size());
  EXPECT_EQ(read.lines[2].fields, std::vector<std::string>{""});

  // One line byte for byte: check value of the body, blank, body, CR LF.
  const std::string body = "kept\tC:\\a%25\\b%09c";
  char check[9];
  std::snprintf(check, sizeof check, "%08x", dt::Crc32(body));
  EXPECT_EQ(FormatRecordLine("kept", {"C:\\a%\\b\tc"}), std::string(check) + " " + body + "\r\n");

  for (const char* bad : {"", "Run", "run!", "a b", "123456789012345678901234567890123"}) {
    EXPECT_THROW(FormatRecordLine(bad, {}), std::invalid_argument) << bad;
  }
}

TEST(InstallRecord, AChangedByteIsNeverAccepted) {
  const Sample s = MakeSample();
  const std::size_t lineCount = s.starts.size() - 1;
  for (std::size_t pos = 0; pos < s.bytes.size(); ++pos) {
    std::size_t hit = 0;
    while (s.starts[hit + 1] <= pos) ++hit;
    for (int value = 0; value < 256; ++value) {
      std::string changed = s.bytes;
      if (changed[pos] == static_cast<char>(value)) continue;
      changed[pos] = static_cast<char>(value);
      const auto read = ReadRecord(changed);
      ASSERT_EQ(read.lines.size(), hit) << "byte " << pos << " set to " << value;
      ASSERT_EQ(read.acceptedBytes, s.starts[hit]) << "byte " << pos << " set to " << value;
      ASSERT_TRUE(read.damaged != read.tornTail) << "byte " << pos << " set to " << value;
      // Only the last line, or a line whose CR LF is gone and so runs into the last one, can
      // look torn.
      if (hit + 2 < lineCount) {
        ASSERT_TRUE(read.damaged) << "byte " << pos << " set to " << value;
        ASSERT_EQ(read.damagedAt, s.starts[hit]);
      }
    }
  }
}

TEST(InstallRecord, ACutRecordKeepsItsWholeLinesAndHasATornTail) {
  const Sample s = MakeSample();
  const auto whole = ReadRecord(s.bytes);
  ASSERT_EQ(whole.lines.size(), 4u);
  EXPECT_EQ(whole.acceptedBytes, s.bytes.size());
  EXPECT_FALSE(whole.tornTail || whole.damaged);

  for (std::size_t cut = 0; cut < s.bytes.size(); ++cut) {
    const auto read = ReadRecord(std::string_view(s.bytes).substr(0, cut));
    std::size_t complete = 0;
    while (s.starts[complete + 1] <= cut) ++complete;
    EXPECT_EQ(read.lines.size(), complete) << cut;
    EXPECT_EQ(read.acceptedBytes, s.starts[complete]) << cut;
    EXPECT_EQ(read.tornTail, cut != s.starts[complete]) << cut;
    EXPECT_FALSE(read.damaged) << cut;
    for (std::size_t i = 0; i < complete; ++i)
      EXPECT_EQ(read.lines[i].fields, whole.lines[i].fields);
  }
}

TEST(InstallRecord, TornTailsAndDamageInTheMiddle) {
  const Sample s = MakeSample();
  const std::string second = s.bytes.substr(s.starts[1], s.starts[2] - s.starts[1]);

  // Garbage after the last line, with or without a CR LF of its own, is a torn tail.
  for (const std::string& tail : {std::string(7, '\0'), std::string("0000zzzz x\r\n"),
                                  second.substr(0, second.size() - 2) + "\n"}) {
    const auto read = ReadRecord(s.bytes + tail);
    EXPECT_TRUE(read.tornTail);
    EXPECT_FALSE(read.damaged);
    EXPECT_EQ(read.acceptedBytes, s.bytes.size());
  }

  // A bad line with good ones after it is damage; what came before it is kept.
  const std::string upper = [&] {
    std::string l = second;
    for (std::size_t i = 0; i < 8; ++i) l[i] = static_cast<char>(std::toupper(l[i]));
    return l;
  }();
  for (const std::string& bad :
       {std::string("\r\n"), std::string("00000000 run\r\n"), upper,
        FormatRecordLine("kept", {"a"}).insert(10, "\n"),  // a lone LF inside a line
        std::string("x") + second}) {
    if (bad == second) continue;  // no upper-case letter in this check value
    const std::string bytes = s.bytes.substr(0, s.starts[1]) + bad + s.bytes.substr(s.starts[1]);
    const auto read = ReadRecord(bytes);
    EXPECT_TRUE(read.damaged) << bad;
    EXPECT_FALSE(read.tornTail) << bad;
    EXPECT_EQ(read.damagedAt, s.starts[1]) << bad;
    EXPECT_EQ(read.acceptedBytes, s.starts[1]) << bad;
    EXPECT_EQ(read.lines.size(), 1u) << bad;
  }

  // Lines with a right check value that the writer would never write: needless, lower-case or
  // short escapes, raw control bytes, an invalid kind.
  for (const std::string body : {"kept\ta%41", "kept\ta%0a", "kept\ta%2", "kept\ta\x01",
                                 "kept\ta\x7F", "Kept\ta", "\ta", "kept a"}) {
    char check[9];
    std::snprintf(check, sizeof check, "%08x", dt::Crc32(body));
    const auto read = ReadRecord(s.bytes + check + " " + body + "\r\n");
    EXPECT_EQ(read.lines.size(), 4u) << body;
    EXPECT_TRUE(read.tornTail) << body;
  }
}

TEST(InstallRecord, AnchorIsStrict) {
  const std::string hash = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
  EXPECT_EQ(dt::FormatRecordAnchor(1234, hash), "1234 " + hash);
  EXPECT_EQ(dt::FormatRecordAnchor(0, hash), "0 " + hash);
  const auto parsed = dt::ParseRecordAnchor("18446744073709551615 " + hash);
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->length, UINT64_MAX);
  EXPECT_EQ(parsed->sha256Hex, hash);
  EXPECT_EQ(dt::ParseRecordAnchor("0 " + hash)->length, 0u);

  std::string upper = hash;
  upper[0] = 'B';
  for (const std::string& bad :
       {"1234 " + upper, "01234 " + hash, "00 " + hash, "1234  " + hash, " 1234 " + hash,
        "1234 " + hash + " ", "1234 " + hash.substr(1), "1234 " + hash + "0", "+1 " + hash,
        "18446744073709551616 " + hash, " " + hash, std::string("1234"), std::string()}) {
    EXPECT_FALSE(dt::ParseRecordAnchor(bad)) << bad;
  }
  EXPECT_THROW(dt::FormatRecordAnchor(1, upper), std::invalid_argument);

  std::array<std::uint8_t, 32> digest{};
  digest[0] = 0xBA;
  digest[31] = 0x0F;
  EXPECT_EQ(dt::Sha256Hex(digest), "ba" + std::string(60, '0') + "0f");
}

TEST(InstallRecord, RecordFileNameClashes) {
  EXPECT_TRUE(dt::IsRecordFileName("%InstallDir%", "Uninstaller.dat"));
  EXPECT_TRUE(dt::IsRecordFileName("%InstallDir%\\\\", "UNINSTALLER.DAT"));
  EXPECT_TRUE(dt::IsRecordFileName("%InstallDir%", "uninstaller.Dat. "));
  EXPECT_FALSE(dt::IsRecordFileName("%installdir%", "Uninstaller.dat"));
  EXPECT_FALSE(dt::IsRecordFileName("%InstallDir%\\Maps", "Uninstaller.dat"));
  EXPECT_FALSE(dt::IsRecordFileName("%InstallDir%", "Uninstaller.dat.old"));
  EXPECT_FALSE(dt::IsRecordFileName("%InstallDir%", "Uninstaller.ini"));
}

}  // namespace
