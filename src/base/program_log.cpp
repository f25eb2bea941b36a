#include "base/program_log.h"

#include <windows.h>

#include <cstdio>
#include <vector>

#include "win32/files.h"
#include "win32/wide_text.h"

namespace base {
namespace {

// The long form of an existing folder (the temporary folder may be given in short names).
std::wstring LongPath(const std::wstring& path) {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD n =
        GetLongPathNameW(path.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return path;
    if (n < buffer.size()) return std::wstring(buffer.data(), n);
    buffer.resize(n + 1);
  }
}

std::wstring WithoutLongPathPrefix(std::wstring path) {
  if (path.rfind(L"\\\\?\\UNC\\", 0) == 0) return L"\\\\" + path.substr(8);
  if (path.rfind(L"\\\\?\\", 0) == 0) return path.substr(4);
  return path;
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// True when the opened file is a plain file with one name, and that name is `named`: nothing on
// the way (a junction, a symbolic link, a mount point) led elsewhere.
bool IsTheNamedFile(HANDLE file, const std::wstring& named) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(file, &info)) return false;
  if (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) {
    return false;
  }
  if (info.nNumberOfLinks > 1) return false;
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD n =
        GetFinalPathNameByHandleW(file, buffer.data(), static_cast<DWORD>(buffer.size()),
                                  FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n == 0) return false;
    if (n < buffer.size()) {
      return SamePath(WithoutLongPathPrefix(std::wstring(buffer.data(), n)), named);
    }
    buffer.resize(n + 1);
  }
}

// The named path with its folder in long names: what the final path of the file must read.
std::wstring CanonicalName(const std::wstring& path) {
  const std::wstring full = win::FullPath(path).value_or(path);
  const std::size_t slash = full.rfind(L'\\');
  if (slash == std::wstring::npos) return full;
  return LongPath(full.substr(0, slash)) + full.substr(slash);
}

// Deletes a file through its handle (it was opened with DELETE access).
void DeleteOpened(HANDLE file) {
  FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = TRUE;
  SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition);
}

