// The gauge painted into memory bitmaps: the ramp's bands, the fill, the text, the border, the
// cache, and the range rules. No window is needed for these.
#include <gtest/gtest.h>

#include <stdexcept>

#include "components/cool_gauge.h"
#include "components/pixels.h"
#include "win32/handles.h"

using namespace components;  // TCoolGauge, TOskelLabel and their enums

namespace {

using namespace component_tests;

const tk::Font kBlackFont{L"Tahoma", 11, false, tk::clBlack, false};
constexpr COLORREF kWhite = RGB(255, 255, 255);

Image Render(TCoolGauge& gauge) {
  auto canvas = Canvas(gauge.Width(), gauge.Height());
  gauge.PaintTo(canvas->Dc());
  return ReadImage(*canvas);
}

// A gauge that shows nothing but its fill: no text, no border.
void PlainFill(TCoolGauge& gauge, int width, std::int32_t max, std::int32_t position) {
  gauge.SetBounds(0, 0, width, 20);
  gauge.SetText("");
  gauge.SetBorderStyle(tk::bsNone);
  gauge.SetMax(max);
  gauge.SetPosition(position);
}

// The text as the gauge should place it: measured and drawn at the centre, truncating toward 0.
Mask ExpectedText(const std::wstring& text, int width, int height) {
  auto canvas = Canvas(width, height, kWhite);
  win::Font font = kBlackFont.CreateHandle();
  win::SelectGuard select(canvas->Dc(), font.get());
  SetBkMode(canvas->Dc(), TRANSPARENT);
  SetTextColor(canvas->Dc(), RGB(0, 0, 0));
  SIZE size;
  GetTextExtentPoint32W(canvas->Dc(), text.c_str(), static_cast<int>(text.size()), &size);
  const int x = (width - size.cx) / 2, y = (height - size.cy) / 2;
  ExtTextOutW(canvas->Dc(), x, y, 0, nullptr, text.c_str(), static_cast<UINT>(text.size()),
              nullptr);
  return InkOf(ReadImage(*canvas), RGB(0, 0, 0));
}

TEST(GaugeDrawing, WizardColoursRampWithTheBandColumnsOf333Pixels) {
  TCoolGauge gauge;
  gauge.SetForeColor1(tk::clWhite);
  gauge.SetForeColor2(0xFF8080);
  PlainFill(gauge, 333, 100, 100);
  const Image image = Render(gauge);
  // Band i: red = green = 254 - i down to 128 (reached at band 126), blue 255.
  auto band = [](int i) { return RGB((std::max)(254 - i, 128), (std::max)(254 - i, 128), 255); };
  EXPECT_EQ(image.At(0, 10), band(0));
  EXPECT_EQ(image.At(0, 10), RGB(254, 254, 255));
  EXPECT_EQ(image.At(3, 10), band(3));
  EXPECT_EQ(image.At(4, 10), band(3));
  EXPECT_EQ(image.At(331, 10), RGB(128, 128, 255));
  EXPECT_EQ(image.At(332, 10), RGB(128, 128, 255));
  // Every column belongs to exactly one band, left = i*W div 256, right = (i+1)*W div 256.
  for (int i = 0; i < 256; ++i) {
    for (int x = i * 333 / 256; x < (i + 1) * 333 / 256; ++x) {
      ASSERT_EQ(image.At(x, 0), band(i)) << "column " << x;
      ASSERT_EQ(image.At(x, 19), band(i)) << "column " << x;
    }
  }
}

TEST(GaugeDrawing, DefaultColoursNeverShowThePureFirstColour) {
  TCoolGauge gauge;
  PlainFill(gauge, 256, 100, 100);
  const Image image = Render(gauge);
  for (int i = 0; i < 255; ++i) ASSERT_EQ(image.At(i, 5), RGB(i + 1, 0, 254 - i)) << i;
  EXPECT_EQ(image.At(255, 5), RGB(255, 0, 0));  // band 255 equals band 254
}

TEST(GaugeDrawing, ANarrowGaugeStillStepsThroughAll256Bands) {
  TCoolGauge gauge;
  PlainFill(gauge, 100, 100, 100);
  const Image image = Render(gauge);
  EXPECT_EQ(image.At(0, 5), RGB(3, 0, 252));   // bands 0 and 1 are empty, band 2 is column 0
  EXPECT_EQ(image.At(99, 5), RGB(255, 0, 0));  // the last band is reached
}

TEST(GaugeDrawing, TheRampTakesTheLowBytesOfSystemColoursButSolidResolvesThem) {
  TCoolGauge gauge;
  gauge.SetForeColor1(tk::clBtnShadow);  // $FF000010: red 16 as it stands
  PlainFill(gauge, 256, 100, 100);
  EXPECT_EQ(Render(gauge).At(0, 5), RGB(17, 0, 0));  // one step from 16 toward 255
  gauge.SetStyle(sSolid);
  const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
  const Image solid = Render(gauge);
  EXPECT_EQ(solid.At(0, 5), shadow);
  EXPECT_EQ(solid.At(255, 19), shadow);
}

TEST(GaugeDrawing, TheFillUncoversTheRampWithHalvesRoundedToEven) {
  struct Case {
    int width;
    std::int32_t max, position;
    int fill;
  };
  for (const Case c : {Case{100, 8, 1, 12}, Case{100, 8, 3, 38}, Case{100, 100, 100, 100},
                       Case{256, 4194304, 3000000, 183}, Case{100, 100, 0, 0}}) {
    TCoolGauge gauge;
    gauge.SetStyle(sSolid);
    gauge.SetForeColor1(tk::clRed);
    gauge.SetBackColor(tk::clWhite);
    PlainFill(gauge, c.width, c.max, c.position);
    const Image image = Render(gauge);
    for (int x = 0; x < c.width; ++x) {
      ASSERT_EQ(image.At(x, 10), x < c.fill ? RGB(255, 0, 0) : kWhite)
          << "column " << x << " of " << c.position << "/" << c.max;
    }
  }
}

TEST(GaugeDrawing, TheFillShowsTheLeftPartOfTheFullWidthRamp) {
  TCoolGauge gauge;
  PlainFill(gauge, 256, 100, 50);
  const Image image = Render(gauge);
  EXPECT_EQ(image.At(127, 5), RGB(128, 0, 127));  // band 127 of the whole width, not squeezed
  EXPECT_EQ(image.At(128, 5), kWhite);
}

TEST(GaugeDrawing, AFreshGaugeShowsZeroPercentCentredInsideABorder) {
  TCoolGauge gauge;
  gauge.SetFont(kBlackFont);
  const Image image = Render(gauge);
  ASSERT_EQ(image.width, 100);
  ASSERT_EQ(image.height, 20);
  for (int x = 0; x < 100; ++x) {
    ASSERT_EQ(image.At(x, 0), RGB(0, 0, 0));
    ASSERT_EQ(image.At(x, 19), RGB(0, 0, 0));
  }
  for (int y = 0; y < 20; ++y) {
    ASSERT_EQ(image.At(0, y), RGB(0, 0, 0));
    ASSERT_EQ(image.At(99, y), RGB(0, 0, 0));
  }
  EXPECT_EQ(image.At(1, 1), kWhite);
  Mask ink = InkOf(image, RGB(0, 0, 0));
  for (int x = 0; x < 100; ++x) ink.erase({x, 0}), ink.erase({x, 19});
  for (int y = 0; y < 20; ++y) ink.erase({0, y}), ink.erase({99, y});
  EXPECT_EQ(ink, ExpectedText(L"0%", 100, 20));
}

TEST(GaugeDrawing, TheTextShowsTheRoundedPercentageOverFillAndBackground) {
  TCoolGauge gauge;
  gauge.SetFont(kBlackFont);
  gauge.SetBorderStyle(tk::bsNone);
  gauge.SetStyle(sSolid);
  gauge.SetForeColor1(tk::clWhite);  // the same as the background: only the text is black
  gauge.SetMax(8);
  gauge.SetPosition(1);
  EXPECT_EQ(InkOf(Render(gauge), RGB(0, 0, 0)), ExpectedText(L"12%", 100, 20));
  gauge.SetPosition(3);
  EXPECT_EQ(InkOf(Render(gauge), RGB(0, 0, 0)), ExpectedText(L"38%", 100, 20));
  gauge.SetBounds(0, 0, 256, 20);
  gauge.SetMax(4194304);
  gauge.SetPosition(3000000);
  EXPECT_EQ(InkOf(Render(gauge), RGB(0, 0, 0)), ExpectedText(L"72%", 256, 20));
  gauge.SetText("Готово %d из 100");
  EXPECT_EQ(InkOf(Render(gauge), RGB(0, 0, 0)), ExpectedText(L"Готово 72 из 100", 256, 20));
  gauge.SetText("");
  EXPECT_TRUE(InkOf(Render(gauge), RGB(0, 0, 0)).empty());
}

TEST(GaugeDrawing, AWideTextStartsLeftOfTheGaugeTruncatedTowardZero) {
  TCoolGauge gauge;
  gauge.SetFont(kBlackFont);
  gauge.SetBorderStyle(tk::bsNone);
  const std::wstring text = L"Установка программы Korvu";
  gauge.SetText("Установка программы Korvu");
  // Pick a width that leaves an odd negative difference: floor and truncation then differ.
  const Mask probe = ExpectedText(text, 400, 20);
  HDC screen = GetDC(nullptr);
  win::Font font = kBlackFont.CreateHandle();
  HGDIOBJ old = SelectObject(screen, font.get());
  SIZE size;
  GetTextExtentPoint32W(screen, text.c_str(), static_cast<int>(text.size()), &size);
  SelectObject(screen, old);
  ReleaseDC(nullptr, screen);
  const int width = (size.cx % 2 == 0) ? 21 : 20;
  gauge.SetBounds(0, 0, width, 20);
  const Mask expected = Shifted(probe, (width - size.cx) / 2 - (400 - size.cx) / 2, 0);
  Mask visible;
  for (auto p : expected) {
    if (p.first >= 0 && p.first < width) visible.insert(p);
  }
  ASSERT_FALSE(visible.empty());
  EXPECT_EQ(InkOf(Render(gauge), RGB(0, 0, 0)), visible);
}

TEST(GaugeDrawing, ABadTemplateStopsThePaintBeforeAnythingIsCopied) {
  TCoolGauge gauge;
  gauge.SetText("%s");
  auto canvas = Canvas(100, 20);
  try {
    gauge.PaintTo(canvas->Dc());
    FAIL() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "Format '%s' invalid or incompatible with argument");
  }
  gauge.SetText("%d%% %d");
  EXPECT_THROW(gauge.PaintTo(canvas->Dc()), std::runtime_error);
  const Image image = ReadImage(*canvas);
  EXPECT_EQ(InkOf(image, kSentinel).size(), 100u * 20u);  // untouched
}

