#include "setup/run/distribution_check.h"

#include <chrono>
#include <vector>

#include "core/bundle_format.h"
#include "core/gauge_scale.h"
#include "core/install_record.h"
#include "core/sha256.h"
#include "setup/run/extraction.h"
#include "win32/shared_file_source.h"
#include "win32/wide_text.h"

namespace setup {
namespace {

constexpr std::size_t kCheckPiece = 1 << 20;
constexpr auto kProgressInterval = std::chrono::milliseconds(50);

// Opens a file once for the run: others may read it, neither write, rename nor delete it.
std::shared_ptr<const win::FileHandle> OpenHeld(const std::string& path) {
  auto file = std::make_shared<win::FileHandle>(
      CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!*file) return nullptr;
  return file;
}

std::optional<std::uint64_t> SizeOf(HANDLE file) {
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file, &size)) return std::nullopt;
  return static_cast<std::uint64_t>(size.QuadPart);
}

// A sealed archive's bytes through its held handle.
class HeldArchive final : public ArchiveSource {
 public:
  HeldArchive(std::string name, std::shared_ptr<const win::FileHandle> file, std::uint64_t offset,
              std::uint64_t length, unsigned long openError)
      : name_(std::move(name)),
        file_(std::move(file)),
        offset_(offset),
        length_(length),
        openError_(openError) {}
  const std::string& Name() const override { return name_; }
  bool Present() const override { return true; }  // a sealed archive that is missing fails
  std::uint64_t Size() const override { return file_ ? length_ : 0; }
  std::unique_ptr<dt::ByteSource> Open() const override {
    if (!file_) {
      SetLastError(openError_ ? openError_ : ERROR_FILE_NOT_FOUND);
      return nullptr;
    }
    return std::make_unique<win::SharedFileSource>(file_, offset_, length_);
  }

 private:
  std::string name_;
  std::shared_ptr<const win::FileHandle> file_;
  std::uint64_t offset_;
  std::uint64_t length_;
  unsigned long openError_;
};

// An archive the seal does not name: not used, as if it were not there.
class UnusedArchive final : public ArchiveSource {
 public:
  explicit UnusedArchive(std::string name) : name_(std::move(name)) {}
  const std::string& Name() const override { return name_; }
  bool Present() const override { return false; }
  std::uint64_t Size() const override { return 0; }
  std::unique_ptr<dt::ByteSource> Open() const override { return nullptr; }

 private:
  std::string name_;
};

std::string Hex(const dt::SealDigest& digest) {
  return dt::Sha256Hex(digest);
}

std::string Described(const dt::SealedArchive& archive) {
  return std::to_string(archive.size) + " bytes, SHA-256 " + Hex(archive.sha256);
}

}  // namespace

std::wstring ArchiveCheckError(const std::string& archive) {
  return L"Ошибка проверки архива: \"" + win::AnsiToWide(archive) + L"\".\rПолучите дистрибутив заново.";
}

DistributionCheck::DistributionCheck(const dt::Seal& seal, const std::string& programPath,
                                     const std::string& folder) {
  for (std::size_t i = 0; i < dt::kBundledArchives; ++i) sealedHere_[i] = seal.archives[i].has_value();
  // A one-file installer's own file, opened once: its archives are windows of it.
  std::shared_ptr<const win::FileHandle> program = OpenHeld(programPath);
  std::optional<dt::BundleLayout> layout;
  if (program) {
    if (const auto size = SizeOf(program->get())) {
      win::SharedFileSource whole(program, 0, *size);
      std::string problem;
      layout = dt::ReadBundleLayout(whole, problem);
    }
  }
  const bool bundle = !layout || layout->kind != dt::BundleLayout::Kind::kPlain;
  for (std::size_t i = 0; i < dt::kBundledArchives; ++i) {
    const std::string fileName(dt::kBundledNames[i]);
    Archive archive;
    archive.name = (bundle ? programPath : folder) + "\\" + fileName;
    if (!seal.archives[i]) {
      const bool there = bundle ? layout && layout->archives[i].has_value()
                                : GetFileAttributesA(archive.name.c_str()) != INVALID_FILE_ATTRIBUTES;
      if (there) notUsed_.push_back(archive.name);
      continue;
    }
    archive.sealed = *seal.archives[i];
    if (bundle) {
      if (layout && layout->kind == dt::BundleLayout::Kind::kBundle && layout->archives[i]) {
        archive.file = program;
        archive.offset = layout->archives[i]->offset;
        archive.length = layout->archives[i]->length;
      } else {
        archive.openError = ERROR_BAD_FORMAT;  // the program's file holds no readable archive here
      }
    } else if ((archive.file = OpenHeld(archive.name))) {
      const auto size = SizeOf(archive.file->get());
      if (size) {
        archive.length = *size;
      } else {
        archive.openError = GetLastError();
        archive.file.reset();
      }
    } else {
      archive.openError = GetLastError();
    }
    if (archive.file) total_ += archive.length;
    archives_.push_back(std::move(archive));
  }
  thread_.reset(CreateThread(nullptr, 0, &DistributionCheck::Work, this, 0, nullptr));
  if (!thread_) CheckAll();  // no thread to spare: checked at once, on this one
}

