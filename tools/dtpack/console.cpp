#include "console.h"

#include "core/cp1251.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace dtpack {

std::string ShowPath(const std::filesystem::path& path) {
  const auto u8 = path.u8string();
  return std::string(u8.begin(), u8.end());
}

#ifdef _WIN32
std::string ShowStored(std::string_view stored) {
  return std::string(stored);
}
bool IsTerminal(std::FILE* stream) {
  return _isatty(_fileno(stream)) != 0;
}
#else
std::string ShowStored(std::string_view stored) {
  return dt::Cp1251ToUtf8(stored);
}
bool IsTerminal(std::FILE* stream) {
  return isatty(fileno(stream)) != 0;
}
#endif

}  // namespace dtpack
