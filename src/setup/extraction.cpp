#include "setup/extraction.h"

#include <windows.h>

#include <optional>
#include <vector>

#include "core/archive_format.h"
#include "core/gauge_scale.h"
#include "core/text.h"
#include "setup/dialogs.h"
#include "setup/folder_macros.h"
#include "setup/globals.h"
#include "win32/files.h"
#include "win32/handles.h"
#include "win32/wide_text.h"

namespace setup {
namespace {

std::wstring Quoted(const std::string& ansiPath) {
  return L"\"" + win::AnsiToWide(ansiPath) + L"\"";
}

std::wstring OpenError(const std::string& archive) {
  return L"Ошибка чтения архива: " + Quoted(archive) + L".";
}
std::wstring FormatError(const std::string& archive) {
  return L"Ошибка в формате архива: " + Quoted(archive) + L".";
}
std::wstring FolderError(const std::string& folder) {
  return L"Ошибка создания директории: " + Quoted(folder) + L".";
}
std::wstring PayloadReadError(const std::string& archive, const std::string& target) {
  return L"Ошибка чтения архива: " + Quoted(archive) + L", " + Quoted(target) + L".";
}
std::wstring WriteError(const std::string& target) {
  return L"Ошибка записи файла: " + Quoted(target) + L".";
}

struct OpenedTarget {
  win::FileHandle file;
  bool existed;  // an existing file, which may be longer than the new content
};

// Opens the target for writing: an existing file loses its attributes (read-only, hidden,
// system) and is opened for writing with sharing; a new one is created without sharing.
OpenedTarget OpenTarget(const std::string& target) {
  if (win::FileExistsQuiet(target)) {
    SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    return {win::FileHandle(CreateFileA(target.c_str(), GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr)),
            true};
  }
  return {win::FileHandle(CreateFileA(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr)),
          false};
}

enum class CopyResult { kDone, kWriteFailed, kReadFailed };

// Copies the whole content into the opened target from its start and cuts an existing file at
// the content's end, so that it holds exactly the content. On a failed or short write, or a
// failed read, the target is cut to 0 bytes: no file may look complete when it is not.
CopyResult CopyContent(dt::ContentReader& content, const OpenedTarget& target,
                       std::vector<std::byte>& buffer) {
  const win::FileHandle& file = target.file;
  CopyResult result = CopyResult::kDone;
  for (;;) {
    const auto n = content.Next(buffer);
    if (!n) {
      result = CopyResult::kReadFailed;
      break;
    }
    if (*n == 0) break;
    DWORD written = 0;
    if (!WriteFile(file.get(), buffer.data(), static_cast<DWORD>(*n), &written, nullptr) ||
        written != *n) {
      result = CopyResult::kWriteFailed;
      break;
    }
  }
  if (result != CopyResult::kDone) SetFilePointer(file.get(), 0, nullptr, FILE_BEGIN);
  if (result != CopyResult::kDone || target.existed) SetEndOfFile(file.get());
  return result;
}

// What became of one entry.
enum class EntryOutcome { kNext, kStop };

class ArchiveRun {
 public:
  ArchiveRun(const std::string& archivePath, dt::ByteSource& archive, TMessages& messages,
             bool overwrite, InstallView& view)
      : archivePath_(archivePath),
        archive_(archive),
        messages_(messages),
        overwrite_(overwrite),
        view_(view),
        buffer_(kCopyBufferSize) {}

  EntryOutcome Unpack(const dt::TFileItem& item) {
    const dt::SplitResult parts = dt::SplitPath(item.Name);
    view_.SetFileLabel(L"Файл: " + win::AnsiToWide(parts.file) + L"...");
    const std::string folder = ExpandFolderMacros(parts.folder);
    win::ForceDirectories(folder);
    if (!win::DirectoryExistsQuiet(folder)) return Stop(FolderError(folder));
    const std::string target = folder + "\\" + parts.file;

    const auto size = dt::ReadPayloadSize(archive_, item);
    if (!size) return Stop(PayloadReadError(archivePath_, target));
    if (overwrite_ || !win::FileExistsQuiet(target)) {
      if (WriteTarget(item, *size, target) == EntryOutcome::kStop) return EntryOutcome::kStop;
    }
    DoneBytes += *size;
    view_.SetGaugePosition(dt::ToGauge(DoneBytes, TotalBytes));
    view_.Pump();
    return EntryOutcome::kNext;
  }

  EntryOutcome Stop(std::wstring error) {
    messages_.Error = std::move(error);
    return EntryOutcome::kStop;
  }

 private:
  // Writes one file, asking Abort/Retry/Ignore when it cannot be opened or written. kNext also
  // when the user chose to skip it.
  EntryOutcome WriteTarget(const dt::TFileItem& item, std::int32_t size,
                           const std::string& target) {
    for (;;) {
      auto content = dt::ContentReader::Open(archive_, item, size);
      if (!content) return Stop(PayloadReadError(archivePath_, target));
      CopyResult result = CopyResult::kWriteFailed;
      if (const OpenedTarget opened = OpenTarget(target); opened.file) {
        result = CopyContent(*content, opened, buffer_);
        if (result == CopyResult::kDone) return EntryOutcome::kNext;
      }
      const std::wstring question = WriteError(target);
      switch (view_.AskWriteError(question)) {
        case kAbort:
          return Stop(result == CopyResult::kReadFailed ? PayloadReadError(archivePath_, target)
                                                        : question);
        case kRetry:
          continue;
        default:
          return EntryOutcome::kNext;
      }
    }
  }

  const std::string& archivePath_;
  dt::ByteSource& archive_;
  TMessages& messages_;
  const bool overwrite_;
  InstallView& view_;
  std::vector<std::byte> buffer_;
};

}  // namespace

void UnpackArchive(const std::string& archivePath, TMessages& messages, bool overwrite,
                   InstallView& view) {
  UnpackArchive(*ArchiveFile(archivePath), messages, overwrite, view);
}

void UnpackArchive(const ArchiveSource& source, TMessages& messages, bool overwrite,
                   InstallView& view) {
  const std::string& archivePath = source.Name();
  const std::unique_ptr<dt::ByteSource> opened = source.Open();
  if (!opened) {
    messages.Error = OpenError(archivePath);
    return;
  }
  dt::ByteSource& archive = *opened;
  const dt::Directory directory = dt::ReadDirectory(archive);
  if (directory.formatError) messages.Error = FormatError(archivePath);

  ArchiveRun run(archivePath, archive, messages, overwrite, view);
  for (const dt::TFileItem& item : directory.items) {
    EntryOutcome outcome;
    try {
      outcome = run.Unpack(item);
    } catch (const std::exception& e) {
      outcome = run.Stop(win::Utf8ToWide(e.what()));
    }
    if (outcome == EntryOutcome::kStop) return;
  }
  view.Pump();
}

}  // namespace setup
