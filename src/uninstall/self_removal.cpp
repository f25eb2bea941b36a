#include "uninstall/self_removal.h"

#include <cwchar>

#include "core/command_line.h"
#include "setup/app/single_instance.h"
#include "setup/run/pending_renames.h"
#include "win32/handles.h"
#include "win32/wide_text.h"

namespace uninstall {
namespace {

constexpr wchar_t kHelperSwitch[] = L"/REMOVE-AFTER-EXIT";

std::string Quoted(const std::string& text) {
  return "\"" + text + "\"";
}

std::wstring Folder(UINT (*get)(LPWSTR, UINT)) {
  wchar_t path[MAX_PATH + 1];
  const UINT n = get(path, MAX_PATH + 1);
  return n > 0 && n <= MAX_PATH ? std::wstring(path, n) : std::wstring();
}
UINT TempFolder(LPWSTR buffer, UINT size) {
  return GetTempPathW(size, buffer);
}
UINT SystemFolder(LPWSTR buffer, UINT size) {
  return GetSystemDirectoryW(buffer, size);
}

std::wstring RunningProgram() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) return path.substr(0, n);
    path.resize(path.size() * 2);
  }
}

std::optional<FileIdentity> IdentityOfOpened(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file, &info) ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))) {
    return std::nullopt;
  }
  FileIdentity identity;
  identity.volume = info.dwVolumeSerialNumber;
  identity.index = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
  identity.size = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
  identity.lastWrite = (std::uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32) |
                       info.ftLastWriteTime.dwLowDateTime;
  return identity;
}

// The running program copied to a new file of the temporary folder; empty when none could be
// made. A name already taken (by anything, a link included) is never written over.
std::wstring CopyOfTheRunningProgram() {
  const std::wstring self = RunningProgram();
  const std::wstring temp = Folder(TempFolder);
  if (self.empty() || temp.empty()) return {};
  for (int number = 1; number <= 99; ++number) {
    wchar_t name[64];
    swprintf(name, 64, L"Uninstall helper %lu-%d.exe", GetCurrentProcessId(), number);
    const std::wstring copy = temp + name;
    if (CopyFileW(self.c_str(), copy.c_str(), /*failIfExists=*/TRUE)) return copy;
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return {};
  }
  return {};
}

// Starts the helper with exactly these handles inherited; its process, or null.
win::KernelHandle StartWithHandles(const std::wstring& program, std::wstring commandLine,
                                   std::vector<HANDLE> inherited) {
  SIZE_T size = 0;
  InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
  std::vector<unsigned char> buffer(size);
  auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(buffer.data());
  if (!InitializeProcThreadAttributeList(attributes, 1, 0, &size)) return {};
  STARTUPINFOEXW startup{};
  startup.StartupInfo.cb = sizeof startup;
  startup.lpAttributeList = attributes;
  const bool listed = UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST,
                                                inherited.data(),
                                                inherited.size() * sizeof(HANDLE), nullptr, nullptr);
  // Without the list, every inheritable handle goes: this program makes no others.
  if (!listed) startup.StartupInfo.cb = sizeof startup.StartupInfo;
  const std::wstring system = Folder(SystemFolder);
  PROCESS_INFORMATION started{};
  // Out of the caller's job where that is allowed: a deployment tool that ends its job when the
  // uninstaller ends would end the helper too.
  DWORD flags = CREATE_BREAKAWAY_FROM_JOB | (listed ? EXTENDED_STARTUPINFO_PRESENT : 0);
  BOOL ok = FALSE;
  for (int attempt = 0; attempt < 2 && !ok; ++attempt) {
    ok = CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, flags, nullptr,
                        system.empty() ? nullptr : system.c_str(), &startup.StartupInfo, &started);
    if (!ok && GetLastError() == ERROR_ACCESS_DENIED) {
      flags &= ~static_cast<DWORD>(CREATE_BREAKAWAY_FROM_JOB);  // the job does not allow it
    } else {
      break;
    }
  }
  const DWORD error = GetLastError();
  DeleteProcThreadAttributeList(attributes);
  if (!ok) {
    SetLastError(error);
    return {};
  }
  const win::KernelHandle thread(started.hThread);
  return win::KernelHandle(started.hProcess);
}

std::wstring HandleText(HANDLE handle) {
  return std::to_wstring(reinterpret_cast<std::uintptr_t>(handle));
}

HANDLE HandleFrom(const std::wstring& text) {
  wchar_t* end = nullptr;
  const unsigned long long value = std::wcstoull(text.c_str(), &end, 10);
  if (text.empty() || *end != L'\0' || value == 0) return nullptr;
  return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(value));
}

std::wstring IdentityText(const FileIdentity& identity) {
  return std::to_wstring(identity.volume) + L":" + std::to_wstring(identity.index) + L":" +
         std::to_wstring(identity.size) + L":" + std::to_wstring(identity.lastWrite);
}

std::optional<FileIdentity> IdentityFrom(const std::wstring& text) {
  FileIdentity identity;
  unsigned long long volume = 0;
  if (swscanf(text.c_str(), L"%llu:%llu:%llu:%llu", &volume, &identity.index, &identity.size,
              &identity.lastWrite) != 4) {
    return std::nullopt;
  }
  identity.volume = static_cast<DWORD>(volume);
  return identity;
}

