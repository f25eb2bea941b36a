#include "setup/run/run_record.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>

#include "base/file_checks.h"
#include "core/install_record.h"
#include "core/install_record_check.h"
#include "core/product.h"
#include "win32/files.h"
#include "win32/sha256.h"
#include "win32/wide_text.h"

namespace setup {
namespace {

// Opens the record file without following a link: the folder may be writable by others.
win::FileHandle OpenRecordFile(const std::string& path, DWORD disposition, DWORD access) {
  return win::FileHandle(CreateFileA(path.c_str(), access, FILE_SHARE_READ,
                                     nullptr, disposition,
                                     FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT,
                                     nullptr));
}

// The whole content of an opened regular file with a single name; nothing for anything else (a
// link, a file with several names, a folder, one too large to be a record).
std::optional<std::string> ReadWholeRegularFile(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file, &info)) return std::nullopt;
  if (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) {
    return std::nullopt;
  }
  if (info.nNumberOfLinks != 1 || info.nFileSizeHigh != 0 || info.nFileSizeLow > (256u << 20)) {
    return std::nullopt;
  }
  std::string content(info.nFileSizeLow, '\0');
  DWORD read = 0;
  if (!content.empty() &&
      (!ReadFile(file, content.data(), info.nFileSizeLow, &read, nullptr) ||
       read != info.nFileSizeLow)) {
    return std::nullopt;
  }
  return content;
}

std::string Upper(std::string text) {
  if (!text.empty()) CharUpperBuffA(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

// The folder as the record names it: its full path in UTF-8.
std::string RecordedFolder(const std::string& folder) {
  return win::AnsiToUtf8(win::FullPath(folder).value_or(folder));
}

// Why an existing record cannot be appended to; nothing when it can.
std::optional<std::string> WhyNotAppendable(const dt::RecordRead& read, const std::string& content,
                                            const std::string& anchorText,
                                            const std::string& folderUtf8) {
  const auto anchor = dt::ParseRecordAnchor(anchorText);
  if (!anchor) return "no anchor in the uninstall entry";
  if (anchor->length > read.acceptedBytes) return "damaged or cut inside its anchored part";
  const auto digest = win::Sha256(std::string_view(content).substr(0, anchor->length));
  if (!digest || dt::Sha256Hex(*digest) != anchor->sha256Hex) return "not the anchored record";
  if (read.damaged) return "a damaged line after its anchored part";
  for (const dt::RecordLine& line : read.lines) {
    if (line.kind != dt::kRecordRun || line.fields.empty()) continue;
    if (Upper(win::Utf8ToAnsi(line.fields[0])) != Upper(win::Utf8ToAnsi(folderUtf8))) {
      return "the record of another folder";
    }
    return std::nullopt;
  }
  return "no run in it";
}

std::string LocalTimeText() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", unsigned{now.wYear},
                unsigned{now.wMonth}, unsigned{now.wDay}, unsigned{now.wHour},
                unsigned{now.wMinute}, unsigned{now.wSecond});
  return text;
}

}  // namespace

std::wstring RecordWriteError(const base::RecordWriter& record) {
  return L"Ошибка записи файла: \"" + win::AnsiToWide(record.Path()) + L"\".";
}

std::vector<std::string> PathLevels(const std::string& path) {
  std::vector<std::string> levels;
  const std::string full = win::FullPath(path).value_or(path);
  // The root: "C:\" or "\\server\share\".
  std::size_t start = 0;
  if (full.rfind("\\\\", 0) == 0) {
    const std::size_t server = full.find('\\', 2);
    start = server == std::string::npos ? full.size() : full.find('\\', server + 1);
    if (start == std::string::npos) start = full.size();
  } else {
    start = full.find('\\');
    if (start == std::string::npos) return levels;
  }
  for (std::size_t slash = full.find('\\', start + 1);; slash = full.find('\\', slash + 1)) {
    const std::string level = full.substr(0, slash);
    if (level.size() > start + 1 && level.back() != '\\' &&
        (levels.empty() || levels.back() != level)) {
      levels.push_back(level);
    }
    if (slash == std::string::npos) break;
  }
  return levels;
}

std::optional<FileStamp> StampOf(HANDLE file) {
  // Only the size and the time, asked for one by one: GetFileInformationByHandle would also ask
  // for the volume's serial number, which under Wine costs more than writing a small file.
  LARGE_INTEGER size{};
  FILETIME lastWrite{};
  if (!GetFileSizeEx(file, &size) || !GetFileTime(file, nullptr, nullptr, &lastWrite)) {
    return std::nullopt;
  }
  char time[17];
  std::snprintf(time, sizeof time, "%08lx%08lx",
                static_cast<unsigned long>(lastWrite.dwHighDateTime),
                static_cast<unsigned long>(lastWrite.dwLowDateTime));
  return FileStamp{static_cast<std::uint64_t>(size.QuadPart), time};
}

