#include "win32/wide_text.h"

#include <exception>

#include <windows.h>

namespace win {
namespace {

std::wstring ToWide(UINT codePage, std::string_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int n = MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), size, out.data(), n);
  return out;
}

std::string FromWide(UINT codePage, std::wstring_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int n = WideCharToMultiByte(codePage, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(codePage, 0, text.data(), size, out.data(), n, nullptr, nullptr);
  return out;
}

}  // namespace

std::wstring Utf8ToWide(std::string_view utf8) {
  return ToWide(CP_UTF8, utf8);
}
std::string WideToUtf8(std::wstring_view wide) {
  return FromWide(CP_UTF8, wide);
}
std::wstring AnsiToWide(std::string_view ansi) {
  return ToWide(CP_ACP, ansi);
}
std::string WideToAnsi(std::wstring_view wide) {
  return FromWide(CP_ACP, wide);
}
std::string Utf8ToAnsi(std::string_view utf8) {
  return WideToAnsi(Utf8ToWide(utf8));
}
std::optional<std::string> Utf8ToAnsiExact(std::string_view utf8) {
  const std::wstring wide = Utf8ToWide(utf8);
  std::string ansi = WideToAnsi(wide);
  if (AnsiToWide(ansi) != wide) return std::nullopt;
  return ansi;
}
std::string AnsiToUtf8(std::string_view ansi) {
  return WideToUtf8(AnsiToWide(ansi));
}

std::wstring CurrentExceptionText() {
  try {
    throw;
  } catch (const std::exception& e) {
    return Utf8ToWide(e.what());
  } catch (...) {
    return L"Unknown error";
  }
}

}  // namespace win
