// Conversions between UTF-8 and Windows code page 1251 (Cyrillic), the code page of the stored
// paths and of the installer's fixed Russian folder names. Portable: the packaging tool needs
// them on Linux too.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace dt {

// Nothing when the text is not valid UTF-8 or holds a character that code page 1251 cannot hold.
std::optional<std::string> Utf8ToCp1251(std::string_view utf8);

std::string Cp1251ToUtf8(std::string_view cp1251);

}  // namespace dt
