// The program's text rule. Its own texts are UTF-8 literals; everything shown goes through the
// wide-character API; paths, and everything written to disk, registry and INI files, are 8-bit
// texts in the ANSI code page. These are the only conversions between the three.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace win {

std::wstring Utf8ToWide(std::string_view utf8);
std::string WideToUtf8(std::wstring_view wide);
// Paths and other system texts in the ANSI code page, for showing.
std::wstring AnsiToWide(std::string_view ansi);
// For system calls that take ANSI texts; characters the code page cannot hold become '?'.
std::string WideToAnsi(std::wstring_view wide);
std::string Utf8ToAnsi(std::string_view utf8);
// The same only when the ANSI text names exactly what the UTF-8 one does (it converts back to the
// same characters): nothing for a character the code page lacks, which a plain conversion would
// replace or map to a look-alike (a fullwidth dot or colon to '.' or ':'). A path read from a file
// others may write is used only so.
std::optional<std::string> Utf8ToAnsiExact(std::string_view utf8);
std::string AnsiToUtf8(std::string_view ansi);

// The text of the exception being handled: std::exception::what() read as UTF-8, or
// "Unknown error". Call it only inside a catch block.
std::wstring CurrentExceptionText();

}  // namespace win
