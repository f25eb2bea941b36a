#include "base/shared_files.h"

#include <cstdint>
#include <cstring>
#include <limits>

#include "win32/handles.h"
#include "win32/registry.h"

namespace base {
namespace {

// A count as stored: its type decides how the new count is written back.
struct StoredCount {
  DWORD type;  // REG_DWORD, REG_SZ or REG_BINARY
  DWORD count;
};

// A decimal number of 32 bits and nothing else, or nothing.
std::optional<DWORD> ParseDecimal(const std::string& text) {
  if (text.empty() || text.size() > 10) return std::nullopt;
  std::uint64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value > std::numeric_limits<DWORD>::max()) return std::nullopt;
  return static_cast<DWORD>(value);
}

std::optional<StoredCount> UsableCount(const win::RawValue& value) {
  if ((value.type == REG_DWORD || value.type == REG_BINARY) && value.data.size() == 4) {
    const DWORD count = static_cast<DWORD>(value.data[0]) | static_cast<DWORD>(value.data[1]) << 8 |
                        static_cast<DWORD>(value.data[2]) << 16 |
                        static_cast<DWORD>(value.data[3]) << 24;
    return StoredCount{value.type, count};
  }
  if (value.type == REG_SZ) {
    const char* text = reinterpret_cast<const char*>(value.data.data());
    const auto count = ParseDecimal(std::string(text, strnlen(text, value.data.size())));
    if (count) return StoredCount{REG_SZ, *count};
  }
  return std::nullopt;
}

std::string BeforeText(const StoredCount& stored) {
  const char* type = stored.type == REG_DWORD ? "dword:" : stored.type == REG_SZ ? "sz:" : "binary:";
  return type + std::to_string(stored.count);
}

LONG WriteCount(HKEY key, const std::string& name, DWORD type, DWORD count) {
  if (type == REG_SZ) {
    const std::string text = std::to_string(count);
    return win::WriteRawValue(key, name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
  }
  const BYTE bytes[4] = {static_cast<BYTE>(count), static_cast<BYTE>(count >> 8),
                         static_cast<BYTE>(count >> 16), static_cast<BYTE>(count >> 24)};
  return win::WriteRawValue(key, name, type, bytes, sizeof bytes);
}

std::optional<std::string> Failed(LONG result, DWORD* error) {
  if (error) *error = static_cast<DWORD>(result);
  return std::nullopt;
}

}  // namespace

std::optional<std::string> AddSharedUse(const std::string& fullPath, bool existedBefore,
                                        DWORD* error) {
  const win::RegKey key =
      win::OpenKey(HKEY_LOCAL_MACHINE, kSharedDllsKey, /*create=*/true, ProgramRegistryView());
  if (!key) return Failed(static_cast<LONG>(GetLastError()), error);

  win::RawValue value;
  const LONG read = win::ReadRawValue(key.get(), fullPath, value);
  if (read != ERROR_SUCCESS && read != ERROR_FILE_NOT_FOUND) return Failed(read, error);

  std::string before;
  StoredCount next{REG_DWORD, existedBefore ? 2u : 1u};
  if (read == ERROR_FILE_NOT_FOUND) {
    before = "none";
  } else if (const auto stored = UsableCount(value)) {
    before = BeforeText(*stored);
    next = {stored->type, stored->count == std::numeric_limits<DWORD>::max() ? stored->count
                                                                             : stored->count + 1};
  } else {
    before = "other";
  }
  const LONG written = WriteCount(key.get(), fullPath, next.type, next.count);
  if (written != ERROR_SUCCESS) return Failed(written, error);
  return before;
}

CountReturn ReturnSharedUses(const std::string& fullPath, int uses,
                             const std::function<bool()>& beforeChange) {
  const win::RegKey key =
      win::OpenKey(HKEY_LOCAL_MACHINE, kSharedDllsKey, /*create=*/false, ProgramRegistryView());
  if (!key) return CountReturn::kUnusable;
  win::RawValue value;
  if (win::ReadRawValue(key.get(), fullPath, value) != ERROR_SUCCESS) return CountReturn::kUnusable;
  const auto stored = UsableCount(value);
  if (!stored || stored->count == 0) return CountReturn::kUnusable;
  if (beforeChange && !beforeChange()) return CountReturn::kFailed;
  if (stored->count <= static_cast<DWORD>(uses)) {
    return RegDeleteValueA(key.get(), fullPath.c_str()) == ERROR_SUCCESS ? CountReturn::kReleased
                                                                         : CountReturn::kFailed;
  }
  return WriteCount(key.get(), fullPath, stored->type, stored->count - static_cast<DWORD>(uses)) ==
                 ERROR_SUCCESS
             ? CountReturn::kLowered
             : CountReturn::kFailed;
}

}  // namespace base