DistributionCheck::~DistributionCheck() {
  stop_ = true;
  if (thread_) WaitForSingleObject(thread_.get(), INFINITE);
}

DWORD WINAPI DistributionCheck::Work(void* self) {
  static_cast<DistributionCheck*>(self)->CheckAll();
  return 0;
}

void DistributionCheck::CheckAll() {
  std::vector<std::byte> buffer(kCheckPiece);
  for (Archive& archive : archives_) {
    if (!archive.file) continue;
    dt::Sha256 hash;
    std::uint64_t done = 0;
    while (done < archive.length && !stop_) {
      const auto want = static_cast<std::size_t>(
          std::min<std::uint64_t>(buffer.size(), archive.length - done));
      const std::size_t got = win::ReadFileAt(archive.file->get(), archive.offset + done,
                                              std::span(buffer).first(want));
      if (got == 0) break;
      hash.Add(buffer.data(), got);
      done += got;
      checked_.fetch_add(got, std::memory_order_relaxed);
    }
    if (stop_) return;
    if (done < archive.length) {
      archive.readError = GetLastError() ? GetLastError() : ERROR_HANDLE_EOF;
      continue;  // it cannot be read to its end: the open error
    }
    archive.found = dt::SealedArchive{done, hash.Finish()};
  }
}

std::optional<SealFailure> DistributionCheck::Failure() const {
  for (const Archive& archive : archives_) {
    if (!archive.file || archive.readError) {
      return SealFailure{SealFailure::Kind::kCannotOpen, archive.name,
                         archive.file ? archive.readError : archive.openError, archive.sealed,
                         std::nullopt};
    }
    if (!archive.found || !(*archive.found == archive.sealed)) {
      return SealFailure{SealFailure::Kind::kDiffers, archive.name, 0, archive.sealed,
                         archive.found};
    }
  }
  return std::nullopt;
}

ArchiveSources DistributionCheck::Sources() const {
  std::vector<std::unique_ptr<ArchiveSource>> sources;
  std::size_t next = 0;
  for (std::size_t i = 0; i < dt::kBundledArchives; ++i) {
    if (!sealedHere_[i]) {
      sources.push_back(std::make_unique<UnusedArchive>(std::string(dt::kBundledNames[i])));
      continue;
    }
    const Archive& archive = archives_[next++];
    sources.push_back(std::make_unique<HeldArchive>(archive.name, archive.file, archive.offset,
                                                    archive.length, archive.openError));
  }
  return {std::move(sources[0]), std::move(sources[1])};
}

bool DistributionCheck::Await(InstallView& view, base::ProgramLog& log) {
  if (passed_) return *passed_;
  if (!Done()) {
    view.SetFileLabel(L"Проверка дистрибутива...");
    view.SetGaugeMax(dt::ToGauge(static_cast<std::int64_t>(total_), static_cast<std::int64_t>(total_)));
    view.SetGaugePosition(0);
    view.SetGaugeVisible(true);
    while (!Done()) {
      base::WaitPumping({thread_.get()}, kProgressInterval, [&view] { view.Pump(); });
      view.SetGaugePosition(dt::ToGauge(static_cast<std::int64_t>(BytesChecked()),
                                        static_cast<std::int64_t>(total_)));
      view.Pump();
      if (view.Aborted()) {
        log.Write(L"the check of the sealed distribution was cancelled");
        return false;  // asked again if the run should go on after all
      }
    }
    view.SetGaugeVisible(false);
  }
  for (const std::string& name : notUsed_) {
    log.WriteAnsi("archive \"" + name + "\" is not part of the sealed distribution: not used");
  }
  const std::optional<SealFailure> failure = Failure();
  for (const Archive& archive : archives_) {
    if (archive.found && *archive.found == archive.sealed) {
      log.WriteAnsi("archive \"" + archive.name + "\" matches the seal: " + Described(archive.sealed));
    }
  }
  if (!failure) {
    passed_ = true;
    return true;
  }
  std::wstring error;
  if (failure->kind == SealFailure::Kind::kCannotOpen) {
    error = ArchiveOpenError(failure->archive);
    log.Write(L"archive " + win::AnsiToWide("\"" + failure->archive + "\"") +
              L" of the sealed distribution cannot be read (system error " +
              std::to_wstring(failure->systemError) + L"): " + error);
  } else {
    error = ArchiveCheckError(failure->archive);
    std::wstring text = error;
    for (wchar_t& c : text) if (c == L'\r') c = L' ';
    log.Write(L"archive " + win::AnsiToWide("\"" + failure->archive + "\"") + L": " + text +
              L" (sealed: " + win::AnsiToWide(Described(failure->expected)) + L"; found: " +
              (failure->found ? win::AnsiToWide(Described(*failure->found)) : L"not read") + L")");
  }
  view.ShowRunError(error);
  passed_ = false;
  return false;
}

}  // namespace setup
