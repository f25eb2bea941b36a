// The package archive format ("*.dt"): one definition shared by the installer, which reads it, and
// the packaging tool, which writes and checks it.
//
// Layout (every integer 32-bit signed little-endian; no magic, no padding, no compression):
//   0   EntryCount                      1 .. 1024
//   4   EntryCount directory entries:   [4 bytes ignored][Name bytes][0][Offset]
//   any payload records at Offset:      [PayloadSize][PayloadSize content bytes]
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace dt {

inline constexpr std::int32_t kMinEntryCount = 1;
inline constexpr std::int32_t kMaxEntryCount = 1024;
// Offsets and sizes are 32-bit signed values: no archive may reach this many bytes.
inline constexpr std::uint64_t kMaxArchiveSize = 0x80000000u;

// The bytes of one archive, read sequentially or from an absolute position.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Reads up to dst.size() bytes at the current position and returns how many it read;
  // 0 means the end of the archive or a failed read alike.
  virtual std::size_t Read(std::span<std::byte> dst) = 0;
  // Moves the current position to an absolute offset; false when that is not possible.
  virtual bool Seek(std::uint64_t offset) = 0;
  // The archive's size in bytes, or nothing when it cannot be told.
  virtual std::optional<std::uint64_t> Size() = 0;
};

// One directory entry as held in memory.
struct TFileItem {
  std::string Name;         // stored path in the ANSI code page, without its terminating zero
  std::int32_t Offset = 0;  // position of the payload record from the start of the archive
};

struct Directory {
  std::vector<TFileItem> items;  // in file order, which is the order of unpacking
  bool formatError = false;      // EntryCount outside 1..1024, or cut short (1 to 3 bytes)
};

// Reads the whole directory of an archive positioned at its start. An empty archive gives an empty
// directory without error; a directory cut short by the end of the file is kept as far as it is
// complete, silently: an entry whose fields (ignored field, name, Offset) are not all there is
// dropped and ends the directory.
Directory ReadDirectory(ByteSource& archive);

// The size step of reading a payload: positions to the entry's record and reads its PayloadSize.
// Nothing (the payload read error) when the four size bytes are missing, or when Offset or
// PayloadSize is negative as a signed value.
std::optional<std::int32_t> ReadPayloadSize(ByteSource& archive, const TFileItem& item);

// The content step: hands a payload's content out in chunks of the caller's buffer size, so that
// no payload is ever held whole.
class ContentReader {
 public:
  // Checks the content before any target is touched and positions to it. Nothing (the payload read
  // error) for a PayloadSize of 0 or for content that reaches past the end of the archive.
  static std::optional<ContentReader> Open(ByteSource& archive, const TFileItem& item,
                                           std::int32_t payloadSize);

  // Reads the next chunk into dst: the number of bytes read (0 once the whole content has been
  // handed out), or nothing when the archive fails to deliver bytes it should hold.
  std::optional<std::size_t> Next(std::span<std::byte> dst);

  std::uint32_t remaining() const { return remaining_; }

 private:
  ContentReader(ByteSource& archive, std::uint32_t size) : archive_(&archive), remaining_(size) {}
  ByteSource* archive_;
  std::uint32_t remaining_;
};

// An archive held in memory (tests, the fuzz target, small tools).
class MemorySource final : public ByteSource {
 public:
  explicit MemorySource(std::span<const std::byte> bytes) : bytes_(bytes) {}
  explicit MemorySource(std::string_view bytes)
      : bytes_(reinterpret_cast<const std::byte*>(bytes.data()), bytes.size()) {}
  std::size_t Read(std::span<std::byte> dst) override;
  bool Seek(std::uint64_t offset) override;
  std::optional<std::uint64_t> Size() override { return bytes_.size(); }

 private:
  std::span<const std::byte> bytes_;
  std::size_t pos_ = 0;
};

// Little-endian 32-bit fields.
std::int32_t DecodeInt32(const std::byte* p);
void AppendInt32(std::string& out, std::int32_t value);

}  // namespace dt
