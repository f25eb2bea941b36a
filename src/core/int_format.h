// A small printf-like formatter for templates that take exactly one signed 32-bit integer. A
// template is data (the gauge's text is a property), so it is never handed to the C library.
//
// Syntax of a conversion: '%' [flags] [width] ['.' precision] [length] type
//   flags      '-' left-justify, '+' sign always, ' ' blank for a plus sign, '0' pad with zeros,
//              '#' alternate form (0x/0X before hex, a leading 0 in octal)
//   width      decimal digits (a '*' would take the one argument, leaving none for the value)
//   precision  decimal digits: the minimum number of digits (zero padding; '0' is then
//              ignored, and precision 0 prints nothing for the value 0)
//   length     'h', 'hh', 'l', 'll': accepted and ignored, the argument is 32-bit
//   type       'd' 'i' signed decimal; 'u' unsigned decimal, 'x' 'X' hexadecimal, 'o' octal (of
//              the argument's 32 bits)
// "%%" is one percent sign; every other character is copied. Widths and precisions above 1024
// are refused as invalid.
//
// Errors (std::runtime_error, the template put in for %s):
//   "No argument for format '%s'"                      a second conversion (the argument is used)
//   "Format '%s' invalid or incompatible with argument" any other type ('s', 'f', 'p', ...),
//                                                      or a conversion cut short
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace dt {

std::string FormatInteger(std::string_view format, std::int32_t argument);

}  // namespace dt
