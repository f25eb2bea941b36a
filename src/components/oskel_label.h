// The caption label, TOskelLabel: the toolkit's windowless label with a decorated caption: raised or recessed in
// the system's button colours, a drop shadow, or an outline of chosen colour and thickness. Each
// decoration is the whole caption drawn again at an offset, before the caption itself.
//
// Use (the wizard's header band):
//   TOskelLabel label;                        // 50 × 17, transparent, tsNone
//   label.SetBounds(28, 26, 297, 25);
//   label.SetAutoSize(false);
//   label.SetCaption("Среда Fendaro Korvu ®");
//   label.SetFont({L"Tahoma", 21, true, 0xFFCC99});
//   label.SetParent(&captionPanel);           // a tk::Panel paints it during its own paint
// Setters only request a repaint; the drawing happens at the panel's next paint. A caption change
// never refits an auto-sized label (a font, word-wrap or auto-size change does).
#pragma once

#include <cstdint>

#include "toolkit/colors.h"
#include "toolkit/label.h"

namespace components {

enum TTextStyle : std::uint8_t {
  tsNone = 0,      // the caption only
  tsRaised = 1,    // shadow copy below right, highlight copy above left
  tsRecessed = 2,  // highlight copy below right, shadow copy above left
  tsShadow = 3,    // one copy ShadowWidth down and right in ShadowColor
  tsBorder = 4,    // copies at every diagonal offset up to BorderWidth in BorderColor
};

class TOskelLabel : public tk::Label {
 public:
  TOskelLabel();
  ~TOskelLabel() override;

  tk::TColor BorderColor() const { return borderColor_; }
  void SetBorderColor(tk::TColor color);
  std::uint8_t BorderWidth() const { return borderWidth_; }
  void SetBorderWidth(std::uint8_t width);
  TTextStyle TextStyle() const { return textStyle_; }
  void SetTextStyle(TTextStyle style);
  tk::TColor ShadowColor() const { return shadowColor_; }
  void SetShadowColor(tk::TColor color);
  std::uint8_t ShadowWidth() const { return shadowWidth_; }
  // 10 or more is refused silently.
  void SetShadowWidth(std::uint8_t width);

 protected:
  void Paint(HDC dc) override;
  void CaptionChanged() override;

 private:
  TTextStyle textStyle_ = tsNone;
  tk::TColor borderColor_ = tk::clWhite;
  std::uint8_t borderWidth_ = 0;
  std::uint8_t shadowWidth_ = 0;
  tk::TColor shadowColor_ = tk::clBlack;
};

}  // namespace components
