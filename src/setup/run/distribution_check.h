// A sealed distribution: Setup.exe carries the size and SHA-256 of each archive that belongs to it
// (core/seal_format.h). When the program starts, each sealed archive is opened once, letting
// others read it but neither write, rename nor delete it, and checked through that handle on a
// worker thread that touches no window, while the person reads the first pages. Everything after
// reads through the same handles (the disk-space check may read directories before the check is
// done; nothing read then is trusted for writing), and the run writes nothing before the check has
// passed. A one-file installer does the same with its own file, checking each archive's bytes
// inside it. An archive the seal does not name is not used.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/program_log.h"
#include "core/seal_format.h"
#include "setup/run/archive_source.h"
#include "setup/run/install_view.h"
#include "win32/handles.h"

namespace setup {

// Why a sealed archive may not be used.
struct SealFailure {
  enum class Kind {
    kCannotOpen,  // missing, or it cannot be opened or read: the open error
    kDiffers,     // its size or SHA-256 is not the sealed one
  };
  Kind kind = Kind::kCannotOpen;
  std::string archive;  // as the run names it
  unsigned long systemError = 0;
  dt::SealedArchive expected;
  std::optional<dt::SealedArchive> found;  // kDiffers: what it holds
};

class DistributionCheck {
 public:
  // Opens the archives `seal` names, of the program at programPath: inside its own file when it
  // is a one-file installer, beside it in `folder` otherwise; and starts checking them.
  DistributionCheck(const dt::Seal& seal, const std::string& programPath,
                    const std::string& folder);
  // Stops the worker, if it still runs, and waits for it.
  ~DistributionCheck();
  DistributionCheck(const DistributionCheck&) = delete;
  DistributionCheck& operator=(const DistributionCheck&) = delete;

  // The archives for the run and the checks before it: each sealed one through its held handle,
  // one the seal does not name as missing.
  ArchiveSources Sources() const;

  // The worker's thread (signalled when it ends), and the bytes it has to hash and has hashed.
  HANDLE Thread() const { return thread_.get(); }
  std::uint64_t BytesToCheck() const { return total_; }
  std::uint64_t BytesChecked() const { return checked_.load(std::memory_order_relaxed); }
  // Without a thread the check ran at once, on the thread that started it.
  bool Done() const { return !thread_ || WaitForSingleObject(thread_.get(), 0) == WAIT_OBJECT_0; }

  // Once done: the first archive that may not be used, in the run's order, or nothing.
  std::optional<SealFailure> Failure() const;

  // Waits, showing its progress on the "Progress" page ("Проверка дистрибутива...", the gauge over
  // the bytes checked) and pumping the view, until the check has ended; then logs what it found.
  // True when the run may go on; false when the person cancelled, or when an archive may not be
  // used: then its error is shown (the open error, or "Ошибка проверки архива: "<archive>".", a
  // carriage return and "Получите дистрибутив заново.") and logged with the sizes and SHA-256
  // expected and found. Shown and logged once: a later call answers at once.
  bool Await(InstallView& view, base::ProgramLog& log);

 private:
  // Set when the program starts, then only read (Sources() may run while the worker does);
  // the worker writes only the last two, which are read once it has ended.
  struct Archive {
    std::string name;  // as the run names it
    dt::SealedArchive sealed;
    std::shared_ptr<const win::FileHandle> file;  // null when it could not be opened
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
    unsigned long openError = 0;
    std::optional<dt::SealedArchive> found;  // the worker's: what it holds
    unsigned long readError = 0;             // the worker's: it could not be read to its end
  };
  static DWORD WINAPI Work(void* self);
  void CheckAll();

  std::vector<Archive> archives_;  // the sealed ones, in the run's order
  std::array<bool, dt::kBundledArchives> sealedHere_{};
  std::vector<std::string> notUsed_;  // archives there that the seal does not name
  std::uint64_t total_ = 0;
  std::atomic<std::uint64_t> checked_{0};
  std::atomic<bool> stop_{false};
  win::KernelHandle thread_;
  std::optional<bool> passed_;  // once awaited
};

// The text of the error about a sealed archive whose size or SHA-256 differs.
std::wstring ArchiveCheckError(const std::string& archive);

}  // namespace setup
