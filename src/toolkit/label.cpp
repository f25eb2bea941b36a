#include "toolkit/label.h"

#include "win32/wide_text.h"

namespace tk {

Label::Label() = default;

Label::~Label() = default;

void Label::SetCaption(std::wstring caption) {
  if (caption == caption_) return;
  caption_ = std::move(caption);
  CaptionChanged();
}

void Label::SetCaption(std::string_view utf8) {
  SetCaption(win::Utf8ToWide(utf8));
}

void Label::CaptionChanged() {
  AdjustBounds();
  Invalidate();
}

void Label::SetFont(const tk::Font& font) {
  if (font == font_) return;
  font_ = font;
  fontHandle_.reset();
  AdjustBounds();
  Invalidate();
}

void Label::SetColor(TColor color) {
  if (color == color_) return;
  color_ = color;
  Invalidate();
}

void Label::SetTransparent(bool transparent) {
  if (transparent == Transparent()) return;
  SetOpaque(!transparent);
  // Becoming transparent brings the background back: ask for it with the erase either way.
  Invalidate();
}

void Label::SetAlignment(TAlignment alignment) {
  if (alignment == alignment_) return;
  alignment_ = alignment;
  Invalidate();
}

void Label::SetWordWrap(bool on) {
  if (on == wordWrap_) return;
  wordWrap_ = on;
  AdjustBounds();
  Invalidate();
}

void Label::SetShowAccelChar(bool on) {
  if (on == showAccelChar_) return;
  showAccelChar_ = on;
  Invalidate();
}

void Label::SetEnabled(bool on) {
  if (on == enabled_) return;
  enabled_ = on;
  Invalidate();
}

void Label::SetAutoSize(bool on) {
  if (on == autoSize_) return;
  autoSize_ = on;
  AdjustBounds();
}

HFONT Label::FontHandle() {
  if (!fontHandle_) fontHandle_ = font_.CreateHandle();
  return fontHandle_.get();
}

UINT Label::DrawTextFlags() const {
  UINT flags = DT_EXPANDTABS;
  if (alignment_ == taRightJustify) flags |= DT_RIGHT;
  if (alignment_ == taCenter) flags |= DT_CENTER;
  if (wordWrap_) flags |= DT_WORDBREAK;
  if (!showAccelChar_) flags |= DT_NOPREFIX;
  return flags;
}

void Label::DrawCaption(HDC dc, RECT rect, UINT flags, TColor color) const {
  SetTextColor(dc, ColorToRGB(color));
  DrawTextW(dc, caption_.c_str(), -1, &rect, flags);
}

void Label::AdjustBounds() {
  if (!autoSize_) return;
  win::WindowDc screen(nullptr);
  if (!screen) return;
  win::SelectGuard font(screen.get(), FontHandle());
  // An empty caption (or a lone accelerator mark) still measures one line high.
  std::wstring text = caption_;
  if (text.empty() || (showAccelChar_ && text == L"&")) text += L' ';
  RECT rect{0, 0, Width(), 0};
  DrawTextW(screen.get(), text.c_str(), -1, &rect, DrawTextFlags() | DT_CALCRECT);
  int left = Left();
  if (alignment_ == taRightJustify) left += Width() - rect.right;
  SetBounds(left, Top(), rect.right, rect.bottom);
}

void Label::Paint(HDC dc) {
  RECT rect{0, 0, Width(), Height()};
  if (!Transparent()) {
    win::Brush brush(CreateSolidBrush(ColorToRGB(color_)));
    FillRect(dc, &rect, brush.get());
  }
  SetBkMode(dc, TRANSPARENT);
  win::SelectGuard font(dc, FontHandle());
  const UINT flags = DrawTextFlags();
  if (enabled_) {
    DrawCaption(dc, rect, flags, font_.color);
    return;
  }
  // Disabled: embossed in the button colours.
  OffsetRect(&rect, 1, 1);
  DrawCaption(dc, rect, flags, clBtnHighlight);
  OffsetRect(&rect, -1, -1);
  DrawCaption(dc, rect, flags, clBtnShadow);
}

}  // namespace tk
