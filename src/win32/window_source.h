// An archive inside the program's own file (a one-file installer): a window of that file, opened
// so that nobody can write to it while it is read.
#pragma once

#include <string>

#include "core/bundle_format.h"
#include "win32/file_source.h"

namespace win {

class WindowSource final : public dt::ByteSource {
 public:
  WindowSource(const std::string& path, dt::ArchiveWindow window)
      : file_(path, FileSource::Sharing::kRead), window_(file_, window) {}
  WindowSource(const WindowSource&) = delete;
  WindowSource& operator=(const WindowSource&) = delete;
  bool is_open() const { return file_.is_open(); }

  std::size_t Read(std::span<std::byte> dst) override { return window_.Read(dst); }
  bool Seek(std::uint64_t offset) override { return window_.Seek(offset); }
  std::optional<std::uint64_t> Size() override { return window_.Size(); }

 private:
  FileSource file_;
  dt::WindowSource window_;
};

}  // namespace win
