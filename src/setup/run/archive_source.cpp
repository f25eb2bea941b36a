#include "setup/run/archive_source.h"

#include "core/bundle_format.h"
#include "win32/file_source.h"
#include "win32/files.h"
#include "win32/window_source.h"

namespace setup {
namespace {

class FileArchive final : public ArchiveSource {
 public:
  explicit FileArchive(std::string path) : path_(std::move(path)) {}
  const std::string& Name() const override { return path_; }
  bool Present() const override { return win::FileExistsQuiet(path_); }
  std::uint64_t Size() const override { return win::GetFileSize64ByName(path_).value_or(0); }
  std::unique_ptr<dt::ByteSource> Open() const override {
    auto file = std::make_unique<win::FileSource>(path_);
    if (!file->is_open()) return nullptr;
    return file;
  }

 private:
  std::string path_;
};

// One archive of a one-file installer. Without a window it is either missing (the bundle does not
// carry it) or, when the bundle is broken, present but impossible to open.
class BundledArchive final : public ArchiveSource {
 public:
  BundledArchive(std::string programPath, std::string_view name,
                 std::optional<dt::ArchiveWindow> window, bool broken)
      : programPath_(std::move(programPath)),
        name_(programPath_ + "\\" + std::string(name)),
        window_(window),
        broken_(broken) {}
  const std::string& Name() const override { return name_; }
  bool Present() const override { return window_ || broken_; }
  std::uint64_t Size() const override { return window_ ? window_->length : 0; }
  std::unique_ptr<dt::ByteSource> Open() const override {
    if (!window_) {
      SetLastError(ERROR_BAD_FORMAT);  // the program's file holds no readable archive here
      return nullptr;
    }
    auto archive = std::make_unique<win::WindowSource>(programPath_, *window_);
    if (!archive->is_open()) return nullptr;
    return archive;
  }

 private:
  std::string programPath_;
  std::string name_;
  std::optional<dt::ArchiveWindow> window_;
  bool broken_;
};

}  // namespace

std::unique_ptr<ArchiveSource> ArchiveFile(std::string path) {
  return std::make_unique<FileArchive>(std::move(path));
}

ArchiveSources ArchivesBeside(const std::string& folder) {
  return {ArchiveFile(folder + "\\" + std::string(dt::kBundledNames[0])),
          ArchiveFile(folder + "\\" + std::string(dt::kBundledNames[1]))};
}

ArchiveSources ArchivesOf(const std::string& programPath, const std::string& folder) {
  std::optional<dt::BundleLayout> layout;
  {
    win::FileSource file(programPath, win::FileSource::Sharing::kRead);
    std::string problem;
    if (file.is_open()) layout = dt::ReadBundleLayout(file, problem);
  }
  if (layout && layout->kind == dt::BundleLayout::Kind::kPlain) return ArchivesBeside(folder);
  // A program that cannot read its own headers cannot tell where its archives are: rather than
  // guess, it fails to open them.
  const bool broken = !layout || layout->kind == dt::BundleLayout::Kind::kBroken;
  const auto archive = [&](std::size_t i) {
    return std::make_unique<BundledArchive>(programPath, dt::kBundledNames[i],
                                            broken ? std::nullopt : layout->archives[i], broken);
  };
  return {archive(0), archive(1)};
}

ArchiveSources ArchivesOfThisProgram(const std::string& sourceDir) {
  // Without its own path the program cannot read its headers, and so fails to open its archives.
  return ArchivesOf(win::ProgramFilePath().value_or(std::string()), sourceDir);
}

}  // namespace setup
