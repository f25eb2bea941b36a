#include "components/cool_gauge.h"

#include <algorithm>
#include <cstdlib>

#include "core/gauge_math.h"
#include "core/int_format.h"
#include "win32/wide_text.h"

namespace components {

namespace {

void FillSolid(HDC dc, const RECT& rect, COLORREF color) {
  win::Brush brush(CreateSolidBrush(color));
  FillRect(dc, &rect, brush.get());
}

// One channel of the ramp: moves one unit per band towards its target and stays there.
struct RampChannel {
  int value;
  int target;
  void Step() {
    if (value < target) ++value;
    if (value > target) --value;
  }
};

}  // namespace

TCoolGauge::TCoolGauge() : text_("%d%%") {
  SetWantsSunkenFrame(true);
  SetBounds(Left(), Top(), 100, 20);
  gradientCache_ = std::make_unique<tk::OffscreenBitmap>(1, 1);
}

TCoolGauge::~TCoolGauge() = default;

void TCoolGauge::SetBorderStyle(tk::TBorderStyle style) {
  if (style == borderStyle_) return;
  borderStyle_ = style;
  RepaintAll();
}

void TCoolGauge::SetMin(std::int32_t value) {
  if (value == min_) return;
  if (value < max_) min_ = value;
  if (value > position_) position_ = value;
  RepaintAll();
}

void TCoolGauge::SetMax(std::int32_t value) {
  if (value == max_) return;
  if (value > min_) max_ = value;
  if (value < position_) position_ = value;
  RepaintAll();
}

void TCoolGauge::SetPosition(std::int32_t value) {
  const long double oldFill = dt::GaugeFillWidth(Width(), max_, position_);
  if (value == position_) return;
  if (value >= min_ && value <= max_) position_ = value;
  if (dt::GaugeFillExact(Width(), max_, position_) == oldFill) return;
  // The same pixels as the window shows need no paint: a run of many small entries moves the
  // fill by a pixel only every few entries.
  RECT pending;
  if (painted_ && *painted_ == StateToPaint() && !GetUpdateRect(Handle(), &pending, FALSE)) return;
  Repaint();
}

void TCoolGauge::SetBackColor(tk::TColor color) {
  if (color == backColor_) return;
  backColor_ = color;
  RepaintAll();
}

void TCoolGauge::SetForeColor1(tk::TColor color) {
  if (color == foreColor1_) return;
  foreColor1_ = color;
  gradientStale_ = true;
  RepaintAll();
}

void TCoolGauge::SetForeColor2(tk::TColor color) {
  if (color == foreColor2_) return;
  foreColor2_ = color;
  gradientStale_ = true;
  RepaintAll();
}

void TCoolGauge::SetStyle(tCoolGaugeStyle style) {
  if (style == style_) return;
  style_ = style;
  gradientStale_ = true;
  RepaintAll();
}

void TCoolGauge::SetText(std::string text) {
  if (text == text_) return;
  text_ = std::move(text);
  RepaintAll();
}

void TCoolGauge::SetFont(const tk::Font& font) {
  if (font == font_) return;
  font_ = font;
  fontHandle_.reset();
  RepaintAll();
}

void TCoolGauge::RepaintAll() {
  painted_.reset();
  Repaint();
}

TCoolGauge::PaintedState TCoolGauge::StateToPaint() const {
  const int width = Width();
  return {width, Height(), (std::clamp)(dt::GaugeFillWidth(width, max_, position_), 0, width),
          dt::GaugePercent(max_, position_)};
}

HFONT TCoolGauge::FontHandle() {
  if (!fontHandle_) fontHandle_ = font_.CreateHandle();
  return fontHandle_.get();
}

void TCoolGauge::BuildGradientCache(int width, int height) {
  gradientCache_.reset();
  gradientCache_ = std::make_unique<tk::OffscreenBitmap>(width, height);
  ++cacheBuilds_;
  HDC dc = gradientCache_->Dc();
  if (style_ == sSolid) {
    FillSolid(dc, RECT{0, 0, width, height}, tk::ColorToRGB(foreColor1_));
    return;
  }
  // The ramp takes the three low bytes of both colours as they stand, system colours included.
  const auto from = static_cast<std::uint32_t>(foreColor1_);
  const auto to = static_cast<std::uint32_t>(foreColor2_);
  RampChannel channels[3];
  for (int c = 0; c < 3; ++c) {
    channels[c] = {static_cast<int>((from >> (8 * c)) & 0xFF),
                   static_cast<int>((to >> (8 * c)) & 0xFF)};
  }
  for (std::int64_t band = 0; band < 256; ++band) {
    for (RampChannel& channel : channels) channel.Step();
    const auto left = static_cast<int>(band * width / 256);
    const auto right = static_cast<int>((band + 1) * width / 256);
    if (left == right) continue;
    FillSolid(dc, RECT{left, 0, right, height},
              RGB(channels[0].value, channels[1].value, channels[2].value));
  }
}

void TCoolGauge::DrawCaptionText(HDC dc, int width, int height) {
  // Formatting comes first: a template that does not fit throws before anything is drawn.
  const std::wstring text =
      win::Utf8ToWide(dt::FormatInteger(text_, dt::GaugePercent(max_, position_)));
  win::SelectGuard font(dc, FontHandle());
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, tk::ColorToRGB(font_.color));
  SIZE extent{};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
  // Integer division truncates toward zero, also for a text wider than the gauge.
  const int x = (width - extent.cx) / 2;
  const int y = (height - extent.cy) / 2;
  ExtTextOutW(dc, x, y, 0, nullptr, text.c_str(), static_cast<UINT>(text.size()), nullptr);
}

