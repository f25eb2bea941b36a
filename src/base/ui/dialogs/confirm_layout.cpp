#include "base/ui/dialogs/confirm_layout.h"

#include <algorithm>

namespace base {
namespace {

constexpr int kIconSize = 32;

// a x unit / b, rounded to the nearest pixel.
int Scale(int a, int unit, int b) {
  return MulDiv(a, unit, b);
}

SIZE MeasureText(HDC dc, const std::wstring& text, UINT format, int width) {
  RECT rect{0, 0, width, 0};
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rect, format | DT_CALCRECT);
  return {rect.right - rect.left, rect.bottom - rect.top};
}

}  // namespace

DialogUnits MeasureDialogUnits(HDC dc) {
  static constexpr wchar_t kLetters[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  SIZE extent{};
  GetTextExtentPoint32W(dc, kLetters, 52, &extent);
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  return {extent.cx / 52, metrics.tmHeight};
}

ConfirmMeasures MeasureConfirm(HDC dc, const std::wstring& text,
                               const std::vector<std::wstring>& captions, int wrapWidth) {
  ConfirmMeasures measures;
  measures.units = MeasureDialogUnits(dc);
  measures.text = MeasureText(dc, text, DT_EXPANDTABS | DT_WORDBREAK, wrapWidth);
  for (const auto& caption : captions)
    measures.captionWidths.push_back(MeasureText(dc, caption, DT_LEFT | DT_SINGLELINE, 0).cx);
  return measures;
}

ConfirmLayout LayoutConfirm(const ConfirmMeasures& measures) {
  const DialogUnits units = measures.units;
  ConfirmLayout layout;
  layout.horzMargin = Scale(8, units.x, 4);
  layout.vertMargin = Scale(8, units.y, 8);
  layout.iconGap = Scale(10, units.x, 4);
  layout.textGap = Scale(10, units.y, 8);
  layout.buttonHeight = Scale(14, units.y, 8);
  layout.buttonGap = Scale(4, units.x, 4);
  layout.buttonWidth = Scale(50, units.x, 4);
  for (int width : measures.captionWidths)
    layout.buttonWidth = std::max(layout.buttonWidth, width + 8);

  const int iconTextWidth = measures.text.cx + kIconSize + layout.iconGap;
  const int iconTextHeight = std::max<int>(measures.text.cy, kIconSize);
  const int count = static_cast<int>(measures.captionWidths.size());
  const int rowWidth = count == 0 ? 0 : count * layout.buttonWidth + (count - 1) * layout.buttonGap;

  layout.client.cx = std::max(iconTextWidth, rowWidth) + 2 * layout.horzMargin;
  layout.client.cy = iconTextHeight + layout.buttonHeight + layout.textGap + 2 * layout.vertMargin;

  layout.icon = {layout.horzMargin, layout.vertMargin, layout.horzMargin + kIconSize,
                 layout.vertMargin + kIconSize};
  const int textLeft = layout.horzMargin + kIconSize + layout.iconGap;
  layout.text = {textLeft, layout.vertMargin, textLeft + measures.text.cx,
                 layout.vertMargin + measures.text.cy};

  const int top = iconTextHeight + layout.vertMargin + layout.textGap;
  int left = (layout.client.cx - rowWidth) / 2;
  for (int i = 0; i < count; ++i) {
    layout.buttons.push_back({left, top, left + layout.buttonWidth, top + layout.buttonHeight});
    left += layout.buttonWidth + layout.buttonGap;
  }
  return layout;
}

}  // namespace base
