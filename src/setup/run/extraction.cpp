#include "setup/run/extraction.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/archive_format.h"
#include "core/install_record.h"
#include "core/path_places.h"
#include "core/product.h"
#include "core/gauge_scale.h"
#include "core/text.h"
#include "setup/run/folder_macros.h"
#include "base/file_checks.h"
#include "base/program_log.h"
#include "setup/run/run_record.h"
#include "setup/run/safe_replace.h"
#include "base/shared_files.h"
#include "win32/files.h"
#include "win32/handles.h"
#include "win32/sha256.h"
#include "win32/wide_text.h"

namespace setup {
namespace {

std::wstring Quoted(const std::string& ansiPath) {
  return L"\"" + win::AnsiToWide(ansiPath) + L"\"";
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

// Creates a file that is not there yet, without sharing; an invalid handle when the name is
// taken (or the file cannot be made). A link at the name takes it too: it is never followed,
// not even when it leads nowhere.
win::FileHandle CreateNewTarget(const std::string& target) {
  // Most targets are new. Creating the file only where none is found tells that at once; a test
  // of the name first would cost as much again, since Wine (like any case-insensitive lookup on
  // a case-sensitive disk) scans the whole folder for a name that is not there.
  return win::FileHandle(CreateFileA(target.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT,
                                     nullptr));
}

// The name is taken by a link, junction or other reparse point: no file is written through it.
bool IsLinkAt(const std::string& target) {
  const DWORD attributes = GetFileAttributesA(target.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

enum class CopyResult { kDone, kWriteFailed, kReadFailed };

std::string ContentHex(win::Sha256Hasher& hash) {
  const auto digest = hash.Finish();
  return digest ? dt::Sha256Hex(*digest) : std::string();
}

struct CopyOutcome {
  CopyResult result;
  DWORD systemError;  // of the failed write or read; 0 when done
};

// Copies the whole content into a file that was just made, from its start, adding what it writes
// to hash when one is given; betweenBuffers runs before every read after the first.
CopyOutcome CopyContent(dt::ContentReader& content, const win::FileHandle& file,
                        std::vector<std::byte>& buffer,
                        const std::function<void()>& betweenBuffers, win::Sha256Hasher* hash) {
  for (bool first = true;; first = false) {
    if (!first) betweenBuffers();
    SetLastError(0);
    const auto n = content.Next(buffer);
    if (!n) return {CopyResult::kReadFailed, GetLastError()};
    if (*n == 0) return {CopyResult::kDone, 0};
    DWORD written = 0;
    if (!WriteFile(file.get(), buffer.data(), static_cast<DWORD>(*n), &written, nullptr)) {
      return {CopyResult::kWriteFailed, GetLastError()};
    }
    if (written != *n) return {CopyResult::kWriteFailed, ERROR_DISK_FULL};  // the disk is full
    if (hash) hash->Add(buffer.data(), *n);
  }
}

// Writes a file that did not exist (made with DELETE access). The file is marked for deletion
// before its first byte and kept only once its whole content is written: whatever ends the write
// before that (a failed write or read, a killed process, whose handles the system closes) takes
// it away again, through the handle that made it. A file cut short would otherwise stay under the
// product's name, and a later run would take it for somebody else's.
CopyOutcome WriteNewFile(dt::ContentReader& content, const win::FileHandle& file,
                         std::vector<std::byte>& buffer,
                         const std::function<void()>& betweenBuffers, win::Sha256Hasher* hash) {
  // Where the mark is refused, the file is written all the same and goes again only on a failure
  // the run sees.
  const bool marked = win::DeleteOpened(file.get()) == 0;
  CopyOutcome outcome = CopyContent(content, file, buffer, betweenBuffers, hash);
  if (outcome.result != CopyResult::kDone) {
    if (!marked) win::DeleteOpened(file.get());
  } else if (marked) {
    if (const DWORD error = win::KeepOpened(file.get())) outcome = {CopyResult::kWriteFailed, error};
  }
  return outcome;
}

// What became of one entry.
enum class EntryOutcome { kNext, kStop };

class ArchiveRun {
 public:
  ArchiveRun(const std::string& archivePath, dt::ByteSource& archive, RunState& state,
             TMessages& messages, bool overwrite, InstallView& view, base::ProgramLog& log)
      : archivePath_(archivePath),
        archive_(archive),
        state_(state),
        messages_(messages),
        overwrite_(overwrite),
        view_(view),
        log_(log),
        buffer_(kCopyBufferSize),
        macros_(state.InstallFolder) {
    for (const char* name : product::kRegistrationFiles) {
      registrationFiles_.push_back(FileIdentity(state.InstallFolder + "\\" + name));
    }
    for (const std::string& path : messages.Earlier.unconfirmed) {
      unconfirmed_.insert(dt::PathKey(path));
    }
  }

  EntryOutcome Unpack(const dt::TFileItem& item) {
    const dt::SplitResult parts = dt::SplitPath(item.Name);
    view_.SetFileLabel(L"Файл: " + win::AnsiToWide(parts.file) + L"...");
    entry_ = L"entry " + Quoted(item.Name);
    const std::string folder = macros_.Expand(parts.folder);
    // No level below the installation folder is used through a link: the existing levels are
    // checked and held before anything is made below them, each new one as soon as it is made.
    if (const auto link = HoldFolder(folder)) return Stop(FolderError(*link));
    if (!win::DirectoryExistsQuiet(folder)) {
      if (const auto refused = MakeFolder(folder)) return *refused;
      if (!win::DirectoryExistsQuiet(folder)) return Stop(FolderError(folder));
      if (const auto link = HoldFolder(folder, /*complete=*/true)) return Stop(FolderError(*link));
    }
    const std::string target = folder + "\\" + parts.file;
    entry_ += L" -> " + Quoted(target);

    const auto size = dt::ReadPayloadSize(archive_, item);
    if (!size) return Stop(PayloadReadError(archivePath_, target));
    entry_ += L", " + std::to_wstring(*size) + L" bytes: ";
    if (!unconfirmed_.empty() && unconfirmed_.count(dt::PathKey(win::AnsiToUtf8(target))) &&
        ConfirmComplete(item, *size, target)) {
      if (!IsInstallFolderEntry(parts.folder)) CountSharedUse(target, /*existedBefore=*/false);
    } else if (overwrite_ || !win::FileExistsQuiet(target)) {
      wrote_ = false;
      if (const auto refused = AnnounceOrAsk(dt::kRecordFilePending, target)) {
        if (*refused == EntryOutcome::kStop) return EntryOutcome::kStop;
      } else {
        messages_.Pending.BeforeWrite(target, log_);
        if (WriteTarget(item, *size, target) == EntryOutcome::kStop) return EntryOutcome::kStop;
      }
      if (wrote_ && !IsInstallFolderEntry(parts.folder)) CountSharedUse(target, replaced_);
    } else if (messages_.Earlier.created.count(dt::PathKey(win::AnsiToUtf8(target)))) {
      // This product's own since an earlier run created it: not somebody else's file.
      log_.Write(entry_ + L"left as it is (created by an earlier run)");
      if (!IsInstallFolderEntry(parts.folder)) CountSharedUse(target, /*existedBefore=*/false);
    } else {
      messages_.Record.Note(dt::kRecordKept, {target});
      log_.Write(entry_ + L"kept (the file exists)");
      if (!IsInstallFolderEntry(parts.folder)) CountSharedUse(target, true);
    }
    state_.DoneBytes += *size;
    view_.SetGaugePosition(dt::ToGauge(state_.DoneBytes, state_.TotalBytes));
    Pump();
    return EntryOutcome::kNext;
  }

  EntryOutcome Stop(std::wstring error, DWORD systemError = 0) {
    log_.Write((entry_.empty() ? std::wstring(L"entry: ") : entry_ + L" ") + L"failed: " + error +
               (systemError ? L" (system error " + std::to_wstring(systemError) + L")" : L""));
    messages_.Error = std::move(error);
    return EntryOutcome::kStop;
  }

 private:
  // Writes one file, asking Abort/Retry/Ignore when it cannot be opened or written. kNext also
  // when the user chose to skip it. An existing file is replaced through a temporary file beside
  // it (safe_replace.h), so that a failed attempt leaves it as it was.
  EntryOutcome WriteTarget(const dt::TFileItem& item, std::int32_t size,
                           const std::string& target) {
    // The new content, waiting in its temporary file after a rename that failed: Retry repeats
    // only the rename. Whatever else ends the entry deletes the file.
    std::optional<FileReplacement> renamePending;
    for (int attempt = 1;; ++attempt) {
      CopyOutcome copied{CopyResult::kWriteFailed, 0};
      if (renamePending) {
        copied.systemError = renamePending->Commit();
        if (!copied.systemError) {
          copied.result = CopyResult::kDone;
          NoteFile(target, "replaced", renamePending->Stamp());
        }
      } else {
        auto content = dt::ContentReader::Open(archive_, item, size);
        if (!content) return Stop(PayloadReadError(archivePath_, target));
        std::optional<EntryOutcome> refused;
        copied = WriteOnce(*content, target, renamePending, refused);
        if (refused) return *refused;
      }
      if (copied.result == CopyResult::kDone) {
        renamePending.reset();
        const std::string identity = FileIdentity(target);
        messages_.Written.Add(identity, static_cast<std::uint64_t>(size));
        if (writtenContent_) messages_.Written.SetContent(identity, *writtenContent_);
        log_.Write(entry_ + L"written");
        return EntryOutcome::kNext;
      }
      const std::wstring question = WriteError(target);
      if (const auto outcome = AskWriteError(question, copied.systemError, attempt,
                                             copied.result == CopyResult::kReadFailed
                                                 ? PayloadReadError(archivePath_, target)
                                                 : question)) {
        return *outcome;
      }
    }
  }

  // Creates a missing folder level by level, each announced in the record. Nothing when the
  // folder may be used; otherwise what became of the entry.
  // The level that could not be held, if any (HeldFolders): every folder in the installation
  // folder, whatever macro or stored path names it. With `complete`, every level must be there.
  std::optional<std::string> HoldFolder(const std::string& folder, bool complete = false) {
    return messages_.Folders.Hold(state_.InstallFolder, folder, complete);
  }

  std::optional<EntryOutcome> MakeFolder(const std::string& folder) {
    std::optional<EntryOutcome> refused;
    std::vector<std::string> created;
    win::CreateFolderLevels(
        folder,
        [&](const std::string& level) {
          // The level above, made a moment ago, held before anything is made in it. (Where it is
          // no folder, making this one fails, and that is reported.)
          const std::string above = dt::SplitPath(level).folder;
          if (!refused && win::DirectoryExistsQuiet(above)) {
            if (const auto link = HoldFolder(above, /*complete=*/true)) {
              refused = Stop(FolderError(*link));
            }
          }
          if (!refused) refused = AnnounceOrAsk(dt::kRecordFolderPending, level);
          return !refused;
        },
        created);
    for (const std::string& level : created) messages_.Record.Note(dt::kRecordFolder, {level});
    return refused;
  }

  // Announces a change in the record; when the record cannot be written, asks the write-error
  // question about it, as about any file. Nothing when the change may go ahead; otherwise what
  // became of the entry (stopped, or skipped without the change).
  std::optional<EntryOutcome> AnnounceOrAsk(std::string_view kind, const std::string& path) {
    base::RecordWriter& record = messages_.Record;
    for (int attempt = 1;; ++attempt) {
      if (record.Announce(kind, {path})) return std::nullopt;
      const DWORD error = GetLastError();
      const std::wstring question = RecordWriteError(record);
      if (const auto outcome = AskWriteError(question, error, attempt, question)) return outcome;
    }
  }

  // Asks the write-error question and logs the answer. Nothing for Retry; otherwise what becomes
  // of the entry: stopped with stopText (Abort), or skipped (Ignore, or the question closed).
  std::optional<EntryOutcome> AskWriteError(const std::wstring& question, DWORD error, int attempt,
                                            const std::wstring& stopText) {
    const WriteErrorAnswer answer = view_.AskWriteError(question, error, attempt);
    log_.Write(L"question: " + question + L" (system error " + std::to_wstring(error) +
               L"), answer: " + AnswerName(answer));
    switch (answer) {
      case WriteErrorAnswer::kAbort:
        return Stop(stopText, error);
      case WriteErrorAnswer::kRetry:
        return std::nullopt;
      case WriteErrorAnswer::kIgnore:
      case WriteErrorAnswer::kClosed:
        break;
    }
    log_.Write(entry_ + L"skipped after " + AnswerName(answer));
    return EntryOutcome::kNext;
  }

  void Pump() {
    view_.Pump();
    lastPump_ = std::chrono::steady_clock::now();
  }

  // Whether a stored folder lies in the installation folder; every other file is shared.
  static bool IsInstallFolderEntry(const std::string& storedFolder) {
    return storedFolder.rfind("%InstallDir%", 0) == 0;
  }

  // Adds this product's use to a shared file's count (runs that record only: a partial run of a
  // test leaves the machine's counts alone).
  void CountSharedUse(const std::string& target, bool existedBefore) {
    base::RecordWriter& record = messages_.Record;
    if (!record.Recording() || !record.Announce(dt::kRecordSharedPending, {target})) return;
    DWORD error = 0;
    if (const auto before = base::AddSharedUse(target, existedBefore, &error)) {
      record.Note(dt::kRecordShared, {target, *before});
      log_.WriteAnsi("shared file count raised: \"" + target + "\" (before: " + *before + ")");
    } else {
      log_.WriteAnsi("shared file count not raised (system error " + std::to_string(error) +
                     "): \"" + target + "\"");
    }
  }

  // A file that a run which did not end announced, and may have written whole before it was
  // killed: when it holds exactly the entry's content (a plain file with one name, owned by no
  // ordinary user (base::OwnedByAdministrators), in the held folder, compared while nobody may
  // change it), it is this product's own and confirmed in the record as created, as if this run
  // had written it. False when it is anything else; then it is treated as any file found there.
  bool ConfirmComplete(const dt::TFileItem& item, std::int32_t size, const std::string& target) {
    const win::FileHandle file = win::HoldPlainFile(target);
    if (!file || !messages_.Folders.Contains(dt::SplitPath(target).folder, file.get())) {
      return false;
    }
    // A file somebody else made (owned by them, able to change it at will) or one with a second
    // name is never taken for the product's, whatever it holds.
    FILE_STANDARD_INFO standard{};
    if (!GetFileInformationByHandleEx(file.get(), FileStandardInfo, &standard, sizeof standard) ||
        standard.NumberOfLinks != 1 || standard.EndOfFile.QuadPart != size ||
        !base::OwnedByAdministrators(file.get())) {
      return false;
    }
    auto content = dt::ContentReader::Open(archive_, item, size);
    if (!content) return false;
    std::optional<win::Sha256Hasher> hash;
    if (IsRegistrationFile(target)) StartHash(hash);
    std::vector<std::byte> held(buffer_.size());
    for (;;) {
      const auto n = content->Next(buffer_);
      if (!n) return false;
      if (*n == 0) break;
      DWORD read = 0;
      if (!ReadFile(file.get(), held.data(), static_cast<DWORD>(*n), &read, nullptr) ||
          read != *n || std::memcmp(held.data(), buffer_.data(), *n) != 0) {
        return false;
      }
      if (hash) hash->Add(buffer_.data(), *n);
    }
    if (!messages_.Record.Announce(dt::kRecordFilePending, {target})) return false;
    messages_.Pending.BeforeWrite(target, log_);
    NoteFile(target, "created", StampOf(file.get()));
    const std::string identity = FileIdentity(target);
    messages_.Written.Add(identity, static_cast<std::uint64_t>(size));
    if (hash) messages_.Written.SetContent(identity, ContentHex(*hash));
    log_.Write(entry_ + L"confirmed: the whole content, written by a run that did not end");
    return true;
  }

  // A file the registration uses: hashed as it is written.
  bool IsRegistrationFile(const std::string& target) const {
    return std::find(registrationFiles_.begin(), registrationFiles_.end(), FileIdentity(target)) !=
           registrationFiles_.end();
  }
  static void StartHash(std::optional<win::Sha256Hasher>& hash) {
    hash.emplace();
    hash->Open();
  }

  // A file the run wrote, as the record keeps it.
  void NoteFile(const std::string& target, const char* how, const std::optional<FileStamp>& stamp) {
    wrote_ = true;
    replaced_ = std::string_view(how) == "replaced";
    messages_.Record.Note(dt::kRecordFile, {target, how, stamp ? std::to_string(stamp->size) : "",
                                            stamp ? stamp->lastWrite : ""});
  }

  // One attempt at writing the target from its content's start. A file that is not there yet is
  // made and written in place (and goes again when that fails: nothing recorded); an
  // existing one is replaced. When only the rename failed, the replacement is left in
  // renamePending. When the record refuses the temporary file's announcement, refused says what
  // became of the entry, and nothing was made.
  CopyOutcome WriteOnce(dt::ContentReader& content, const std::string& target,
                        std::optional<FileReplacement>& renamePending,
                        std::optional<EntryOutcome>& refused) {
    // A file the registration uses is hashed as it is written.
    writtenContent_.reset();
    std::optional<win::Sha256Hasher> hash;
    if (IsRegistrationFile(target)) StartHash(hash);
    const std::string folder = dt::SplitPath(target).folder;
    win::FileHandle created = CreateNewTarget(target);
    if (!created && IsLinkAt(target)) return {CopyResult::kWriteFailed, kTargetIsNoPlainFile};
    if (!created && win::FileExistsQuiet(target)) {
      FileReplacement& replacement = renamePending.emplace(
          target, [this, folder](HANDLE file) { return messages_.Folders.Contains(folder, file); });
      CopyOutcome outcome{CopyResult::kWriteFailed, replacement.CheckTarget()};
      if (!outcome.systemError) {
        // Named in the record before it exists: a run ended from outside while it is written
        // leaves a file that the uninstaller knows.
        refused = AnnounceOrAsk(dt::kRecordTempPending, replacement.ChooseTemporary());
        if (refused) {
          renamePending.reset();
          return outcome;
        }
        outcome.systemError = replacement.CreateTemporary();
      }
      if (!outcome.systemError) {
        outcome = CopyContent(content, replacement.File(), buffer_, pumpWhileCopying_,
                              hash ? &*hash : nullptr);
        if (outcome.result == CopyResult::kDone) {
          if (hash) writtenContent_ = ContentHex(*hash);
          outcome.systemError = replacement.Commit();
          if (outcome.systemError) outcome.result = CopyResult::kWriteFailed;
          if (!outcome.systemError) NoteFile(target, "replaced", replacement.Stamp());
          return outcome;  // after a failed rename, renamePending keeps the content for a Retry
        }
      }
      renamePending.reset();  // a failed attempt: the temporary file goes, the target is as it was
      return outcome;
    }
    if (!created) {
      // Gone since the first try: made anew, never over whatever took the name meanwhile (a
      // hard link to another file would be cut and written).
      created = CreateNewTarget(target);
      if (!created) return {CopyResult::kWriteFailed, GetLastError()};
    }
    // A held folder that was empty may have become a junction in place: a file made through it
    // is not in the folder the run holds. It goes again, through its handle, and the run stops.
    if (!messages_.Folders.Contains(folder, created.get())) {
      win::DeleteOpened(created.get());
      refused = Stop(FolderError(folder));
      return {CopyResult::kWriteFailed, 0};
    }
    const CopyOutcome outcome =
        WriteNewFile(content, created, buffer_, pumpWhileCopying_, hash ? &*hash : nullptr);
    if (outcome.result == CopyResult::kDone) {
      if (hash) writtenContent_ = ContentHex(*hash);
      NoteFile(target, "created", StampOf(created.get()));
    }
    // Otherwise nothing is recorded: the file goes as `created` closes, and its announcement
    // stays unconfirmed.
    return outcome;
  }

  const std::string& archivePath_;
  dt::ByteSource& archive_;
  RunState& state_;
  TMessages& messages_;
  const bool overwrite_;
  InstallView& view_;
  base::ProgramLog& log_;
  std::vector<std::byte> buffer_;
  // While a payload of several buffers is copied, the view is pumped between buffers once a
  // screen refresh has passed since the last pump: the window repaints and its cancel button
  // answers also while one large file is written.
  static constexpr std::chrono::milliseconds kCopyPumpInterval{16};
  std::chrono::steady_clock::time_point lastPump_ = std::chrono::steady_clock::now();
  const std::function<void()> pumpWhileCopying_ = [this] {
    if (std::chrono::steady_clock::now() - lastPump_ >= kCopyPumpInterval) Pump();
  };
  FolderMacroExpander macros_;  // the folders behind the macros, asked for once per archive
  std::wstring entry_;          // the log line's beginning for the entry at hand
  std::vector<std::string> registrationFiles_;  // their identities (product::kRegistrationFiles)
  std::set<std::string> unconfirmed_;  // PathKeys of messages.Earlier.unconfirmed
  // The SHA-256 of what the last attempt wrote into a registration file ("" when hashing failed).
  std::optional<std::string> writtenContent_;
  bool wrote_ = false;          // the entry at hand's file was written
  bool replaced_ = false;       // ... over an existing file
};

}  // namespace

std::wstring ArchiveOpenError(const std::string& archive) {
  return L"Ошибка чтения архива: " + Quoted(archive) + L".";
}

std::string FileIdentity(const std::string& path) {
  std::string identity = win::FullPath(path).value_or(path);
  CharUpperBuffA(identity.data(), static_cast<DWORD>(identity.size()));
  return identity;
}

void UnpackArchive(const std::string& archivePath, RunState& state, TMessages& messages,
                   bool overwrite, InstallView& view, base::ProgramLog& log) {
  UnpackArchive(*ArchiveFile(archivePath), state, messages, overwrite, view, log);
}

void UnpackArchive(const ArchiveSource& source, RunState& state, TMessages& messages,
                   bool overwrite, InstallView& view, base::ProgramLog& log) {
  const std::string& archivePath = source.Name();
  const std::unique_ptr<dt::ByteSource> opened = source.Open();
  if (!opened) {
    const DWORD systemError = GetLastError();
    messages.Error = ArchiveOpenError(archivePath);
    log.Write(L"archive " + Quoted(archivePath) + L" cannot be read: " + messages.Error +
              L" (system error " + std::to_wstring(systemError) + L")");
    return;
  }
  dt::ByteSource& archive = *opened;
  const dt::Directory directory = dt::ReadDirectory(archive);
  const std::wstring size = std::to_wstring(source.Size()) + L" bytes";
  if (directory.formatError) {
    messages.Error = FormatError(archivePath);
    log.Write(L"archive " + Quoted(archivePath) + L", " + size + L": " + messages.Error);
  } else {
    log.Write(L"archive " + Quoted(archivePath) + L", " + size + L", " +
              std::to_wstring(directory.items.size()) + L" entries" +
              (overwrite ? L", replacing existing files" : L", keeping existing files"));
  }

  ArchiveRun run(archivePath, archive, state, messages, overwrite, view, log);
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
