#include "core/archive_format.h"

#include <gtest/gtest.h>

#include "core/archive_writer.h"

namespace {

using dt::MemorySource;

std::string Int32(std::int32_t v) {
  std::string s;
  dt::AppendInt32(s, v);
  return s;
}

// One raw directory entry: ignored field, name, zero byte, offset.
std::string Entry(const std::string& name, std::int32_t offset, std::int32_t ignored = 0) {
  return Int32(ignored) + name + '\0' + Int32(offset);
}

dt::Directory Read(const std::string& bytes) {
  MemorySource source(bytes);
  return dt::ReadDirectory(source);
}

// Reads a whole payload through the content step, in chunks of `chunk` bytes.
std::optional<std::string> Content(dt::ByteSource& source, const dt::TFileItem& item,
                                   std::size_t chunk = 3) {
  const auto size = dt::ReadPayloadSize(source, item);
  if (!size) return std::nullopt;
  auto reader = dt::ContentReader::Open(source, item, *size);
  if (!reader) return std::nullopt;
  std::string out;
  std::vector<std::byte> buffer(chunk);
  for (;;) {
    const auto n = reader->Next(buffer);
    if (!n) return std::nullopt;
    if (*n == 0) return out;
    out.append(reinterpret_cast<const char*>(buffer.data()), *n);
  }
}

TEST(ReadDirectory, EmptyFileIsAnEmptyDirectoryWithoutError) {
  const auto dir = Read("");
  EXPECT_TRUE(dir.items.empty());
  EXPECT_FALSE(dir.formatError);
}

TEST(ReadDirectory, EntryCountOutsideItsRangeIsTheFormatError) {
  for (const std::int32_t count : {0, -1, 1025, INT32_MIN, INT32_MAX}) {
    const auto dir = Read(Int32(count) + Entry("a\\b", 0));
    EXPECT_TRUE(dir.formatError) << count;
    EXPECT_TRUE(dir.items.empty()) << count;
  }
  for (const std::string& partial :
       {std::string("\x01"), std::string("\x01\x00", 2), std::string("\x01\x00\x00", 3)}) {
    EXPECT_TRUE(Read(partial).formatError) << partial.size() << " bytes";
  }
}

TEST(ReadDirectory, AcceptsOneAndTheFullThousandTwentyFourEntries) {
  std::vector<std::pair<std::string, std::string>> files;
  for (int i = 0; i < 1024; ++i) files.emplace_back("%InstallDir%\\f" + std::to_string(i), "x");
  const auto full = Read(dt::BuildArchive(files));
  EXPECT_FALSE(full.formatError);
  ASSERT_EQ(full.items.size(), 1024u);
  EXPECT_EQ(full.items[1023].Name, "%InstallDir%\\f1023");

  const auto one = Read(dt::BuildArchive({{"a\\b", "c"}}));
  EXPECT_FALSE(one.formatError);
  ASSERT_EQ(one.items.size(), 1u);
}

TEST(ReadDirectory, KeepsNamesAndOffsetsAndIgnoresTheUninterpretedField) {
  const std::string bytes = Int32(3) + Entry("%WinDir%\\\xC0\xE1\xE2.txt", 77, 0) +
                            Entry("x\\y", -5, -1) + Entry("p\\q", INT32_MAX, 0x12345678);
  const auto dir = Read(bytes);
  ASSERT_EQ(dir.items.size(), 3u);
  EXPECT_EQ(dir.items[0].Name, "%WinDir%\\\xC0\xE1\xE2.txt");
  EXPECT_EQ(dir.items[0].Offset, 77);
  EXPECT_EQ(dir.items[1].Offset, -5);
  EXPECT_EQ(dir.items[2].Offset, INT32_MAX);
}

TEST(ReadDirectory, DirectoryCutShortKeepsOnlyWholeEntries) {
  const std::string full = Int32(5) + Entry("a\\one", 10) + Entry("a\\two", 20) +
                           Entry("a\\three", 30) + Entry("a\\four", 40) + Entry("a\\five", 50);
  const auto whole = Read(full);
  ASSERT_EQ(whole.items.size(), 5u);
  // Cut at every position: the entries kept are exactly those wholly before the cut.
  std::size_t entryEnd[5];
  std::size_t at = 4;
  for (int i = 0; i < 5; ++i) at = entryEnd[i] = at + 4 + whole.items[i].Name.size() + 1 + 4;
  for (std::size_t cut = 4; cut <= full.size(); ++cut) {
    const auto dir = Read(full.substr(0, cut));
    std::size_t expected = 0;
    while (expected < 5 && entryEnd[expected] <= cut) ++expected;
    EXPECT_FALSE(dir.formatError) << cut;
    ASSERT_EQ(dir.items.size(), expected) << "cut at " << cut;
    for (std::size_t i = 0; i < expected; ++i) {
      EXPECT_EQ(dir.items[i].Name, whole.items[i].Name);
      EXPECT_EQ(dir.items[i].Offset, whole.items[i].Offset);
    }
  }
}

TEST(ReadDirectory, LongNamesAcrossTheReadBuffer) {
  const std::string name = "%InstallDir%\\" + std::string(40000, 'n');
  const auto dir = Read(Int32(2) + Entry(name, 1) + Entry("a\\b", 2));
  ASSERT_EQ(dir.items.size(), 2u);
  EXPECT_EQ(dir.items[0].Name, name);
  EXPECT_EQ(dir.items[1].Name, "a\\b");
}

TEST(ReadPayload, SharedAndOddlyPlacedRecordsReadTheSameContent) {
  // Entry 1 points at a record after the directory, entry 2 at the same one, and entry 3 at
  // offset 0: the EntryCount (3) read as a PayloadSize, followed by the first 3 directory bytes.
  const std::string head = Int32(3) + Entry("a\\1", 0) + Entry("a\\2", 0) + Entry("a\\3", 0);
  const auto record = static_cast<std::int32_t>(head.size());
  std::string bytes = Int32(3) + Entry("a\\1", record) + Entry("a\\2", record) + Entry("a\\3", 0) +
                      Int32(5) + "hello";
  MemorySource source(bytes);
  const auto dir = dt::ReadDirectory(source);
  ASSERT_EQ(dir.items.size(), 3u);
  EXPECT_EQ(Content(source, dir.items[0]), "hello");
  EXPECT_EQ(Content(source, dir.items[1], 64), "hello");
  EXPECT_EQ(Content(source, dir.items[2]), std::string(3, '\0'));
}

TEST(ReadPayload, SizeStepFailures) {
  const std::string bytes = Int32(1) + Entry("a\\b", 0) + Int32(-7) + "ab";
  MemorySource source(bytes);
  const auto atEnd = static_cast<std::int32_t>(bytes.size());
  EXPECT_FALSE(dt::ReadPayloadSize(source, {"a\\b", atEnd}));      // no size bytes
  EXPECT_FALSE(dt::ReadPayloadSize(source, {"a\\b", atEnd - 1}));  // one size byte
  EXPECT_FALSE(dt::ReadPayloadSize(source, {"a\\b", -1}));         // negative Offset
  EXPECT_FALSE(dt::ReadPayloadSize(source, {"a\\b", atEnd - 6}));  // negative PayloadSize
  EXPECT_EQ(dt::ReadPayloadSize(source, {"a\\b", 0}), 1);
}

TEST(ReadPayload, ContentStepRefusesEmptyAndTruncatedPayloads) {
  const std::string bytes = Int32(0) + Int32(4) + "abcd" + Int32(10) + "short";
  MemorySource source(bytes);
  const dt::TFileItem empty{"a\\b", 0}, whole{"a\\b", 4}, truncated{"a\\b", 12};
  EXPECT_EQ(dt::ReadPayloadSize(source, empty), 0);
  EXPECT_FALSE(dt::ContentReader::Open(source, empty, 0));
  EXPECT_EQ(Content(source, whole), "abcd");
  EXPECT_EQ(dt::ReadPayloadSize(source, truncated), 10);
  EXPECT_FALSE(dt::ContentReader::Open(source, truncated, 10));
  EXPECT_FALSE(Content(source, truncated));
}

// A source whose reads fail after a number of bytes, like a file on a medium that goes away.
class FailingSource final : public dt::ByteSource {
 public:
  FailingSource(std::string bytes, std::size_t failAfter)
      : bytes_(std::move(bytes)), inner_(bytes_), budget_(failAfter) {}
  std::size_t Read(std::span<std::byte> dst) override {
    const std::size_t n = inner_.Read(dst.first(std::min(dst.size(), budget_)));
    budget_ -= n;
    return n;
  }
  bool Seek(std::uint64_t offset) override { return inner_.Seek(offset); }
  std::optional<std::uint64_t> Size() override { return bytes_.size(); }

 private:
  std::string bytes_;
  dt::MemorySource inner_;
  std::size_t budget_;
};

TEST(ReadPayload, ReadFailureAfterCopyingBeganIsReported) {
  FailingSource source(Int32(8) + "12345678", 4 + 5);
  const dt::TFileItem item{"a\\b", 0};
  EXPECT_FALSE(Content(source, item, 2));
}

TEST(BuildArchive, StoresIdenticalContentsOnce) {
  const std::string bytes =
      dt::BuildArchive({{"a\\1", "same"}, {"a\\2", "other"}, {"a\\3", "same"}});
  MemorySource source(bytes);
  const auto dir = dt::ReadDirectory(source);
  ASSERT_EQ(dir.items.size(), 3u);
  EXPECT_EQ(dir.items[0].Offset, dir.items[2].Offset);
  EXPECT_NE(dir.items[0].Offset, dir.items[1].Offset);
  EXPECT_EQ(bytes.size(), 4 + 3 * (4 + 4 + 4) + (4 + 4) + (4 + 5));
  EXPECT_EQ(Content(source, dir.items[2]), "same");
  EXPECT_EQ(Content(source, dir.items[1]), "other");
}

}  // namespace