void TCoolGauge::Paint(HDC dc) {
  const int width = Width();
  const int height = Height();
  // Only a paint into the window itself tells what the window shows; one into memory does not.
  const bool intoWindow = Handle() && WindowFromDC(dc) == Handle();
  if (intoWindow) painted_.reset();
  if (width <= 0 || height <= 0) return;
  if (!gradientCache_ || gradientCache_->Width() != width || gradientCache_->Height() != height ||
      gradientStale_) {
    gradientStale_ = false;
    BuildGradientCache(width, height);
  }

  // Everything is composed off-screen; the screen receives one block copy at the end. The bitmap
  // is kept from paint to paint (made anew only when the size changes): a run repaints the gauge
  // hundreds of times.
  if (!composition_ || composition_->Width() != width || composition_->Height() != height) {
    composition_.reset();
    composition_ = std::make_unique<tk::OffscreenBitmap>(width, height);
  }
  tk::OffscreenBitmap& image = *composition_;
  const RECT client{0, 0, width, height};
  FillSolid(image.Dc(), client, tk::ColorToRGB(backColor_));
  // The fill uncovers the left part of the full-width ramp. A position outside 0..Max (reachable
  // through Min and Max) shows an empty or a full fill.
  const PaintedState state = StateToPaint();
  const int fill = state.fill;
  if (fill > 0) BitBlt(image.Dc(), 0, 0, fill, height, gradientCache_->Dc(), 0, 0, SRCCOPY);
  if (!text_.empty()) DrawCaptionText(image.Dc(), width, height);
  if (borderStyle_ == tk::bsSingle) {
    win::Brush brush(CreateSolidBrush(tk::ColorToRGB(font_.color)));
    FrameRect(image.Dc(), &client, brush.get());
  }
  BitBlt(dc, 0, 0, width, height, image.Dc(), 0, 0, SRCCOPY);
  // Only a paint of the whole gauge tells what the whole window shows (a system paint may cover
  // a strip only).
  RECT clip;
  if (intoWindow && GetClipBox(dc, &clip) != ERROR && clip.left <= 0 && clip.top <= 0 &&
      clip.right >= width && clip.bottom >= height) {
    painted_ = state;
  }
}

}  // namespace components
