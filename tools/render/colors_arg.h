// Colour values on the render command's line: a name (clWhite, clBtnFace, ...), a hexadecimal
// value with '$' or "0x" ($FF8080 is red 128, green 128, blue 255), or a decimal one (the form a
// form description uses, negative for system colours).
#pragma once

#include <string>

#include "toolkit/colors.h"

namespace render {

// Throws std::invalid_argument for anything else.
tk::TColor ParseColor(const std::string& text);

}  // namespace render
