#include "base/pending_renames.h"

#include <windows.h>

#include <string_view>

#include "base/program_log.h"
#include "win32/files.h"
#include "win32/handles.h"
#include "win32/registry.h"
#include "win32/wide_text.h"

namespace base {
namespace {

constexpr wchar_t kSessionManagerKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
constexpr const wchar_t* kValueNames[] = {L"PendingFileRenameOperations",
                                          L"PendingFileRenameOperations2"};

bool StartsWith(std::wstring_view text, std::wstring_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

bool SamePath(std::wstring_view a, std::wstring_view b) {
  return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// True when `path` is `folder` itself or lies in it; then `rest` is what follows the folder.
bool InFolder(const std::wstring& path, const std::wstring& folder, std::wstring& rest) {
  if (folder.empty() || path.size() < folder.size() ||
      !SamePath(std::wstring_view(path).substr(0, folder.size()), folder)) {
    return false;
  }
  if (path.size() > folder.size() && path[folder.size()] != L'\\') return false;
  rest = path.substr(folder.size());
  return true;
}

// The DOS path of an entry: without the '!' of a destination that replaces, without "\??\",
// and "\??\UNC\server\share" as "\\server\share". A path without "\??\" is taken as it is.
std::wstring_view EntryPath(std::wstring_view entry) {
  if (!entry.empty() && entry.front() == L'!') entry.remove_prefix(1);
  if (StartsWith(entry, L"\\??\\")) entry.remove_prefix(4);
  return entry;
}

bool IsPath(std::wstring_view entry, const std::wstring& path) {
  const std::wstring_view dos = EntryPath(entry);
  if (StartsWith(dos, L"UNC\\")) {
    return StartsWith(path, L"\\\\") && SamePath(dos.substr(4), std::wstring_view(path).substr(2));
  }
  return SamePath(dos, path);
}

// The value's pairs as they will be written back: a last source without its destination becomes
// a delete, and empty pairs (padding after the list) are dropped.
std::vector<std::wstring> Pairs(const std::vector<std::wstring>& strings) {
  std::vector<std::wstring> pairs;
  for (std::size_t i = 0; i < strings.size(); i += 2) {
    const std::wstring destination = i + 1 < strings.size() ? strings[i + 1] : std::wstring();
    if (strings[i].empty() && destination.empty()) continue;
    pairs.push_back(strings[i]);
    pairs.push_back(destination);
  }
  return pairs;
}

bool IsDeleteOf(const std::vector<std::wstring>& pairs, std::size_t i, const std::wstring& path) {
  return pairs[i + 1].empty() && IsPath(pairs[i], path);
}

std::wstring Quoted(std::wstring_view text) {
  return L"\"" + std::wstring(text) + L"\"";
}

}  // namespace

PendingRenames PendingRenames::Read() {
  PendingRenames pending;
  HKEY opened = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManagerKey, 0, KEY_QUERY_VALUE, &opened) !=
      ERROR_SUCCESS) {
    return pending;
  }
  const win::RegKey key(opened);
  for (const wchar_t* name : kValueNames) {
    const auto strings = win::ReadMultiStringValue(key.get(), name);
    if (!strings) continue;
    std::vector<std::wstring> pairs = Pairs(*strings);
    if (!pairs.empty()) pending.values_.push_back({name, std::move(pairs)});
  }
  return pending;
}

void PendingRenames::BeforeWrite(const std::string& target, ProgramLog& log) {
  if (values_.empty()) return;
  const std::wstring path = PathAsTheSystemActsOnIt(target);
  const std::wstring shown = Quoted(win::AnsiToWide(target));
  for (Value& value : values_) {
    const std::wstring where = L" (" + value.name + L")";
    bool deletePending = false;
    for (std::size_t i = 0; i < value.strings.size(); i += 2) {
      const std::wstring& source = value.strings[i];
      const std::wstring& destination = value.strings[i + 1];
      if (destination.empty()) {
        deletePending = deletePending || IsPath(source, path);
      } else if (IsPath(destination, path)) {
        log.Write(L"warning: a rename at restart will replace " + shown + L" with " +
                  Quoted(EntryPath(source)) + where);
      } else if (IsPath(source, path)) {
        log.Write(L"warning: a rename at restart will move " + shown + L" to " +
                  Quoted(EntryPath(destination)) + where);
      }
    }
    if (!deletePending) continue;

    // Read the value again right before writing it back: entries added since are kept.
    HKEY opened = nullptr;
    LONG result = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManagerKey, 0,
                                KEY_QUERY_VALUE | KEY_SET_VALUE, &opened);
    if (result != ERROR_SUCCESS) {
      log.Write(L"pending delete at restart not removed (system error " +
                std::to_wstring(result) + L"): " + shown + where);
      continue;
    }
    const win::RegKey key(opened);
    const std::vector<std::wstring> now =
        Pairs(win::ReadMultiStringValue(key.get(), value.name).value_or(
            std::vector<std::wstring>()));
    std::vector<std::wstring> kept;
    for (std::size_t i = 0; i < now.size(); i += 2) {
      if (IsDeleteOf(now, i, path)) continue;
      kept.push_back(now[i]);
      kept.push_back(now[i + 1]);
    }
    if (kept.size() == now.size()) {  // gone meanwhile
      value.strings = now;
      continue;
    }
    result = kept.empty() ? RegDeleteValueW(key.get(), value.name.c_str())
                          : win::WriteMultiStringValue(key.get(), value.name, kept);
    if (result != ERROR_SUCCESS) {
      log.Write(L"pending delete at restart not removed (system error " +
                std::to_wstring(result) + L"): " + shown + where);
      value.strings = now;
      continue;
    }
    log.Write(L"pending delete at restart removed: " + shown + where);
    value.strings = std::move(kept);
  }
  std::erase_if(values_, [](const Value& value) { return value.strings.empty(); });
}

std::wstring PathAsTheSystemActsOnIt(const std::string& path) {
  const std::wstring wide = win::AnsiToWide(path);
  std::wstring full = win::FullPath(wide).value_or(wide);
  BOOL wow64 = FALSE;
  if (sizeof(void*) != 4 || !IsWow64Process(GetCurrentProcess(), &wow64) || !wow64) return full;

  wchar_t buffer[MAX_PATH + 1];
  UINT n = GetSystemDirectoryW(buffer, MAX_PATH + 1);
  const std::wstring system = n > 0 && n <= MAX_PATH ? std::wstring(buffer, n) : std::wstring();
  n = GetSystemWow64DirectoryW(buffer, MAX_PATH + 1);
  const std::wstring wow64System =
      n > 0 && n <= MAX_PATH ? std::wstring(buffer, n) : std::wstring();
  n = GetSystemWindowsDirectoryW(buffer, MAX_PATH + 1);
  const std::wstring windows = n > 0 && n <= MAX_PATH ? std::wstring(buffer, n) : std::wstring();
  if (system.empty() || wow64System.empty()) return full;

  std::wstring rest;
  if (InFolder(full, system, rest)) return wow64System + rest;
  // Sysnative: the 64-bit system folder, as a 32-bit program names it.
  if (!windows.empty() && InFolder(full, windows + L"\\Sysnative", rest)) return system + rest;
  return full;
}

}  // namespace base
