#include "file_below.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "console.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace dtpack {
namespace fs = std::filesystem;

namespace {

// The names of `relative`, or nothing (with `why` set) when it is not a relative path of plain
// names: the check that every path written lies below the folder, whatever produced it.
std::optional<std::vector<fs::path>> PlainNames(const fs::path& relative, std::string& why) {
  std::vector<fs::path> names;
  for (const fs::path& name : relative) {
    if (name.empty() || name == "." || name == ".." || name.has_root_path()) {
      names.clear();
      break;
    }
    names.push_back(name);
  }
  if (names.empty() || relative.has_root_path()) {
    why = "\"" + ShowPath(relative) + "\" does not lie below the folder";
    return std::nullopt;
  }
  return names;
}

std::string Failure(const std::string& what, const fs::path& path, int error) {
  return what + " \"" + ShowPath(path) + "\": " + std::strerror(error);
}

}  // namespace

std::optional<fs::path> LinkBelow(const fs::path& root, const fs::path& relative) {
  fs::path level = root;
  for (const fs::path& name : relative) {
    level /= name;
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(level, ec);
    if (fs::is_symlink(status)) return level;
    if (ec || !fs::exists(status)) return std::nullopt;  // made later, by FileBelow
  }
  return std::nullopt;
}

#ifndef _WIN32

namespace {

// A descriptor closed when it goes out of scope.
struct Descriptor {
  explicit Descriptor(int value) : fd(value) {}
  ~Descriptor() {
    if (fd >= 0) ::close(fd);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int fd;
};

bool IsLinkAt(int dir, const fs::path& name) {
  struct stat st {};
  return ::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode);
}

}  // namespace

std::optional<FileBelow> FileBelow::Create(const fs::path& root, const fs::path& relative,
                                           std::string& why) {
  const auto names = PlainNames(relative, why);
  if (!names) return std::nullopt;
  Descriptor dir(::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.fd < 0) {
    why = Failure("cannot open", root, errno);
    return std::nullopt;
  }
  fs::path level = root;
  for (std::size_t i = 0; i + 1 < names->size(); ++i) {
    const fs::path& name = (*names)[i];
    level /= name;
    if (::mkdirat(dir.fd, name.c_str(), 0777) != 0 && errno != EEXIST) {
      why = Failure("cannot create", level, errno);
      return std::nullopt;
    }
    // O_NOFOLLOW: a link put in the place of the folder is refused here, not followed.
    const int next =
        ::openat(dir.fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (next < 0) {
      const int error = errno;
      why = IsLinkAt(dir.fd, name) ? "\"" + ShowPath(level) + "\" is a symbolic link"
                                   : Failure("cannot open", level, error);
      return std::nullopt;
    }
    ::close(dir.fd);
    dir.fd = next;
  }
  const fs::path& name = names->back();
  level /= name;
  if (IsLinkAt(dir.fd, name)) {
    why = "\"" + ShowPath(level) + "\" is a symbolic link";
    return std::nullopt;
  }
  if (::unlinkat(dir.fd, name.c_str(), 0) != 0 && errno != ENOENT) {
    why = Failure("cannot replace", level, errno);
    return std::nullopt;
  }
  const int fd =
      ::openat(dir.fd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) {
    why = Failure("cannot create", level, errno);
    return std::nullopt;
  }
  return FileBelow(fd);
}

bool FileBelow::Write(std::span<const std::byte> bytes) {
  while (!failed_ && !bytes.empty()) {
    const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0)
      failed_ = true;
    else
      bytes = bytes.subspan(static_cast<std::size_t>(n));
  }
  return !failed_;
}

bool FileBelow::Close() {
  if (fd_ >= 0 && ::close(fd_) != 0) failed_ = true;
  fd_ = -1;
  return !failed_;
}

#else  // _WIN32

// The C runtime opens no folder as a handle to work below: each level is looked at before it is
// made or entered instead.
std::optional<FileBelow> FileBelow::Create(const fs::path& root, const fs::path& relative,
                                           std::string& why) {
  const auto names = PlainNames(relative, why);
  if (!names) return std::nullopt;
  fs::path level = root;
  fs::file_status status;
  for (std::size_t i = 0; i < names->size(); ++i) {
    level /= (*names)[i];
    std::error_code ec;
    status = fs::symlink_status(level, ec);
    if (fs::is_symlink(status)) {
      why = "\"" + ShowPath(level) + "\" is a symbolic link";
      return std::nullopt;
    }
    if (i + 1 == names->size()) break;
    if (!fs::is_directory(status) && !fs::create_directory(level, ec) && ec) {
      why = "cannot create \"" + ShowPath(level) + "\": " + ec.message();
      return std::nullopt;
    }
  }
  std::error_code ec;
  if (!fs::is_directory(status)) fs::remove(level, ec);  // a hard link to it is left unchanged
  const int fd =
      ::_wopen(level.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
  if (fd < 0) {
    why = Failure("cannot create", level, errno);
    return std::nullopt;
  }
  return FileBelow(fd);
}

bool FileBelow::Write(std::span<const std::byte> bytes) {
  while (!failed_ && !bytes.empty()) {
    const unsigned chunk =
        bytes.size() > (1u << 30) ? (1u << 30) : static_cast<unsigned>(bytes.size());
    const int n = ::_write(fd_, bytes.data(), chunk);
    if (n <= 0)
      failed_ = true;
    else
      bytes = bytes.subspan(static_cast<std::size_t>(n));
  }
  return !failed_;
}

bool FileBelow::Close() {
  if (fd_ >= 0 && ::_close(fd_) != 0) failed_ = true;
  fd_ = -1;
  return !failed_;
}

#endif

FileBelow::~FileBelow() {
  Close();
}

}  // namespace dtpack