TEST(GaugeDrawing, TheCacheIsRebuiltOnlyWhenStale) {
  TCoolGauge gauge;
  auto canvas = Canvas(333, 20);
  EXPECT_EQ(gauge.CacheBuildCount(), 0);
  gauge.PaintTo(canvas->Dc());
  EXPECT_EQ(gauge.CacheBuildCount(), 1);  // 100 × 20 differs from the 1 × 1 start
  gauge.PaintTo(canvas->Dc());
  gauge.SetBackColor(tk::clRed);
  gauge.SetBorderStyle(tk::bsNone);
  gauge.SetText("x");
  gauge.SetMax(50);
  gauge.SetMin(5);
  gauge.SetPosition(20);
  gauge.PaintTo(canvas->Dc());
  EXPECT_EQ(gauge.CacheBuildCount(), 1);
  gauge.SetForeColor1(tk::clWhite);
  gauge.SetForeColor2(tk::clBlack);
  gauge.SetStyle(sSolid);
  gauge.PaintTo(canvas->Dc());
  gauge.PaintTo(canvas->Dc());
  EXPECT_EQ(gauge.CacheBuildCount(), 2);  // three stale marks, one rebuild
  gauge.SetBounds(0, 0, 333, 20);
  gauge.PaintTo(canvas->Dc());
  EXPECT_EQ(gauge.CacheBuildCount(), 3);
  gauge.SetForeColor1(tk::clWhite);  // unchanged: not stale
  gauge.PaintTo(canvas->Dc());
  EXPECT_EQ(gauge.CacheBuildCount(), 3);
}

