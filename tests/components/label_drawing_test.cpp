// The caption label painted by a panel into memory bitmaps. Each decoration pass gets its own
// colour, and the expected picture is composed from the plain caption's ink moved by each pass's
// offset, so offsets, colours, order and clipping are all checked without depending on glyphs.
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "components/oskel_label.h"
#include "components/pixels.h"
#include "toolkit/panel.h"

using namespace components;  // TCoolGauge, TOskelLabel and their enums

namespace {

using namespace component_tests;

constexpr COLORREF kGreen = RGB(0, 128, 0);
constexpr tk::TColor kCaptionColor = tk::RGBColor(10, 20, 200);
constexpr int kLeft = 20, kTop = 20, kWidth = 120, kHeight = 24;

tk::Font TestFont(tk::TColor color = kCaptionColor) {
  return {L"Tahoma", 13, true, color, false};
}

// A panel with one label on it, painted into a bitmap of the panel's size.
class LabelOnPanel {
 public:
  explicit LabelOnPanel(const std::string& caption = "Korvu 5.02") {
    panel_.SetBounds(0, 0, kLeft * 2 + kWidth, kTop * 2 + kHeight);
    panel_.SetColor(tk::RGBColor(0, 128, 0));
    label_.SetAutoSize(false);
    label_.SetBounds(kLeft, kTop, kWidth, kHeight);
    label_.SetFont(TestFont());
    label_.SetCaption(caption);
    label_.SetParent(&panel_);
  }
  TOskelLabel& label() { return label_; }
  Image Paint() {
    auto canvas = Canvas(panel_.Width(), panel_.Height());
    panel_.PaintTo(canvas->Dc());
    return ReadImage(*canvas);
  }

