// How the wizard's layout follows the screen's pixels per inch. The layout is designed at 96
// pixels per inch, where the window font (Tahoma, 11-pixel characters) is 13 pixels high. At any
// other setting the window font's height is scaled by the pixels per inch over 96; then every
// position and size, the client area included, and every font that a control has of its own, by
// the resulting font's measured text height over 13.
#pragma once

#include <windows.h>

namespace base {

struct LayoutScale {
  int pixelsPerInch = 96;
  // Character height of the window font in pixels, after scaling.
  int windowFontHeight = 11;
  // Layout values are multiplied by multiplier / divisor (MulDiv: halves away from zero).
  int multiplier = 1;
  int divisor = 1;

  int operator()(int value) const { return MulDiv(value, multiplier, divisor); }
};

// The scale for the given pixels per inch; measureTextHeight gives the text height of Tahoma at
// a character height in pixels.
template <typename Measure>
LayoutScale MakeLayoutScale(int pixelsPerInch, Measure measureTextHeight) {
  LayoutScale scale;
  scale.pixelsPerInch = pixelsPerInch;
  if (pixelsPerInch == 96 || pixelsPerInch <= 0) return scale;
  scale.windowFontHeight = MulDiv(11, pixelsPerInch, 96);
  const int textHeight = measureTextHeight(scale.windowFontHeight);
  if (textHeight > 0) {  // a font that cannot be measured leaves the layout as designed
    scale.multiplier = textHeight;
    scale.divisor = 13;
  }
  return scale;
}

// The scale for this screen: its vertical pixels per inch and Tahoma measured on it.
LayoutScale ScreenLayoutScale();

// The height of "0" in a Tahoma font of the given character height, regular, on the screen.
int MeasureTahomaTextHeight(int characterHeight);

}  // namespace base
