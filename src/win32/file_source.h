// A package archive read through a Win32 file handle.
#pragma once

#include <string>

#include "core/archive_format.h"
#include "win32/handles.h"

namespace win {

class FileSource final : public dt::ByteSource {
 public:
  enum class Sharing {
    kReadWrite,  // others may read and write the file meanwhile (an archive beside the program)
    kRead,       // others may only read it (the program's own file)
  };
  // Opens for reading, letting other processes share the file as `sharing` says.
  explicit FileSource(const std::string& path, Sharing sharing = Sharing::kReadWrite);
  bool is_open() const { return static_cast<bool>(file_); }

  std::size_t Read(std::span<std::byte> dst) override;
  bool Seek(std::uint64_t offset) override;
  // The size when first asked for: the installer asks once per entry, and the archive is not
  // expected to change while it is read (a file cut short meanwhile still fails its reads).
  std::optional<std::uint64_t> Size() override;

 private:
  FileHandle file_;
  std::optional<std::uint64_t> size_;
};

}  // namespace win