base::RecordWriter OpenInstallRecord(const std::string& folder, const std::string& anchor,
                                     const std::vector<MadeFolder>& madeFolders,
                                     base::ProgramLog& log, dt::EarlierRuns* earlier) {
  const std::string path = folder + "\\" + std::string(dt::kRecordFileName);
  const std::string folderUtf8 = RecordedFolder(folder);
  win::FileHandle file;
  std::uint64_t size = 0;
  // What the anchor covered when this run began: its own anchor vouches for no more of what
  // lies before it. 0 for a new record.
  std::uint64_t anchoredBefore = 0;

  if (win::FileHandle existing =
          OpenRecordFile(path, OPEN_EXISTING, GENERIC_READ | GENERIC_WRITE)) {
    const auto content = ReadWholeRegularFile(existing.get());
    const dt::RecordRead read = content ? dt::ReadRecord(*content) : dt::RecordRead{};
    const auto why = content ? WhyNotAppendable(read, *content, anchor, folderUtf8)
                             : std::optional<std::string>("not a plain file");
    if (content && earlier) {
      // Appended to, its anchor vouches for its anchored part. Set aside, it vouches for nothing,
      // and is taken over only as the uninstaller would act on it: a record of a first run that
      // ended before any anchor was written (the entry has none), made this folder, and left it
      // owned by Administrators or SYSTEM. A record set aside beside an anchor was changed since.
      const bool takeOver = !why || (anchor.empty() && !read.damaged &&
                                     dt::FirstRunMadeFolder(read, folderUtf8) &&
                                     base::OwnedByAdministrators(folder));
      std::string error = takeOver ? "" : "set aside, and not a first run's that made the folder";
      if (takeOver) {
        std::optional<std::uint64_t> anchored;
        if (!why) anchored = dt::ParseRecordAnchor(anchor)->length;
        *earlier = dt::ReadEarlierRuns({read, anchored, folderUtf8},
                                       base::KnownPlaces(win::FullPath(folder).value_or(folder)),
                                       &error);
      }
      if (!error.empty()) {
        log.WriteAnsi("installation record \"" + path + "\": nothing taken over (" + error + ")");
      }
    }
    if (!why) {
      if (read.tornTail) {
        log.WriteAnsi("installation record \"" + path + "\": a torn last line at byte " +
                      std::to_string(read.acceptedBytes) + " cut off");
      }
      LARGE_INTEGER end{};
      end.QuadPart = static_cast<LONGLONG>(read.acceptedBytes);
      if (SetFilePointerEx(existing.get(), end, nullptr, FILE_BEGIN) &&
          SetEndOfFile(existing.get())) {
        log.WriteAnsi("installation record \"" + path + "\": appending to " +
                      std::to_string(read.acceptedBytes) + " bytes");
        file = std::move(existing);
        size = read.acceptedBytes;
        anchoredBefore = dt::ParseRecordAnchor(anchor)->length;
      }
    } else {
      // Renamed through a handle that reaches the file judged (same volume and index): the
      // record's own handle has no DELETE access, which would keep readers without delete
      // sharing out for the whole run.
      const std::string old = folder + "\\" + std::string(dt::kRecordOldFileName);
      const std::optional<win::FileId> judged = win::FileIdOf(existing.get());
      existing.reset();
      const win::FileHandle renaming = OpenRecordFile(path, OPEN_EXISTING, DELETE);
      const bool same = renaming && judged && win::FileIdOf(renaming.get()) == judged;
      const bool renamed = same && win::RenameOpened(renaming.get(), old, /*replace=*/true);
      const DWORD error = renamed ? 0 : same ? GetLastError() : ERROR_FILE_INVALID;
      log.WriteAnsi("installation record \"" + path + "\" not appended to (" + *why + "): " +
                    (renamed ? "renamed \"" + old + "\""
                             : "cannot be renamed (system error " + std::to_string(error) + ")"));
    }
  }
  if (!file) {
    file = OpenRecordFile(path, CREATE_NEW, GENERIC_READ | GENERIC_WRITE);
    if (!file) {
      log.WriteAnsi("installation record \"" + path + "\" cannot be created (system error " +
                    std::to_string(GetLastError()) + ")");
      return base::RecordWriter({}, path, 0);  // broken: the first announcement fails
    }
    log.WriteAnsi("installation record \"" + path + "\" started");
  }

  base::RecordWriter record(std::move(file), path, size);
  record.NoteUtf8(dt::kRecordRun, {folderUtf8, LocalTimeText(), product::kVersion,
                                   std::to_string(anchoredBefore)});
  for (const std::string& level : PathLevels(folder)) {
    const DWORD attributes = GetFileAttributesA(level.c_str());
    const bool link = attributes != INVALID_FILE_ATTRIBUTES &&
                      (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    record.Note(dt::kRecordLink, {level, link ? "1" : "0"});
  }
  // Those made for this folder: the folder itself and the levels above it.
  std::vector<std::string> levels;
  for (const std::string& level : PathLevels(folder)) levels.push_back(Upper(level));
  for (const MadeFolder& made : madeFolders) {
    const std::string full = Upper(win::FullPath(made.path).value_or(made.path));
    if (std::find(levels.begin(), levels.end(), full) != levels.end()) {
      record.Note(dt::kRecordMadeFolder, {made.path, made.madeBy});
    }
  }
  record.Flush();
  return record;
}

}  // namespace setup
