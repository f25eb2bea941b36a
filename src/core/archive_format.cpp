#include "core/archive_format.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace dt {

std::int32_t DecodeInt32(const std::byte* p) {
  const auto b = [p](int i) { return static_cast<std::uint32_t>(p[i]); };
  return static_cast<std::int32_t>(b(0) | b(1) << 8 | b(2) << 16 | b(3) << 24);
}

void AppendInt32(std::string& out, std::int32_t value) {
  const auto u = static_cast<std::uint32_t>(value);
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>((u >> shift) & 0xFF));
}

namespace {

// Sequential reads through a buffer of its own: the directory is read field by field and the
// names byte by byte, which must not cost one system call per byte.
class BufferedReader {
 public:
  explicit BufferedReader(ByteSource& source) : source_(source) {}

  // Copies up to n bytes into dst; returns how many were there.
  std::size_t Read(std::byte* dst, std::size_t n) {
    std::size_t done = 0;
    while (done < n) {
      if (pos_ == len_ && !Refill()) break;
      const std::size_t take = std::min(n - done, len_ - pos_);
      std::memcpy(dst + done, buffer_.data() + pos_, take);
      pos_ += take;
      done += take;
    }
    return done;
  }

  std::optional<std::int32_t> ReadInt32() {
    std::array<std::byte, 4> raw;
    if (Read(raw.data(), raw.size()) != raw.size()) return std::nullopt;
    return DecodeInt32(raw.data());
  }

  // Reads a zero-terminated name; nothing when the file ends before the zero byte.
  std::optional<std::string> ReadName() {
    std::string name;
    for (;;) {
      if (pos_ == len_ && !Refill()) return std::nullopt;
      const auto* begin = buffer_.data() + pos_;
      const auto* end = buffer_.data() + len_;
      const auto* zero = std::find(begin, end, std::byte{0});
      name.append(reinterpret_cast<const char*>(begin), static_cast<std::size_t>(zero - begin));
      pos_ = static_cast<std::size_t>(zero - buffer_.data());
      if (zero != end) {
        ++pos_;
        return name;
      }
    }
  }

 private:
  bool Refill() {
    len_ = source_.Read(buffer_);
    pos_ = 0;
    return len_ > 0;
  }

  ByteSource& source_;
  std::array<std::byte, 16384> buffer_;
  std::size_t pos_ = 0;
  std::size_t len_ = 0;
};

}  // namespace

Directory ReadDirectory(ByteSource& archive) {
  Directory dir;
  BufferedReader in(archive);
  std::array<std::byte, 4> raw;
  const std::size_t got = in.Read(raw.data(), raw.size());
  if (got == 0) return dir;  // an empty archive: nothing to unpack, and no error
  if (got < raw.size()) {
    dir.formatError = true;  // one to three bytes cannot hold an EntryCount
    return dir;
  }
  const std::int32_t count = DecodeInt32(raw.data());
  if (count < kMinEntryCount || count > kMaxEntryCount) {
    dir.formatError = true;
    return dir;
  }
  dir.items.reserve(static_cast<std::size_t>(count));
  for (std::int32_t i = 0; i < count; ++i) {
    if (!in.ReadInt32()) break;  // the field nobody interprets
    auto name = in.ReadName();
    if (!name) break;
    auto offset = in.ReadInt32();
    if (!offset) break;
    dir.items.push_back(TFileItem{std::move(*name), *offset});
  }
  return dir;
}

std::optional<std::int32_t> ReadPayloadSize(ByteSource& archive, const TFileItem& item) {
  if (item.Offset < 0 || !archive.Seek(static_cast<std::uint64_t>(item.Offset))) {
    return std::nullopt;
  }
  std::array<std::byte, 4> raw;
  std::size_t got = 0;
  while (got < raw.size()) {
    const std::size_t n = archive.Read(std::span(raw).subspan(got));
    if (n == 0) return std::nullopt;
    got += n;
  }
  const std::int32_t size = DecodeInt32(raw.data());
  if (size < 0) return std::nullopt;
  return size;
}

std::optional<ContentReader> ContentReader::Open(ByteSource& archive, const TFileItem& item,
                                                 std::int32_t payloadSize) {
  if (payloadSize <= 0 || item.Offset < 0) return std::nullopt;
  const std::uint64_t start = static_cast<std::uint64_t>(item.Offset) + 4;
  const std::uint64_t end = start + static_cast<std::uint64_t>(payloadSize);
  const auto size = archive.Size();
  if (!size || end > *size) return std::nullopt;  // a truncated payload is never written
  if (!archive.Seek(start)) return std::nullopt;
  return ContentReader(archive, static_cast<std::uint32_t>(payloadSize));
}

std::optional<std::size_t> ContentReader::Next(std::span<std::byte> dst) {
  if (remaining_ == 0 || dst.empty()) return 0;
  const std::size_t want = std::min<std::size_t>(dst.size(), remaining_);
  const std::size_t got = archive_->Read(dst.first(want));
  if (got == 0) return std::nullopt;
  remaining_ -= static_cast<std::uint32_t>(got);
  return got;
}

std::size_t MemorySource::Read(std::span<std::byte> dst) {
  if (pos_ >= bytes_.size()) return 0;
  const std::size_t n = std::min(dst.size(), bytes_.size() - pos_);
  std::memcpy(dst.data(), bytes_.data() + pos_, n);
  pos_ += n;
  return n;
}

bool MemorySource::Seek(std::uint64_t offset) {
  // Positioning past the end is allowed, as with a file; the next read then yields nothing.
  if (offset > SIZE_MAX) return false;
  pos_ = static_cast<std::size_t>(offset);
  return true;
}

}  // namespace dt
