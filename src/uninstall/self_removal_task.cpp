#include "uninstall/self_removal_task.h"

#include <cstdint>
#include <cwchar>

#include "core/command_line.h"
#include "win32/wide_text.h"

namespace uninstall {
namespace {

std::wstring HandleText(HANDLE handle) {
  return std::to_wstring(reinterpret_cast<std::uintptr_t>(handle));
}

HANDLE HandleFrom(const std::wstring& text) {
  wchar_t* end = nullptr;
  const unsigned long long value = std::wcstoull(text.c_str(), &end, 10);
  if (text.empty() || *end != L'\0' || value == 0) return nullptr;
  return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(value));
}

std::wstring FileIdText(const win::FileId& id) {
  return std::to_wstring(id.volume) + L":" + std::to_wstring(id.index);
}

std::optional<win::FileId> FileIdFrom(const std::wstring& text) {
  unsigned long long volume = 0, index = 0;
  if (swscanf(text.c_str(), L"%llu:%llu", &volume, &index) != 2) return std::nullopt;
  return win::FileId{static_cast<unsigned long>(volume), index};
}

std::wstring IdentityText(const FileIdentity& identity) {
  return FileIdText(identity.id) + L":" + std::to_wstring(identity.size) + L":" +
         std::to_wstring(identity.lastWrite);
}

std::optional<FileIdentity> IdentityFrom(const std::wstring& text) {
  FileIdentity identity;
  unsigned long long volume = 0;
  if (swscanf(text.c_str(), L"%llu:%llu:%llu:%llu", &volume, &identity.id.index, &identity.size,
              &identity.lastWrite) != 4) {
    return std::nullopt;
  }
  identity.id.volume = static_cast<unsigned long>(volume);
  return identity;
}

std::wstring Quoted(const std::string& path) {
  return L"\"" + win::AnsiToWide(path) + L"\"";
}

}  // namespace

std::wstring HelperCommandLine(const std::wstring& program, HANDLE process, HANDLE log,
                               const HelperTask& task) {
  std::wstring line = L"\"" + program + L"\" " + dt::kUninstallerSwitches.helperSwitch + L" " +
                      HandleText(process) + L" " + HandleText(log) + L" " +
                      IdentityText(task.identity) + L" " + Quoted(task.uninstaller);
  for (const HelperFolder& folder : task.folders) {
    line += L" " + FileIdText(folder.id) + L" " + Quoted(folder.path);
  }
  return line;
}

std::optional<HelperCall> HelperCallFrom(const std::vector<std::wstring>& arguments) {
  // process, log, identity, uninstaller, then each folder's id and path
  if (arguments.size() < 4) return std::nullopt;
  HelperCall call;
  call.process = HandleFrom(arguments[0]);
  const std::optional<FileIdentity> identity = IdentityFrom(arguments[2]);
  if (!call.process || !identity) return std::nullopt;
  call.log = HandleFrom(arguments[1]);
  call.task.uninstaller = win::WideToAnsi(arguments[3]);
  call.task.identity = *identity;
  for (std::size_t i = 4; i + 1 < arguments.size(); i += 2) {
    if (const std::optional<win::FileId> id = FileIdFrom(arguments[i])) {
      call.task.folders.push_back({win::WideToAnsi(arguments[i + 1]), *id});
    }
  }
  return call;
}

}  // namespace uninstall
