#include "colors_arg.h"

#include <cstdint>
#include <stdexcept>
#include <utility>

namespace render {

tk::TColor ParseColor(const std::string& text) {
  static const std::pair<const char*, tk::TColor> kNames[] = {
      {"clBlack", tk::clBlack},
      {"clWhite", tk::clWhite},
      {"clBlue", tk::clBlue},
      {"clRed", tk::clRed},
      {"clWindowText", tk::clWindowText},
      {"clBtnFace", tk::clBtnFace},
      {"clBtnShadow", tk::clBtnShadow},
      {"clGrayText", tk::clGrayText},
      {"clBtnHighlight", tk::clBtnHighlight}};
  for (const auto& [name, color] : kNames) {
    if (text == name) return color;
  }
  std::size_t used = 0;
  long long value = 0;
  try {
    if (text.size() > 1 && text[0] == '$') {
      value = std::stoll(text.substr(1), &used, 16);
      ++used;
    } else if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
      value = std::stoll(text.substr(2), &used, 16);
      used += 2;
    } else {
      value = std::stoll(text, &used, 10);
    }
  } catch (const std::exception&) {
    used = 0;
  }
  if (used != text.size() || text.empty() || value < INT32_MIN || value > UINT32_MAX) {
    throw std::invalid_argument("not a colour: " + text);
  }
  return static_cast<tk::TColor>(static_cast<std::uint32_t>(value));
}

}  // namespace render
