#include "win32/file_source.h"

#include <algorithm>

namespace win {

FileSource::FileSource(const std::string& path, Sharing sharing)
    : file_(CreateFileA(
          path.c_str(), GENERIC_READ,
          sharing == Sharing::kRead ? FILE_SHARE_READ : FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr)) {}

std::size_t FileSource::Read(std::span<std::byte> dst) {
  const DWORD want = static_cast<DWORD>(std::min<std::size_t>(dst.size(), 1u << 30));
  DWORD got = 0;
  if (!ReadFile(file_.get(), dst.data(), want, &got, nullptr)) return 0;
  return got;
}

bool FileSource::Seek(std::uint64_t offset) {
  LARGE_INTEGER to;
  to.QuadPart = static_cast<LONGLONG>(offset);
  return SetFilePointerEx(file_.get(), to, nullptr, FILE_BEGIN) != 0;
}

std::optional<std::uint64_t> FileSource::Size() {
  if (!size_) {
    LARGE_INTEGER size;
    if (GetFileSizeEx(file_.get(), &size)) size_ = static_cast<std::uint64_t>(size.QuadPart);
  }
  return size_;
}

}  // namespace win