TEST(GaugeRange, RefusedValuesAndTheirSideEffectsOnPosition) {
  TCoolGauge gauge;
  EXPECT_EQ(gauge.Min(), 0);
  EXPECT_EQ(gauge.Max(), 100);
  EXPECT_EQ(gauge.Position(), 0);
  EXPECT_EQ(gauge.Text(), "%d%%");
  gauge.SetPosition(50);
  gauge.SetPosition(150);  // outside: ignored, no clamping
  EXPECT_EQ(gauge.Position(), 50);
  gauge.SetPosition(-1);
  EXPECT_EQ(gauge.Position(), 50);
  gauge.SetMax(0);  // not above Min: refused, yet Position follows
  EXPECT_EQ(gauge.Max(), 100);
  EXPECT_EQ(gauge.Position(), 0);
  gauge.SetMin(100);  // not below Max: refused, yet Position follows
  EXPECT_EQ(gauge.Min(), 0);
  EXPECT_EQ(gauge.Position(), 100);
  gauge.SetMin(150);
  EXPECT_EQ(gauge.Min(), 0);
  EXPECT_EQ(gauge.Position(), 150);  // past Max
  gauge.SetMax(40);
  EXPECT_EQ(gauge.Max(), 40);
  EXPECT_EQ(gauge.Position(), 40);
  gauge.SetMin(10);
  EXPECT_EQ(gauge.Min(), 10);
  EXPECT_EQ(gauge.Position(), 40);  // 10 is not above Position
}

TEST(GaugeRange, PositionsOutsideZeroToMaxDrawSafely) {
  TCoolGauge gauge;
  gauge.SetFont(kBlackFont);
  gauge.SetBorderStyle(tk::bsNone);
  gauge.SetStyle(sSolid);
  gauge.SetForeColor1(tk::clRed);
  gauge.SetMin(150);  // Position 150, Max 100: a fill past the width is drawn full
  Image image = Render(gauge);
  EXPECT_EQ(image.At(0, 1), RGB(255, 0, 0));
  EXPECT_EQ(image.At(99, 1), RGB(255, 0, 0));
  EXPECT_EQ(InkOf(image, RGB(0, 0, 0)), ExpectedText(L"150%", 100, 20));
  // Min below zero lets Position and then Max reach 0: no fill, no division by zero.
  gauge.SetMin(-50);
  gauge.SetMax(-10);
  gauge.SetMax(0);
  EXPECT_EQ(gauge.Max(), 0);
  EXPECT_EQ(gauge.Position(), -10);
  image = Render(gauge);
  EXPECT_EQ(image.At(0, 1), kWhite);
  EXPECT_EQ(InkOf(image, RGB(0, 0, 0)), ExpectedText(L"0%", 100, 20));
}

}  // namespace
