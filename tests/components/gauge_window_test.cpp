// The gauge as a window on a panel: which assignments repaint at once, the sunken frame that the
// panel draws around it, what reaches the screen, and a bad template reaching the error report.
#include <gtest/gtest.h>

#include "components/cool_gauge.h"
#include "components/pixels.h"
#include "toolkit/panel.h"

using namespace components;  // TCoolGauge, TOskelLabel and their enums

namespace {

using namespace component_tests;

class GaugeWindow : public testing::Test {
 protected:
  GaugeWindow() : host_(400, 200) {
    panel_.SetBounds(0, 0, 400, 200);
    panel_.SetColor(tk::RGBColor(0, 128, 0));
    panel_.Create(host_.get());
    gauge_.SetBounds(26, 74, 333, 20);
    gauge_.SetFont({L"Tahoma", 11, false, tk::clBlack, false});
    gauge_.Create(panel_.Handle());
    UpdateWindow(host_.get());
    Pump();
  }

  // Paint count after an action, relative to before it; no message is pumped in between, so
  // only a synchronous paint counts.
  template <typename Action>
  int PaintsOf(Action action) {
    const int before = gauge_.PaintCount();
    action();
    return gauge_.PaintCount() - before;
  }

  HostWindow host_;
  tk::Panel panel_;
  TCoolGauge gauge_;
};

TEST_F(GaugeWindow, ChangedPropertiesRepaintAtOnceAndEqualOnesDoNot) {
  ASSERT_TRUE(gauge_.Showing());
  EXPECT_EQ(PaintsOf([&] { gauge_.SetBackColor(tk::clRed); }), 1);
  EXPECT_EQ(PaintsOf([&] { gauge_.SetBackColor(tk::clRed); }), 0);
  EXPECT_EQ(PaintsOf([&] { gauge_.SetBorderStyle(tk::bsNone); }), 1);
  EXPECT_EQ(PaintsOf([&] { gauge_.SetBorderStyle(tk::bsNone); }), 0);
  EXPECT_EQ(PaintsOf([&] { gauge_.SetText("%d"); }), 1);
  EXPECT_EQ(PaintsOf([&] { gauge_.SetText("%d"); }), 0);
  EXPECT_EQ(PaintsOf([&] { gauge_.SetMax(200); }), 1);
  EXPECT_EQ(PaintsOf([&] { gauge_.SetMax(200); }), 0);
  EXPECT_EQ(PaintsOf([&] { gauge_.SetMax(-5); }), 1);  // refused, still repaints
  EXPECT_EQ(PaintsOf([&] { gauge_.SetMin(0); }), 0);
  EXPECT_EQ(PaintsOf([&] { gauge_.SetMin(500); }), 1);  // refused, still repaints
  const int builds = gauge_.CacheBuildCount();
  EXPECT_EQ(PaintsOf([&] { gauge_.SetForeColor2(tk::clBlack); }), 1);
  EXPECT_EQ(PaintsOf([&] { gauge_.SetStyle(sSolid); }), 1);
  EXPECT_EQ(gauge_.CacheBuildCount(), builds + 2);
}

TEST_F(GaugeWindow, PositionRepaintsWhenTheExactFillDiffersFromTheOldRoundedOne) {
  gauge_.SetBounds(26, 74, 100, 20);
  gauge_.SetMax(8);
  EXPECT_EQ(PaintsOf([&] { gauge_.SetPosition(1); }), 1);  // 12.5 against 0
  EXPECT_EQ(PaintsOf([&] { gauge_.SetPosition(1); }), 0);  // equal: nothing at all
  // Ignored; 12.5 is not the 12 it was rounded to, but a paint would show the same 12 pixels and
  // the same 12 %, which the window shows already.
  EXPECT_EQ(PaintsOf([&] { gauge_.SetPosition(9); }), 0);
  EXPECT_EQ(gauge_.Position(), 1);
  gauge_.SetMax(100);
  gauge_.SetPosition(50);
  EXPECT_EQ(PaintsOf([&] { gauge_.SetPosition(150); }), 0);  // ignored, and 50 is whole
  EXPECT_EQ(PaintsOf([&] { gauge_.SetPosition(-1); }), 0);
  EXPECT_EQ(PaintsOf([&] { gauge_.SetPosition(51); }), 1);
}

// A Position change whose paint would show the pixels the window already shows is not painted;
// at every step the screen shows what a full paint of the gauge's state shows.
TEST_F(GaugeWindow, AfterEveryPositionTheScreenShowsAFreshPaintOfTheGauge) {
  gauge_.SetMax(1000);
  UpdateWindow(host_.get());
  // What the window shows, read through its own DC (the desktop's copy may lag behind it).
  const auto shown = [&] {
    auto canvas = Canvas(333, 20);
    HDC window = GetDC(gauge_.Handle());
    BitBlt(canvas->Dc(), 0, 0, 333, 20, window, 0, 0, SRCCOPY);
    ReleaseDC(gauge_.Handle(), window);
    return ReadImage(*canvas);
  };
  const auto fresh = [&] {
    auto canvas = Canvas(333, 20);
    gauge_.PaintTo(canvas->Dc());
    return ReadImage(*canvas);
  };
  int screenPaints = 0, changes = 0;
  const auto step = [&](std::int32_t position) {
    screenPaints += PaintsOf([&] { gauge_.SetPosition(position); });
    ++changes;
    const Image expected = fresh();  // no pump in between: only synchronous paints are seen
    EXPECT_TRUE(shown().pixels == expected.pixels) << "at position " << position;
  };
  for (std::int32_t position = 1; position <= 1000; ++position) step(position);
  step(5000);  // ignored
  step(-1);    // ignored
  for (std::int32_t position = 999; position >= 0; position -= 7) step(position);
  // About a paint per pixel of fill or per percent, not one per change.
  EXPECT_LT(screenPaints, changes / 2);
  EXPECT_GT(screenPaints, 100);
}

TEST_F(GaugeWindow, AHiddenGaugeDrawsNothing) {
  gauge_.SetVisible(false);
  EXPECT_FALSE(gauge_.Showing());
  EXPECT_EQ(PaintsOf([&] {
              gauge_.SetPosition(40);
              gauge_.SetBackColor(tk::clRed);
              gauge_.SetForeColor1(tk::clWhite);
            }),
            0);
  EXPECT_EQ(gauge_.Position(), 40);
  gauge_.SetVisible(true);
  UpdateWindow(host_.get());
  EXPECT_GE(gauge_.PaintCount(), 1);
}

TEST_F(GaugeWindow, ThePanelDrawsTheSunkenFrameAroundAVisibleGauge) {
  const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
  const COLORREF highlight = GetSysColor(COLOR_BTNHIGHLIGHT);
  const COLORREF green = RGB(0, 128, 0);
  auto frameOf = [&] {
    auto canvas = Canvas(400, 200);
    panel_.PaintTo(canvas->Dc());
    return ReadImage(*canvas);
  };
  // Bounds 26, 74, 333 × 20: shadow above and left, highlight below and right.
  const int l = 26, t = 74, r = 26 + 333, b = 74 + 20;
  Image image = frameOf();
  EXPECT_EQ(image.At(l - 1, t - 1), shadow);
  EXPECT_EQ(image.At(r - 1, t - 1), shadow);
  EXPECT_EQ(image.At(l - 1, b - 1), shadow);
  EXPECT_EQ(image.At(r, t - 1), green);  // neither rectangle reaches this corner
  EXPECT_EQ(image.At(l - 1, b), green);
  EXPECT_EQ(image.At(l, b), highlight);
  EXPECT_EQ(image.At(r, b), highlight);
  EXPECT_EQ(image.At(r, t), highlight);
  EXPECT_EQ(image.At(l - 2, t), green);
  EXPECT_EQ(image.At(l, t - 2), green);

  gauge_.SetVisible(false);
  image = frameOf();
  EXPECT_EQ(image.At(l - 1, t - 1), green);
  EXPECT_EQ(image.At(r, b), green);
  gauge_.SetVisible(true);
  panel_.SetCtl3D(false);
  image = frameOf();
  EXPECT_EQ(image.At(l - 1, t - 1), green);
  EXPECT_EQ(image.At(r, b), green);
}

TEST_F(GaugeWindow, ThePanelRepaintsTheFrameStripWhenTheGaugeMovesOrHides) {
  UpdateWindow(panel_.Handle());
  auto pending = [&](int x, int y) {
    win::Region region(CreateRectRgn(0, 0, 0, 0));
    GetUpdateRgn(panel_.Handle(), region.get(), FALSE);
    return PtInRegion(region.get(), x, y) != FALSE;
  };
  ASSERT_FALSE(pending(25, 73));
  gauge_.SetBounds(40, 100, 200, 30);
  EXPECT_TRUE(pending(25, 73));    // the old shadow corner
  EXPECT_TRUE(pending(359, 94));   // the old highlight corner
  EXPECT_TRUE(pending(39, 99));    // the new shadow corner
  EXPECT_TRUE(pending(240, 130));  // the new highlight corner
  UpdateWindow(panel_.Handle());
  ASSERT_FALSE(pending(39, 99));
  gauge_.SetVisible(false);
  EXPECT_TRUE(pending(39, 99));
  EXPECT_TRUE(pending(240, 130));
}

TEST_F(GaugeWindow, TheScreenShowsTheGaugeAndItsFrame) {
  gauge_.SetBorderStyle(tk::bsNone);
  gauge_.SetText("");
  gauge_.SetForeColor1(tk::clWhite);
  gauge_.SetForeColor2(0xFF8080);
  gauge_.SetMax(333);
  gauge_.SetPosition(200);
  UpdateWindow(host_.get());
  Pump();
  const Image screen = CaptureScreen(RECT{0, 0, 400, 200});
  EXPECT_EQ(screen.At(26, 80), RGB(254, 254, 255));  // band 0
  EXPECT_EQ(screen.At(26 + 199, 80), RGB(128, 128, 255));
  EXPECT_EQ(screen.At(26 + 200, 80), RGB(255, 255, 255));  // background after the fill
  EXPECT_EQ(screen.At(25, 73), GetSysColor(COLOR_BTNSHADOW));
  EXPECT_EQ(screen.At(359, 94), GetSysColor(COLOR_BTNHIGHLIGHT));
  EXPECT_EQ(screen.At(10, 10), RGB(0, 128, 0));
}

TEST_F(GaugeWindow, ABadTemplateReachesTheErrorReport) {
  ErrorCapture errors;
  const int before = gauge_.PaintCount();
  gauge_.SetText("%d%% of %d");
  EXPECT_EQ(gauge_.PaintCount(), before + 1);
  ASSERT_EQ(errors.Texts().size(), 1u);
  EXPECT_EQ(errors.Texts()[0], L"No argument for format '%d%% of %d'");
  gauge_.SetText("%.2f");
  ASSERT_EQ(errors.Texts().size(), 2u);
  EXPECT_EQ(errors.Texts()[1], L"Format '%.2f' invalid or incompatible with argument");
  Pump();  // the failed paint validated the window: no endless repaint
  EXPECT_EQ(errors.Texts().size(), 2u);
}

TEST(GaugeLifetime, TheGaugeOwnsItsWindowAndGdiObjects) {
  HostWindow host(200, 100);
  const long bitmaps = win::Bitmap::Live();
  const long fonts = win::Font::Live();
  HWND window = nullptr;
  {
    TCoolGauge gauge;
    gauge.Create(host.get());
    window = gauge.Handle();
    UpdateWindow(host.get());
    EXPECT_TRUE(IsWindow(window));
  }
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(win::Bitmap::Live(), bitmaps);
  EXPECT_EQ(win::Font::Live(), fonts);
}

}  // namespace
