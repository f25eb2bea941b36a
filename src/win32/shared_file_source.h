// A file opened once and read by several readers, on more than one thread: the check of a sealed
// distribution hashes an archive while the disk-space check reads its directory, and the run
// unpacks it afterwards, all through the one handle opened when the program started. Every read
// names its own offset, so that no reader moves another's position.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "core/archive_format.h"
#include "win32/handles.h"

namespace win {

// Reads up to dst.size() bytes at an absolute offset of a file opened for synchronous reading;
// the number read (0 at the end or when the read fails: GetLastError tells).
std::size_t ReadFileAt(HANDLE file, std::uint64_t offset, std::span<std::byte> dst);

// A window [offset, offset + length) of a shared file, as a byte source of its own. Small reads
// (a payload's size, the next small payloads) are served from one read ahead of kReadAhead
// bytes: the file is held unchangeable, and one system call then serves many entries.
class SharedFileSource final : public dt::ByteSource {
 public:
  SharedFileSource(std::shared_ptr<const FileHandle> file, std::uint64_t offset,
                   std::uint64_t length)
      : file_(std::move(file)), offset_(offset), length_(length) {}
  std::size_t Read(std::span<std::byte> dst) override;
  bool Seek(std::uint64_t offset) override;
  std::optional<std::uint64_t> Size() override { return length_; }

 private:
  std::shared_ptr<const FileHandle> file_;
  std::uint64_t offset_;
  std::uint64_t length_;
  std::uint64_t pos_ = 0;
  static constexpr std::size_t kReadAhead = 64 * 1024;
  std::vector<std::byte> ahead_;  // the bytes at [aheadAt_, aheadAt_ + ahead_.size())
  std::uint64_t aheadAt_ = 0;
};

}  // namespace win