 private:
  tk::Panel panel_;
  TOskelLabel label_;
};

// The plain caption's ink in panel coordinates (drawn once, in the caption colour).
Mask CaptionInk(const std::string& caption = "Korvu 5.02") {
  LabelOnPanel plain(caption);
  return InkOf(plain.Paint(), tk::ColorToRGB(kCaptionColor));
}

struct Pass {
  int dx, dy;
  COLORREF color;
};

// The picture that the passes should give: the panel's green, each pass's ink clipped to the
// label's bounds, in order, the last on top.
Image Compose(const Mask& ink, const std::vector<Pass>& passes) {
  Image image{kLeft * 2 + kWidth, kTop * 2 + kHeight, {}};
  image.pixels.assign(static_cast<std::size_t>(image.width) * image.height, kGreen);
  for (const Pass& pass : passes) {
    for (auto [x, y] : Shifted(ink, pass.dx, pass.dy)) {
      if (x < kLeft || x >= kLeft + kWidth || y < kTop || y >= kTop + kHeight) continue;
      image.pixels[static_cast<std::size_t>(y) * image.width + x] = pass.color;
    }
  }
  return image;
}

void ExpectSame(const Image& actual, const Image& expected) {
  ASSERT_EQ(actual.width, expected.width);
  int differences = 0;
  for (int y = 0; y < actual.height; ++y) {
    for (int x = 0; x < actual.width; ++x) {
      if (actual.At(x, y) != expected.At(x, y) && ++differences <= 5) {
        ADD_FAILURE() << "pixel " << x << "," << y << ": " << std::hex << actual.At(x, y)
                      << " instead of " << expected.At(x, y);
      }
    }
  }
  EXPECT_EQ(differences, 0);
}

TEST(LabelDrawing, TheDefaultLabelDrawsTheCaptionOnceOnePixelRightOfItsEdge) {
  const Mask ink = CaptionInk();
  ASSERT_FALSE(ink.empty());
  const Box box = BoundsOf(ink);
  EXPECT_GE(box.left, kLeft + 1);
  TOskelLabel fresh;
  EXPECT_TRUE(fresh.Transparent());
  EXPECT_EQ(fresh.Width(), 50);
  EXPECT_EQ(fresh.Height(), 17);
  EXPECT_EQ(fresh.TextStyle(), tsNone);
  // The caption at (1, 0) of the label is the same text drawn at (0, 0) one pixel further right.
  tk::Label reference;
  reference.SetAutoSize(false);
  reference.SetBounds(kLeft + 1, kTop, kWidth, kHeight);
  reference.SetFont(TestFont());
  reference.SetCaption("Korvu 5.02");
  auto canvas = Canvas(kLeft * 2 + kWidth, kTop * 2 + kHeight);
  reference.PaintInContainer(canvas->Dc());
  EXPECT_EQ(InkOf(ReadImage(*canvas), tk::ColorToRGB(kCaptionColor)), ink);
}

TEST(LabelDrawing, EachStyleDrawsItsPassesAtTheirOffsetsInOrder) {
  const Mask ink = CaptionInk();
  const COLORREF caption = tk::ColorToRGB(kCaptionColor);
  const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
  const COLORREF highlight = GetSysColor(COLOR_BTNHIGHLIGHT);
  const COLORREF border = RGB(250, 200, 0);
  const COLORREF dropShadow = RGB(90, 0, 90);
  ASSERT_NE(shadow, highlight);

  LabelOnPanel raised;
  raised.label().SetTextStyle(tsRaised);
  ExpectSame(raised.Paint(), Compose(ink, {{1, 1, shadow}, {-1, -1, highlight}, {0, 0, caption}}));

  LabelOnPanel recessed;
  recessed.label().SetTextStyle(tsRecessed);
  ExpectSame(recessed.Paint(),
             Compose(ink, {{1, 1, highlight}, {-1, -1, shadow}, {0, 0, caption}}));

  LabelOnPanel dropped;
  dropped.label().SetTextStyle(tsShadow);
  dropped.label().SetShadowColor(tk::RGBColor(90, 0, 90));
  dropped.label().SetShadowWidth(3);
  ExpectSame(dropped.Paint(), Compose(ink, {{3, 3, dropShadow}, {0, 0, caption}}));
  dropped.label().SetShadowWidth(0);  // right under the caption: invisible
  ExpectSame(dropped.Paint(), Compose(ink, {{0, 0, caption}}));

  LabelOnPanel outlined;
  outlined.label().SetTextStyle(tsBorder);
  outlined.label().SetBorderColor(tk::RGBColor(250, 200, 0));
  ExpectSame(outlined.Paint(), Compose(ink, {{0, 0, caption}}));  // width 0: no pass
  outlined.label().SetBorderWidth(1);
  ExpectSame(
      outlined.Paint(),
      Compose(
          ink,
          {{1, 1, border}, {1, -1, border}, {-1, 1, border}, {-1, -1, border}, {0, 0, caption}}));
  outlined.label().SetBorderWidth(2);
  std::vector<Pass> passes;
  for (int a = 1; a <= 2; ++a) {
    for (int b = 1; b <= 2; ++b) {
      for (auto [sa, sb] : {std::pair{1, 1}, std::pair{1, -1}, std::pair{-1, 1}, std::pair{-1, -1}})
        passes.push_back({sa * a, sb * b, border});
    }
  }
  passes.push_back({0, 0, caption});
  ExpectSame(outlined.Paint(), Compose(ink, passes));
}

TEST(LabelDrawing, ADisabledLabelShowsOnlyTheCaptionInGrayText) {
  const Mask ink = CaptionInk();
  for (TTextStyle style : {tsNone, tsRaised, tsShadow, tsBorder}) {
    LabelOnPanel label;
    label.label().SetTextStyle(style);
    label.label().SetShadowWidth(2);
    label.label().SetBorderWidth(1);
    label.label().SetEnabled(false);
    ExpectSame(label.Paint(), Compose(ink, {{0, 0, GetSysColor(COLOR_GRAYTEXT)}}));
  }
}

TEST(LabelDrawing, AnOpaqueLabelFillsItsAreaWithItsColourFirst) {
  LabelOnPanel label;
  label.label().SetTransparent(false);
  label.label().SetColor(tk::RGBColor(200, 0, 0));
  const Image image = label.Paint();
  EXPECT_EQ(image.At(kLeft, kTop), RGB(200, 0, 0));
  EXPECT_EQ(image.At(kLeft + kWidth - 1, kTop + kHeight - 1), RGB(200, 0, 0));
  EXPECT_EQ(image.At(kLeft - 1, kTop), kGreen);
  EXPECT_EQ(image.At(kLeft + kWidth, kTop), kGreen);
  EXPECT_EQ(InkOf(image, tk::ColorToRGB(kCaptionColor)), CaptionInk());
}

TEST(LabelDrawing, RightAlignedTextEndsOnePixelPastTheEdgeAndIsCut) {
  const std::string caption = "IIIl";
  const Mask left = CaptionInk(caption);
  // The text rectangle is (1, 0)-(W + 1, H): right-aligned, the text moves W - width(text).
  HDC screen = GetDC(nullptr);
  win::Font font = TestFont().CreateHandle();
  HGDIOBJ old = SelectObject(screen, font.get());
  SIZE size;
  GetTextExtentPoint32W(screen, L"IIIl", 4, &size);
  SelectObject(screen, old);
  ReleaseDC(nullptr, screen);
  LabelOnPanel right(caption);
  right.label().SetAlignment(tk::taRightJustify);
  ExpectSame(right.Paint(), Compose(left, {{kWidth - size.cx, 0, tk::ColorToRGB(kCaptionColor)}}));
}

TEST(LabelDrawing, TabsAreExpandedAndAmpersandsMarkTheAcceleratorUnlessSwitchedOff) {
  const COLORREF caption = tk::ColorToRGB(kCaptionColor);
  TEXTMETRICW metrics;
  HDC screen = GetDC(nullptr);
  win::Font font = TestFont().CreateHandle();
  HGDIOBJ old = SelectObject(screen, font.get());
  GetTextMetricsW(screen, &metrics);
  SelectObject(screen, old);
  ReleaseDC(nullptr, screen);
  // The default tab stops are eight average character widths apart.
  EXPECT_EQ(CaptionInk("\tK"), Shifted(CaptionInk("K"), 8 * metrics.tmAveCharWidth, 0));

  const Mask letter = CaptionInk("K");
  const Mask marked = CaptionInk("&K");
  const int bottom = BoundsOf(letter).bottom;
  EXPECT_GT(marked.size(), letter.size());
  for (auto p : letter) EXPECT_TRUE(marked.count(p)) << p.first << "," << p.second;
  for (auto p : marked) {
    if (!letter.count(p)) {
      EXPECT_GT(p.second, bottom) << "the underline lies below the letter";
    }
  }

  LabelOnPanel literal("&K");
  literal.label().SetShowAccelChar(false);
  EXPECT_EQ(InkOf(literal.Paint(), caption), CaptionInk("&&K"));  // the ampersand itself
  EXPECT_NE(CaptionInk("&&K"), CaptionInk("K"));
}

TEST(LabelProperties, ShadowWidthRefusesTenAndMore) {
  TOskelLabel label;
  label.SetShadowWidth(9);
  EXPECT_EQ(label.ShadowWidth(), 9);
  label.SetShadowWidth(10);
  EXPECT_EQ(label.ShadowWidth(), 9);
  label.SetShadowWidth(255);
  EXPECT_EQ(label.ShadowWidth(), 9);
  label.SetShadowWidth(0);
  EXPECT_EQ(label.ShadowWidth(), 0);
  EXPECT_EQ(label.BorderColor(), tk::clWhite);
  EXPECT_EQ(label.ShadowColor(), tk::clBlack);
  EXPECT_EQ(label.BorderWidth(), 0);
}

TEST(LabelProperties, ACaptionChangeNeverRefitsButTheFontDoes) {
  TOskelLabel label;
  label.SetFont(TestFont());
  label.SetCaption("Korvu");
  label.Loaded();
  const int fitted = label.Width();
  EXPECT_NE(fitted, 50);
  label.SetCaption("Korvu 5.02 build Ostelan");
  EXPECT_EQ(label.Width(), fitted);  // the longer text is cut at the edge
  tk::Font bigger = TestFont();
  bigger.height = 15;
  label.SetFont(bigger);
  EXPECT_GT(label.Width(), fitted);
  // The base label does refit on a caption change; right-aligned, it keeps its right edge.
  tk::Label plain;
  plain.SetFont(TestFont());
  plain.SetAlignment(tk::taRightJustify);
  plain.SetBounds(100, 0, 10, 10);
  plain.SetCaption("Korvu 5.02 build Ostelan");
  EXPECT_EQ(plain.Left() + plain.Width(), 110);
  EXPECT_GT(plain.Width(), fitted);
}

TEST(LabelProperties, SettersOnlyRequestARepaintOfTheLabelsRectangle) {
  HostWindow host(300, 100);
  tk::Panel panel;
  panel.SetBounds(0, 0, 300, 100);
  panel.Create(host.get());
  TOskelLabel label;
  label.SetBounds(30, 40, 100, 20);
  label.SetParent(&panel);
  UpdateWindow(panel.Handle());
  const int painted = label.PaintCount();
  ASSERT_GE(painted, 1);
  auto pending = [&] {
    RECT rect{};
    return GetUpdateRect(panel.Handle(), &rect, FALSE) ? rect : RECT{};
  };
  ASSERT_EQ(pending().right, 0);
  label.SetTextStyle(tsRaised);
  EXPECT_EQ(label.PaintCount(), painted);  // not during the setter
  const RECT rect = pending();
  EXPECT_EQ(std::tie(rect.left, rect.top, rect.right, rect.bottom),
            std::make_tuple(30L, 40L, 130L, 60L));
  UpdateWindow(panel.Handle());
  EXPECT_EQ(label.PaintCount(), painted + 1);
  label.SetTextStyle(tsRaised);
  label.SetShadowWidth(12);
  EXPECT_EQ(pending().right, 0);
}

}  // namespace
