// The question dialog's geometry, worked out from the message font's units. The measuring needs a
// DC; the arithmetic does not, so tests can check the one against the other.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace base {

// The font's units: X is the average width of the 52 letters A-Z and a-z (rounded down), Y the
// font's character height.
struct DialogUnits {
  int x = 0;
  int y = 0;
};

// What is measured with the dialog's font selected.
struct ConfirmMeasures {
  DialogUnits units;
  SIZE text{};                     // the message word-wrapped at half the screen width
  std::vector<int> captionWidths;  // each button caption on one line, access-key '&' removed
};

struct ConfirmLayout {
  int horzMargin = 0, vertMargin = 0;
  int iconGap = 0, textGap = 0;
  int buttonWidth = 0, buttonHeight = 0, buttonGap = 0;
  RECT icon{};                // 32 x 32
  RECT text{};                // the word-wrapping label
  std::vector<RECT> buttons;  // one row, left to right
  SIZE client{};
};

DialogUnits MeasureDialogUnits(HDC dc);
// Measures the message and the captions with the font selected in `dc`; the message wraps at
// `wrapWidth` pixels, tabs expanded, '&' taken as an access-key prefix.
ConfirmMeasures MeasureConfirm(HDC dc, const std::wstring& text,
                               const std::vector<std::wstring>& captions, int wrapWidth);
ConfirmLayout LayoutConfirm(const ConfirmMeasures& measures);

}  // namespace base
