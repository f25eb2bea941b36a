// Colour values of the toolkit. An ordinary colour is $00BBGGRR (red in the lowest byte); a value
// whose high byte is $FF names a Windows system colour by the index in its low byte and is
// resolved to the current system colour only when something is drawn with it.
#pragma once

#include <windows.h>

#include <cstdint>

namespace tk {

using TColor = std::int32_t;

constexpr TColor clBlack = 0x000000;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clRed = 0x0000FF;
// System colours: $FF0000nn with nn the GetSysColor index.
constexpr TColor clWindowText = static_cast<TColor>(0xFF000008);
constexpr TColor clBtnFace = static_cast<TColor>(0xFF00000F);
constexpr TColor clBtnShadow = static_cast<TColor>(0xFF000010);
constexpr TColor clGrayText = static_cast<TColor>(0xFF000011);
constexpr TColor clBtnHighlight = static_cast<TColor>(0xFF000014);

// An ordinary colour from its three channels.
constexpr TColor RGBColor(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  return static_cast<TColor>(red | (green << 8) | (blue << 16));
}

constexpr bool IsSystemColor(TColor color) {
  return (static_cast<std::uint32_t>(color) >> 24) == 0xFF;
}

// The colour to hand to GDI: a system colour is looked up now (GetSysColor of its low byte); any
// other value keeps its three low bytes.
COLORREF ColorToRGB(TColor color);

}  // namespace tk