// Deletes the file through the handle that was checked to be the file that ran.
void DeleteIfItRan(const std::string& path, const FileIdentity& ran, setup::InstallLog& log,
                   std::vector<std::string>& removed) {
  const win::FileHandle file(CreateFileA(path.c_str(), DELETE | FILE_READ_ATTRIBUTES |
                                                           FILE_WRITE_ATTRIBUTES,
                                         FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                         FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return;
    log.WriteAnsi("not removed: file " + Quoted(path) + " (system error " +
                  std::to_string(error) + "); it is deleted at the next restart");
    return;
  }
  if (IdentityOfOpened(file.get()) != ran) {
    log.WriteAnsi("kept: file " + Quoted(path) + " (not the uninstaller that ran)");
    return;
  }
  FILE_BASIC_INFO basic{};
  if (GetFileInformationByHandleEx(file.get(), FileBasicInfo, &basic, sizeof basic) &&
      (basic.FileAttributes & FILE_ATTRIBUTE_READONLY)) {
    basic.FileAttributes &= ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
    SetFileInformationByHandle(file.get(), FileBasicInfo, &basic, sizeof basic);
  }
  FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = TRUE;
  if (!SetFileInformationByHandle(file.get(), FileDispositionInfo, &disposition,
                                  sizeof disposition)) {
    log.WriteAnsi("not removed: file " + Quoted(path) + " (system error " +
                  std::to_string(GetLastError()) + "); it is deleted at the next restart");
    return;
  }
  log.WriteAnsi("removed: file " + Quoted(path));
  removed.push_back(path);
}

void RemoveFolderIfEmpty(const std::string& path, setup::InstallLog& log,
                         std::vector<std::string>& removed) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    log.WriteAnsi("kept: folder " + Quoted(path) + " (no longer the folder it was)");
    return;
  }
  if (!RemoveDirectoryA(path.c_str())) {
    const DWORD error = GetLastError();
    log.WriteAnsi(error == ERROR_DIR_NOT_EMPTY
                      ? "kept: folder " + Quoted(path) + " (not empty)"
                      : "not removed: folder " + Quoted(path) + " (system error " +
                            std::to_string(error) + ")");
    return;
  }
  log.WriteAnsi("removed: folder " + Quoted(path));
  removed.push_back(path);
}

}  // namespace

std::optional<FileIdentity> IdentityOf(const std::string& path) {
  const win::FileHandle file(CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                         nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT,
                                         nullptr));
  if (!file) return std::nullopt;
  return IdentityOfOpened(file.get());
}

bool StartSelfRemoval(const SelfRemoval& task, setup::InstallLog& log) {
  const std::wstring helper = CopyOfTheRunningProgram();
  if (helper.empty()) {
    log.Write(L"the helper could not be copied (system error " + std::to_wstring(GetLastError()) +
              L"): the uninstaller and its folders go at the next restart");
    return false;
  }
  HANDLE self = nullptr;
  DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &self,
                  SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, TRUE, 0);
  const win::KernelHandle process(self);
  const win::FileHandle logFile = log.ForChild();
  std::vector<HANDLE> inherited;
  if (process) inherited.push_back(process.get());
  if (logFile) inherited.push_back(logFile.get());

  std::wstring commandLine = L"\"" + helper + L"\" " + kHelperSwitch + L" " +
                             HandleText(process.get()) + L" " +
                             (logFile ? HandleText(logFile.get()) : L"0") + L" " +
                             IdentityText(task.identity) + L" \"" +
                             win::AnsiToWide(task.uninstaller) + L"\"";
  for (const std::string& folder : task.folders) {
    commandLine += L" \"" + win::AnsiToWide(folder) + L"\"";
  }
  const win::KernelHandle started =
      process ? StartWithHandles(helper, commandLine, inherited) : win::KernelHandle();
  if (!started) {
    log.Write(L"the helper could not be started (system error " +
              std::to_wstring(GetLastError()) +
              L"): the uninstaller and its folders go at the next restart");
    DeleteFileW(helper.c_str());
    return false;
  }
  // The copy cannot delete itself while it runs.
  MoveFileExW(helper.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  log.Write(L"the helper \"" + helper +
            L"\" removes the uninstaller and its folders when this process has ended");
  return true;
}

bool IsHelperCommandLine(std::wstring_view commandLine) {
  const std::vector<std::wstring> arguments = dt::SplitArguments(commandLine);
  return arguments.size() >= 2 && arguments[1] == kHelperSwitch;
}

int RunHelper(std::wstring_view commandLine) {
  // program, switch, process, log, identity, uninstaller, folders...
  const std::vector<std::wstring> arguments = dt::SplitArguments(commandLine);
  if (arguments.size() < 6) return 1;
  const HANDLE uninstaller = HandleFrom(arguments[2]);
  const auto identity = IdentityFrom(arguments[4]);
  if (!uninstaller || !identity) return 1;
  const win::KernelHandle process(uninstaller);
  const HANDLE logFile = HandleFrom(arguments[3]);
  setup::InstallLog log =
      setup::InstallLog::Continue(logFile ? win::FileHandle(logFile) : win::FileHandle());

  // Only as the helper the uninstaller started: the handle it passed is a process's.
  if (GetProcessId(process.get()) == 0 ||
      WaitForSingleObject(process.get(), INFINITE) != WAIT_OBJECT_0) {
    return 1;
  }
  const setup::SingleInstance instance;
  if (!instance.Held()) {
    log.Write(L"helper: an installation or uninstallation runs; the uninstaller and its folders "
              L"go at the next restart");
    return 0;
  }
  std::vector<std::string> removed;
  const std::string program = win::WideToAnsi(arguments[5]);
  DeleteIfItRan(program, *identity, log, removed);
  for (std::size_t i = 6; i < arguments.size(); ++i) {
    RemoveFolderIfEmpty(win::WideToAnsi(arguments[i]), log, removed);
  }
  // Their deletes at the next restart are no longer needed.
  setup::PendingRenames pending = setup::PendingRenames::Read();
  for (const std::string& path : removed) pending.AfterRemoval(path, log);
  log.Write(L"helper: done");
  return 0;
}

}  // namespace uninstall
