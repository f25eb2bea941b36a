// The gradient progress gauge, TCoolGauge: a horizontal progress gauge that draws every pixel of itself: a background colour,
// a fill growing from the left edge that uncovers a fixed left-to-right colour ramp (or one solid
// colour), a centred text made from a template and the percentage, and an optional border.
//
// Use (the wizard's progress page):
//   TCoolGauge gauge;                        // 100 × 20, Min 0, Max 100, Position 0, "%d%%"
//   gauge.SetBounds(26, 74, 333, 20);
//   gauge.SetBorderStyle(tk::bsNone);
//   gauge.SetForeColor1(tk::clWhite);
//   gauge.SetForeColor2(0xFF8080);
//   gauge.SetFont({L"Tahoma", 11, false, tk::clBlack});
//   gauge.SetVisible(false);
//   gauge.Create(page.Handle());             // on a tk::Panel: it draws the sunken frame
//   ...
//   gauge.SetMax(total); gauge.SetVisible(true);
//   gauge.SetPosition(done);                 // repaints before returning when the fill changes
// The object owns its window and destroys it in its destructor.
//
// Setters follow one pattern: a value equal to the stored one does nothing; a different one is
// stored and the gauge repaints at once. Values outside the accepted range are dropped silently
// (Min and Max may still move Position, see SetMin and SetMax).
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "toolkit/colors.h"
#include "toolkit/custom_control.h"
#include "toolkit/font.h"
#include "toolkit/offscreen_bitmap.h"
#include "win32/handles.h"

namespace components {

enum tCoolGaugeStyle : std::uint8_t {
  sSolid = 0,     // the fill is ForeColor1 throughout
  sDithered = 1,  // the fill shows the 256-band ramp from ForeColor1 to ForeColor2
};

class TCoolGauge : public tk::CustomControl {
 public:
  TCoolGauge();
  ~TCoolGauge() override;

  tk::TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(tk::TBorderStyle style);

  std::int32_t Min() const { return min_; }
  // Min becomes value only when it is below Max; independently, a value above Position moves
  // Position to it. Then the gauge repaints (unless value equals Min).
  void SetMin(std::int32_t value);

  std::int32_t Max() const { return max_; }
  // Max becomes value only when it is above Min; independently, a value below Position moves
  // Position to it. Then the gauge repaints (unless value equals Max).
  void SetMax(std::int32_t value);

  std::int32_t Position() const { return position_; }
  // Accepted within Min..Max (no clamping otherwise). Repaints when the exact fill width
  // (Width / Max * Position) differs from the fill width rounded before the assignment, so an
  // ignored value may repaint too; except that a repaint whose pixels would equal those the
  // window already shows (the same fill in whole pixels and the same percentage, nothing else
  // changed since, nothing waiting to be painted) is left out.
  void SetPosition(std::int32_t value);

  tk::TColor BackColor() const { return backColor_; }
  void SetBackColor(tk::TColor color);
  tk::TColor ForeColor1() const { return foreColor1_; }
  void SetForeColor1(tk::TColor color);  // the ramp is drawn anew at the next paint
  tk::TColor ForeColor2() const { return foreColor2_; }
  void SetForeColor2(tk::TColor color);  // likewise
  tCoolGaugeStyle Style() const { return style_; }
  void SetStyle(tCoolGaugeStyle style);  // likewise

  // The template of the text, UTF-8, formatted with the percentage as its one integer argument
  // ("%d" the percentage, "%%" a percent sign). Empty: no text. A template that does not fit one
  // integer stops the paint before anything reaches the screen and its error goes to
  // tk::ReportCurrentException().
  const std::string& Text() const { return text_; }
  void SetText(std::string text);

  // The font of the text; its colour is the colour of the text and of the border.
  const tk::Font& Font() const { return font_; }
  void SetFont(const tk::Font& font);

  // For tests: how many times the ramp cache has been built.
  int CacheBuildCount() const { return cacheBuilds_; }

 protected:
  void Paint(HDC dc) override;

 private:
  void BuildGradientCache(int width, int height);
  void DrawCaptionText(HDC dc, int width, int height);
  HFONT FontHandle();
  // A property other than Position changed: repaints, and forgets what the window showed.
  void RepaintAll();

  // What the last complete paint into the window showed that Position decides.
  struct PaintedState {
    int width, height, fill, percent;
    bool operator==(const PaintedState&) const = default;
  };
  PaintedState StateToPaint() const;
  std::optional<PaintedState> painted_;

  bool gradientStale_ = false;
  std::int32_t min_ = 0;
  std::int32_t max_ = 100;
  std::int32_t position_ = 0;
  tk::TColor backColor_ = tk::clWhite;
  tk::TBorderStyle borderStyle_ = tk::bsSingle;
  tk::TColor foreColor1_ = tk::clBlue;
  tk::TColor foreColor2_ = tk::clRed;
  tCoolGaugeStyle style_ = sDithered;
  std::string text_;
  std::unique_ptr<tk::OffscreenBitmap> gradientCache_;  // 1 × 1 until the first paint
  std::unique_ptr<tk::OffscreenBitmap> composition_;    // where each paint is composed
  tk::Font font_;
  win::Font fontHandle_;
  int cacheBuilds_ = 0;
};

}  // namespace components