win::FileHandle OpenForLog(const std::wstring& path, DWORD disposition) {
  // A link in the last place is opened as itself, so that it is seen and refused.
  return win::FileHandle(
      CreateFileW(path.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr, disposition,
                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

// The checked file again, through a handle that only writes: the DELETE access needed to take
// back a refused file would keep others from reading the log while it grows. The new handle must
// reach the same file (same volume and file index) and pass the same test; null otherwise.
win::FileHandle ForWritingOnly(win::FileHandle checked, const std::wstring& path) {
  BY_HANDLE_FILE_INFORMATION before;
  if (!GetFileInformationByHandle(checked.get(), &before)) return {};
  checked.reset();
  win::FileHandle writer(
      CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  BY_HANDLE_FILE_INFORMATION after;
  if (!writer || !GetFileInformationByHandle(writer.get(), &after) ||
      after.dwVolumeSerialNumber != before.dwVolumeSerialNumber ||
      after.nFileIndexHigh != before.nFileIndexHigh ||
      after.nFileIndexLow != before.nFileIndexLow || !IsTheNamedFile(writer.get(), path)) {
    return {};
  }
  return writer;
}

std::wstring TempFolder() {
  wchar_t buffer[MAX_PATH + 1];
  const DWORD n = GetTempPathW(MAX_PATH + 1, buffer);
  return n > 0 && n <= MAX_PATH ? std::wstring(buffer, n) : std::wstring();
}

}  // namespace

ProgramLog ProgramLog::CreateNumbered(std::wstring folder, const wchar_t* kind) {
  if (folder.empty()) folder = TempFolder();
  if (folder.empty()) return {};
  if (folder.back() != L'\\') folder += L'\\';
  SYSTEMTIME now;
  GetLocalTime(&now);
  for (int number = 1; number <= 999; ++number) {
    wchar_t name[64];
    swprintf(name, 64, L"%ls Log %04u-%02u-%02u #%03d.txt", kind, now.wYear, now.wMonth, now.wDay,
             number);
    const std::wstring path = CanonicalName(folder + name);
    win::FileHandle file = OpenForLog(path, CREATE_NEW);
    if (!file) {
      if (GetLastError() == ERROR_FILE_EXISTS || GetLastError() == ERROR_ALREADY_EXISTS) continue;
      return {};
    }
    if (!IsTheNamedFile(file.get(), path)) {
      DeleteOpened(file.get());
      return {};
    }
    file = ForWritingOnly(std::move(file), path);
    if (!file) return {};
    return ProgramLog(std::move(file), path);
  }
  return {};
}

ProgramLog ProgramLog::OpenFile(const std::wstring& path) {
  const std::wstring named = CanonicalName(path);
  win::FileHandle file = OpenForLog(named, OPEN_ALWAYS);
  if (!file) return {};
  const bool created = GetLastError() != ERROR_ALREADY_EXISTS;
  if (!IsTheNamedFile(file.get(), named)) {
    if (created) DeleteOpened(file.get());
    return {};
  }
  file = ForWritingOnly(std::move(file), named);
  if (!file) return {};
  SetEndOfFile(file.get());  // replaces what was there: only now that it is known to be ours
  return ProgramLog(std::move(file), named);
}

ProgramLog ProgramLog::Continue(win::FileHandle inherited) {
  if (!inherited) return {};
  // One file object with the other process's handle: its position is where those lines ended.
  return ProgramLog(std::move(inherited), std::wstring());
}

win::FileHandle ProgramLog::ForChild() const {
  HANDLE duplicate = nullptr;
  if (!file_ || !DuplicateHandle(GetCurrentProcess(), file_.get(), GetCurrentProcess(), &duplicate,
                                 0, TRUE, DUPLICATE_SAME_ACCESS)) {
    return {};
  }
  return win::FileHandle(duplicate);
}

void ProgramLog::Write(std::wstring_view line) {
  if (!file_) return;
  SYSTEMTIME now;
  GetLocalTime(&now);
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04u-%02u-%02u %02u:%02u:%02u.%03u ", now.wYear, now.wMonth,
                now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds);
  // One line per event: a text that holds line breaks (a two-line question) keeps them as " / ".
  std::wstring event(line);
  for (std::size_t at = event.find_first_of(L"\r\n"); at != std::wstring::npos;
       at = event.find_first_of(L"\r\n", at)) {
    const std::size_t end = event.find_first_not_of(L"\r\n", at);
    event.replace(at, (end == std::wstring::npos ? event.size() : end) - at, L" / ");
    at += 3;
  }
  std::string text = stamp + win::WideToUtf8(event) + "\r\n";
  DWORD written = 0;
  WriteFile(file_.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

void ProgramLog::WriteAnsi(std::string_view line) {
  Write(win::AnsiToWide(line));
}

ProgramLog& NoLog() {
  static ProgramLog none;
  return none;
}

ProgramLog OpenLogFor(dt::CommandLine& options, const wchar_t* kind) {
  if (!options.Unattended() && !options.log) return {};
  if (!options.logFile) return ProgramLog::CreateNumbered({}, kind);
  ProgramLog log = ProgramLog::OpenFile(*options.logFile);
  if (!log.IsOpen() && !options.Bad()) options.badArgument = L"/LOG=" + *options.logFile;
  return log;
}

ResultLine::ResultLine(ProgramLog& log) : log_(log), started_(GetTickCount64()) {}

int ResultLine::operator()(const Ending& ending) const {
  const std::wstring_view what = ending.words;
  const int exitCode = ending.exitCode;
  wchar_t seconds[32];
  swprintf(seconds, 32, L"%.3f", static_cast<double>(GetTickCount64() - started_) / 1000.0);
  log_.Write(L"result: " + std::wstring(what) + L"; exit code " + std::to_wstring(exitCode) +
             L"; duration " + seconds + L" s");
  return exitCode;
}

}  // namespace base
