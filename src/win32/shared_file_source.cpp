#include "win32/shared_file_source.h"

#include <algorithm>

namespace win {

std::size_t ReadFileAt(HANDLE file, std::uint64_t offset, std::span<std::byte> dst) {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD got = 0;
  const DWORD want = static_cast<DWORD>(std::min<std::size_t>(dst.size(), 1u << 30));
  if (!ReadFile(file, dst.data(), want, &got, &at)) {
    if (GetLastError() == ERROR_HANDLE_EOF) SetLastError(0);
    return 0;
  }
  return got;
}

std::size_t SharedFileSource::Read(std::span<std::byte> dst) {
  if (pos_ >= length_) return 0;
  const std::uint64_t left = length_ - pos_;
  const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(dst.size(), left));
  const bool inAhead = pos_ >= aheadAt_ && pos_ < aheadAt_ + ahead_.size();
  if (!inAhead && want < kReadAhead) {
    // Read ahead from here, as far as the window goes.
    ahead_.resize(static_cast<std::size_t>(std::min<std::uint64_t>(kReadAhead, left)));
    ahead_.resize(ReadFileAt(file_->get(), offset_ + pos_, ahead_));
    aheadAt_ = pos_;
  }
  if (pos_ >= aheadAt_ && pos_ < aheadAt_ + ahead_.size()) {
    const auto from = static_cast<std::size_t>(pos_ - aheadAt_);
    const std::size_t got = std::min(want, ahead_.size() - from);
    std::copy_n(ahead_.begin() + static_cast<std::ptrdiff_t>(from), got, dst.begin());
    pos_ += got;
    return got;
  }
  const std::size_t got = ReadFileAt(file_->get(), offset_ + pos_, dst.first(want));
  pos_ += got;
  return got;
}

bool SharedFileSource::Seek(std::uint64_t offset) {
  if (offset > length_) return false;
  pos_ = offset;
  return true;
}

}  // namespace win
