// rand_s, the system's random numbers, is declared only on request.
#define _CRT_RAND_S
#include <stdlib.h>

#include "uninstall/admin_folder.h"

#include <windows.h>

#include <cwchar>

#include "win32/handles.h"
#include "win32/security.h"

namespace uninstall {

std::wstring SystemTempFolder() {
  wchar_t path[MAX_PATH + 1];
  const UINT n = GetSystemWindowsDirectoryW(path, MAX_PATH + 1);
  if (n == 0 || n > MAX_PATH) return {};
  return std::wstring(path, n) + L"\\Temp\\";
}

std::wstring NewAdminOnlyFolder(const std::wstring& prefix) {
  const std::wstring temp = SystemTempFolder();
  // Full access for Administrators (BA) and SYSTEM (SY), passed on to what is made inside,
  // nothing inherited from above.
  const win::LocalMemory descriptor =
      win::SecurityDescriptor(L"D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)");
  if (temp.empty() || !descriptor.get()) return {};
  SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.get(), FALSE};
  for (int attempt = 1; attempt <= 16; ++attempt) {
    unsigned int high = 0, low = 0;
    if (rand_s(&high) != 0 || rand_s(&low) != 0) return {};
    wchar_t random[32];
    swprintf(random, 32, L"%08x%08x", high, low);
    const std::wstring folder = temp + prefix + random;
    if (CreateDirectoryW(folder.c_str(), &attributes)) return folder;
    if (GetLastError() != ERROR_ALREADY_EXISTS) return {};
  }
  SetLastError(ERROR_ALREADY_EXISTS);
  return {};
}

}  // namespace uninstall
