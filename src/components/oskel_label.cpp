#include "components/oskel_label.h"

namespace components {

TOskelLabel::TOskelLabel() {
  // Transparent by default, whatever the base label would choose.
  SetOpaque(false);
  SetBounds(Left(), Top(), 50, 17);
}

TOskelLabel::~TOskelLabel() = default;

void TOskelLabel::SetBorderColor(tk::TColor color) {
  if (color == borderColor_) return;
  borderColor_ = color;
  Invalidate();
}

void TOskelLabel::SetBorderWidth(std::uint8_t width) {
  if (width == borderWidth_) return;
  borderWidth_ = width;
  Invalidate();
}

void TOskelLabel::SetTextStyle(TTextStyle style) {
  if (style == textStyle_) return;
  textStyle_ = style;
  Invalidate();
}

void TOskelLabel::SetShadowColor(tk::TColor color) {
  if (color == shadowColor_) return;
  shadowColor_ = color;
  Invalidate();
}

void TOskelLabel::SetShadowWidth(std::uint8_t width) {
  if (width >= 10 || width == shadowWidth_) return;
  shadowWidth_ = width;
  Invalidate();
}

void TOskelLabel::CaptionChanged() {
  // Unlike the base label, a new caption never refits the label's size.
  Invalidate();
}

void TOskelLabel::Paint(HDC dc) {
  const int width = Width();
  const int height = Height();
  if (!Transparent()) {
    win::Brush brush(CreateSolidBrush(tk::ColorToRGB(Color())));
    const RECT client{0, 0, width, height};
    FillRect(dc, &client, brush.get());
  }
  SetBkMode(dc, TRANSPARENT);
  // The text rectangle is the label's area moved one pixel to the right.
  const RECT text{1, 0, width + 1, height};
  const UINT flags = DrawTextFlags();
  win::SelectGuard font(dc, FontHandle());
  const auto pass = [&](int dx, int dy, tk::TColor color) {
    RECT moved = text;
    OffsetRect(&moved, dx, dy);
    DrawCaption(dc, moved, flags, color);
  };

  if (Enabled()) {
    switch (textStyle_) {
      case tsNone:
        break;
      case tsRaised:
        pass(1, 1, tk::clBtnShadow);
        pass(-1, -1, tk::clBtnHighlight);
        break;
      case tsRecessed:
        pass(1, 1, tk::clBtnHighlight);
        pass(-1, -1, tk::clBtnShadow);
        break;
      case tsShadow:
        pass(shadowWidth_, shadowWidth_, shadowColor_);
        break;
      case tsBorder:
        for (int a = 1; a <= borderWidth_; ++a) {
          for (int b = 1; b <= borderWidth_; ++b) {
            pass(a, b, borderColor_);
            pass(a, -b, borderColor_);
            pass(-a, b, borderColor_);
            pass(-a, -b, borderColor_);
          }
        }
        break;
    }
  }
  // The caption itself, always last so that it lies on top of every decoration.
  pass(0, 0, Enabled() ? Font().color : tk::clGrayText);
}

}  // namespace components
