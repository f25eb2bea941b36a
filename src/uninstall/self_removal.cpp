#include "uninstall/self_removal.h"

#include <cwchar>

#include "core/command_line.h"
#include "core/product.h"
#include "base/single_instance.h"
#include "base/pending_renames.h"
#include "win32/files.h"
#include "win32/handles.h"
#include "win32/security.h"
#include "win32/wide_text.h"

namespace uninstall {
namespace {

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

// A folder opened as itself (not through a link in its last place), with the access asked for.
win::FileHandle OpenFolder(const std::string& path, DWORD access) {
  return win::FileHandle(CreateFileA(path.c_str(), access,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING,
                                     FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                     nullptr));
}

std::wstring FileIdText(const win::FileId& id) {
  return std::to_wstring(id.volume) + L":" + std::to_wstring(id.index);
}

std::optional<win::FileId> FileIdFrom(const std::wstring& text) {
  unsigned long long volume = 0, index = 0;
  if (swscanf(text.c_str(), L"%llu:%llu", &volume, &index) != 2) return std::nullopt;
  return win::FileId{static_cast<unsigned long>(volume), index};
}

// The running program copied into a new folder of the temporary folder that only
// Administrators and SYSTEM may change: the user's own temporary folder is open to the user's
// unelevated programs, which could otherwise swap the copy, or plant a DLL beside it, before it
// runs elevated. Empty when none could be made; a name already taken is never used.
struct HelperCopy {
  std::wstring folder;
  std::wstring program;
};
HelperCopy CopyOfTheRunningProgram() {
  const std::wstring self = win::AnsiToWide(win::ProgramFilePath().value_or(std::string()));
  const std::wstring temp = Folder(TempFolder);
  // Full access for Administrators (BA) and SYSTEM (SY), passed on to what is made inside,
  // nothing inherited from above.
  const win::LocalMemory descriptor =
      win::SecurityDescriptor(L"D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)");
  if (self.empty() || temp.empty() || !descriptor.get()) return {};
  SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.get(), FALSE};
  for (int number = 1; number <= 99; ++number) {
    wchar_t name[64];
    swprintf(name, 64, L"Uninstall helper %lu-%d", GetCurrentProcessId(), number);
    const std::wstring folder = temp + name;
    if (!CreateDirectoryW(folder.c_str(), &attributes)) {
      if (GetLastError() == ERROR_ALREADY_EXISTS) continue;
      return {};
    }
    const std::wstring program = folder + L"\\" + product::kUninstallerW;
    if (CopyFileW(self.c_str(), program.c_str(), /*failIfExists=*/TRUE)) return {folder, program};
    const DWORD error = GetLastError();
    RemoveDirectoryW(folder.c_str());
    SetLastError(error);
    return {};
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
// settled: the paths whose restart entries are no longer wanted (removed, or another file now).
void DeleteIfItRan(const std::string& path, const FileIdentity& ran, base::ProgramLog& log,
                   std::vector<std::string>& settled) {
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
    settled.push_back(path);  // nor may the restart delete what is there now
    return;
  }
  if (const unsigned long error = win::DeleteOpened(file.get())) {
    log.WriteAnsi("not removed: file " + Quoted(path) + " (system error " +
                  std::to_string(error) + "); it is deleted at the next restart");
    return;
  }
  log.WriteAnsi("removed: file " + Quoted(path));
  settled.push_back(path);
}

// Removes the folder when it is still the one the uninstaller named (the same volume and index,
// whatever names lead to it now) and empty; deleted through the handle it checked.
void RemoveFolderIfEmpty(const std::string& path, const win::FileId& id, base::ProgramLog& log,
                         std::vector<std::string>& settled) {
  win::FileHandle folder = OpenFolder(path, DELETE | FILE_READ_ATTRIBUTES);
  if (!folder) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return;
    log.WriteAnsi("not removed: folder " + Quoted(path) + " (system error " +
                  std::to_string(error) + ")");
    return;
  }
  FILE_BASIC_INFO basic{};
  if (!GetFileInformationByHandleEx(folder.get(), FileBasicInfo, &basic, sizeof basic) ||
      !(basic.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
      (basic.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || win::FileIdOf(folder.get()) != id) {
    log.WriteAnsi("kept: folder " + Quoted(path) + " (no longer the folder it was)");
    settled.push_back(path);  // nor may the restart remove what is there now
    return;
  }
  const unsigned long error = win::DeleteOpened(folder.get());
  folder.reset();
  if (error == 0 && !win::DirectoryExistsQuiet(path)) {
    log.WriteAnsi("removed: folder " + Quoted(path));
    settled.push_back(path);
  } else if (error == 0 || error == ERROR_DIR_NOT_EMPTY) {
    log.WriteAnsi("kept: folder " + Quoted(path) + " (not empty)");
  } else {
    log.WriteAnsi("not removed: folder " + Quoted(path) + " (system error " +
                  std::to_string(error) + ")");
  }
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

bool StartSelfRemoval(const SelfRemoval& task, base::ProgramLog& log) {
  const HelperCopy copy = CopyOfTheRunningProgram();
  const std::wstring& helper = copy.program;
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

  std::wstring commandLine = L"\"" + helper + L"\" " + dt::kUninstallerSwitches.helperSwitch + L" " +
                             HandleText(process.get()) + L" " +
                             (logFile ? HandleText(logFile.get()) : L"0") + L" " +
                             IdentityText(task.identity) + L" \"" +
                             win::AnsiToWide(task.uninstaller) + L"\"";
  for (const std::string& folder : task.folders) {
    // The folder as it is now: the helper removes it only if it is still this one.
    const win::FileHandle opened = OpenFolder(folder, FILE_READ_ATTRIBUTES);
    const std::optional<win::FileId> id = opened ? win::FileIdOf(opened.get()) : std::nullopt;
    if (!id) continue;  // left to the restart
    commandLine += L" " + FileIdText(*id) + L" \"" + win::AnsiToWide(folder) + L"\"";
  }
  const win::KernelHandle started =
      process ? StartWithHandles(helper, commandLine, inherited) : win::KernelHandle();
  if (!started) {
    log.Write(L"the helper could not be started (system error " +
              std::to_wstring(GetLastError()) +
              L"): the uninstaller and its folders go at the next restart");
    DeleteFileW(helper.c_str());
    RemoveDirectoryW(copy.folder.c_str());
    return false;
  }
  // The copy cannot delete itself while it runs: it and its folder go at the next restart.
  MoveFileExW(helper.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  MoveFileExW(copy.folder.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  log.Write(L"the helper \"" + helper +
            L"\" removes the uninstaller and its folders when this process has ended");
  return true;
}

int RunHelper(const std::vector<std::wstring>& arguments) {
  // process, log, identity, uninstaller, then each folder's id and path
  if (arguments.size() < 4) return 1;
  const HANDLE uninstaller = HandleFrom(arguments[0]);
  const auto identity = IdentityFrom(arguments[2]);
  if (!uninstaller || !identity) return 1;
  const win::KernelHandle process(uninstaller);
  const HANDLE logFile = HandleFrom(arguments[1]);
  base::ProgramLog log =
      base::ProgramLog::Continue(logFile ? win::FileHandle(logFile) : win::FileHandle());

  // Only as the helper the uninstaller started: the handle it passed is a process's.
  if (GetProcessId(process.get()) == 0 ||
      WaitForSingleObject(process.get(), INFINITE) != WAIT_OBJECT_0) {
    return 1;
  }
  const base::SingleInstance instance;
  if (!instance.Held()) {
    log.Write(L"helper: an installation or uninstallation runs; the uninstaller and its folders "
              L"go at the next restart");
    return 0;
  }
  std::vector<std::string> settled;
  DeleteIfItRan(win::WideToAnsi(arguments[3]), *identity, log, settled);
  for (std::size_t i = 4; i + 1 < arguments.size(); i += 2) {
    if (const auto id = FileIdFrom(arguments[i])) {
      RemoveFolderIfEmpty(win::WideToAnsi(arguments[i + 1]), *id, log, settled);
    }
  }
  // Their deletes at the next restart are no longer wanted.
  base::PendingRenames pending = base::PendingRenames::Read();
  for (const std::string& path : settled) pending.AfterRemoval(path, log);
  log.Write(L"helper: done");
  return 0;
}

}  // namespace uninstall
