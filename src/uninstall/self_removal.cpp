#include "uninstall/self_removal.h"

#include <cwchar>
#include <vector>

#include "core/product.h"
#include "uninstall/admin_folder.h"
#include "uninstall/self_removal_helper.h"
#include "uninstall/self_removal_task.h"
#include "win32/files.h"
#include "win32/handles.h"
#include "win32/wide_text.h"

namespace uninstall {
namespace {

std::wstring Folder(UINT (*get)(LPWSTR, UINT)) {
  wchar_t path[MAX_PATH + 1];
  const UINT n = get(path, MAX_PATH + 1);
  return n > 0 && n <= MAX_PATH ? std::wstring(path, n) : std::wstring();
}
UINT SystemFolder(LPWSTR buffer, UINT size) {
  return GetSystemDirectoryW(buffer, size);
}

// The running program copied into a new folder, named at random, of the system's temporary
// folder, that only Administrators and SYSTEM may change: the user's own temporary folder is open
// to the user's unelevated programs, which could rename the new folder and put one of their own,
// with their program or DLLs, at its name before the copy runs elevated. Empty when none could be
// made; a name already taken is never used. The bytes copied are read through a handle checked to
// reach the file that ran: its folder may be open to the user, who could have put another
// program at its name meanwhile.
struct HelperCopy {
  std::wstring folder;
  std::wstring program;
};
// Copies the open file from its start into a file made anew at `to`; false (GetLastError set)
// when that fails, and then nothing of it is left.
bool CopyOpened(HANDLE from, const std::wstring& to) {
  const win::FileHandle out(CreateFileW(to.c_str(), GENERIC_WRITE | DELETE, 0, nullptr,
                                        CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT,
                                        nullptr));
  if (!out) return false;
  std::vector<char> buffer(1 << 16);
  for (;;) {
    DWORD read = 0, written = 0;
    if (!ReadFile(from, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr) ||
        (read > 0 && (!WriteFile(out.get(), buffer.data(), read, &written, nullptr) ||
                      written != read))) {
      const DWORD error = GetLastError() ? GetLastError() : ERROR_WRITE_FAULT;
      win::DeleteOpened(out.get());
      SetLastError(error);
      return false;
    }
    if (read == 0) return true;
  }
}

HelperCopy CopyOfTheRunningProgram(const FileIdentity& ran) {
  const std::wstring self = win::AnsiToWide(win::ProgramFilePath().value_or(std::string()));
  const win::FileHandle running(CreateFileW(self.c_str(), GENERIC_READ,
                                            FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                            OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!running) return {};
  if (IdentityOfOpened(running.get()) != ran) {
    SetLastError(ERROR_FILE_INVALID);  // another file at the uninstaller's name
    return {};
  }
  const std::wstring folder = NewAdminOnlyFolder(L"Uninstall helper ");
  if (folder.empty()) return {};
  const std::wstring program = folder + L"\\" + product::kUninstallerW;
  if (CopyOpened(running.get(), program)) return {folder, program};
  const DWORD error = GetLastError();
  RemoveDirectoryW(folder.c_str());
  SetLastError(error);
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

}  // namespace

std::optional<FileIdentity> IdentityOfOpened(void* file) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file, &info) ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))) {
    return std::nullopt;
  }
  FileIdentity identity;
  identity.id = {info.dwVolumeSerialNumber,
                 (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
  identity.size = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
  identity.lastWrite = (std::uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32) |
                       info.ftLastWriteTime.dwLowDateTime;
  return identity;
}

std::optional<FileIdentity> IdentityOf(const std::string& path) {
  const win::FileHandle file(CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                         nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT,
                                         nullptr));
  if (!file) return std::nullopt;
  return IdentityOfOpened(file.get());
}

bool StartSelfRemoval(const SelfRemoval& task, base::ProgramLog& log) {
  const HelperCopy copy = CopyOfTheRunningProgram(task.identity);
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

  const std::wstring commandLine = HelperCommandLine(
      helper, process.get(), logFile ? logFile.get() : nullptr, TaskFor(task));
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
  const std::optional<HelperCall> call = HelperCallFrom(arguments);
  if (!call) return 1;
  const win::KernelHandle process(call->process);
  base::ProgramLog log =
      base::ProgramLog::Continue(call->log ? win::FileHandle(call->log) : win::FileHandle());

  // Only as the helper the uninstaller started: the handle it passed is a process's.
  if (GetProcessId(process.get()) == 0 ||
      WaitForSingleObject(process.get(), INFINITE) != WAIT_OBJECT_0) {
    return 1;
  }
  HelperSystem system;
  FinishSelfRemoval(call->task, system, log);
  return 0;
}

}  // namespace uninstall
