// Writing files below a folder and nowhere else: each level below the folder is made and entered
// as itself, never through a symbolic link that could lead out of it.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

namespace dtpack {

// The first level of `relative` below `root` (root/a, root/a/b, ... up to the file itself) that
// exists and is a symbolic link, or nothing. `root` itself is not looked at: where it leads is its
// owner's choice. On Windows this sees only what the C++ runtime reports as a link.
std::optional<std::filesystem::path> LinkBelow(const std::filesystem::path& root,
                                               const std::filesystem::path& relative);

// A file being written below a folder.
class FileBelow {
 public:
  // Creates the missing folders of `relative` below `root` (which must exist), then the file, in
  // place of a file of that name that is there. `relative` must be a relative path of plain names
  // (no ".", "..", root or drive). A level that is a symbolic link is refused, never followed; a
  // file that is there is removed first, so that a hard link to it is left unchanged. Nothing, with
  // `why` set, when the file cannot be made so.
  static std::optional<FileBelow> Create(const std::filesystem::path& root,
                                         const std::filesystem::path& relative, std::string& why);

  FileBelow(FileBelow&& other) noexcept : fd_(other.fd_), failed_(other.failed_) { other.fd_ = -1; }
  FileBelow& operator=(FileBelow&&) = delete;
  FileBelow(const FileBelow&) = delete;
  FileBelow& operator=(const FileBelow&) = delete;
  ~FileBelow();

  // False once a write has failed.
  bool Write(std::span<const std::byte> bytes);
  // Closes the file: false when a write or the closing failed.
  bool Close();

 private:
  explicit FileBelow(int fd) : fd_(fd) {}
  int fd_;
  bool failed_ = false;
};

}  // namespace dtpack
