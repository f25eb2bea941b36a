#include "uninstall/ini_check.h"

#include <windows.h>

#include "core/product.h"
#include "win32/handles.h"

namespace uninstall {

bool IniIsEmpty(const std::string& ini) {
  const win::FileHandle file(CreateFileA(ini.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                         OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  LARGE_INTEGER size{};
  if (!file || !GetFileSizeEx(file.get(), &size) || size.QuadPart > 4096) return false;
  std::string text(static_cast<std::size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  if (!text.empty() && !ReadFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &read,
                                 nullptr)) {
    return false;
  }
  text.resize(read);
  // The lines are compared in lower case.
  std::string header = std::string("[") + product::kIniSection + "]";
  CharLowerBuffA(header.data(), static_cast<DWORD>(header.size()));
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) {
      line.pop_back();
    }
    CharLowerBuffA(line.data(), static_cast<DWORD>(line.size()));
    if (!line.empty() && line != header) return false;
    start = end + 1;
  }
  return true;
}

}  // namespace uninstall
