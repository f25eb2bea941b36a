// render: draws one gauge (TCoolGauge) or one caption label (TOskelLabel) with the properties
// given on its command line into a .bmp file, on a panel with a margin around it, so a look can
// be checked without running the wizard. `render gauge --help` and `render label --help` list
// the options; `render batch FILE` runs many commands in one process. Exit status: 0 written,
// 1 the drawing or the file failed, 2 a usage error.
#include <windows.h>
#include <CLI/CLI.hpp>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "bmp_file.h"
#include "colors_arg.h"
#include "components/cool_gauge.h"
#include "components/oskel_label.h"
#include "toolkit/offscreen_bitmap.h"
#include "toolkit/panel.h"
#include "win32/wide_text.h"

using namespace components;  // TCoolGauge, TOskelLabel and their enums

namespace {

struct FontOptions {
  std::string name = "Tahoma";
  int height = 11;
  bool bold = false;
  std::string color = "clWindowText";
  bool aliased = false;

  void Add(CLI::App& app) {
    app.add_option("--font", name, "Font face")->capture_default_str();
    app.add_option("--font-height", height, "Character height in pixels")->capture_default_str();
    app.add_flag("--bold", bold, "Bold font");
    app.add_option("--font-color", color, "Text colour")->capture_default_str();
    app.add_flag("--aliased", aliased, "Plain glyphs without smoothing");
  }
  tk::Font Make() const {
    return {win::Utf8ToWide(name), height, bold, render::ParseColor(color), !aliased};
  }
};

struct Scene {
  std::string out;
  int width = 0;
  int height = 0;
  int margin = 6;
  std::string panel = "clBtnFace";
  bool flat = false;

  void Add(CLI::App& app, int defaultWidth, int defaultHeight) {
    width = defaultWidth;
    height = defaultHeight;
    app.add_option("out", out, "The .bmp file to write")->required();
    app.add_option("--width", width, "Width in pixels")->capture_default_str();
    app.add_option("--height", height, "Height in pixels")->capture_default_str();
    app.add_option("--margin", margin, "Panel shown around the control")->capture_default_str();
    app.add_option("--panel", panel, "The panel's colour")->capture_default_str();
    app.add_flag("--flat", flat, "The panel's 3-D look off (no sunken frame)");
  }
};

// A hidden top-level window that holds the panel, so the panel sees its children as windows.
class HiddenHost {
 public:
  HiddenHost() {
    window_ = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_CLIPCHILDREN, 0, 0, 10, 10, nullptr,
                              nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!window_) throw std::runtime_error("Cannot create a window");
  }
  ~HiddenHost() { DestroyWindow(window_); }
  HiddenHost(const HiddenHost&) = delete;
  HiddenHost& operator=(const HiddenHost&) = delete;
  HWND get() const { return window_; }

 private:
  HWND window_;
};

template <typename T>
T Choice(const std::map<std::string, T>& choices, const std::string& text) {
  const auto found = choices.find(text);
  if (found == choices.end()) throw std::invalid_argument("unknown value: " + text);
  return found->second;
}

void PreparePanel(tk::Panel& panel, const Scene& scene, int width, int height, HWND host) {
  panel.SetBounds(0, 0, width + 2 * scene.margin, height + 2 * scene.margin);
  panel.SetColor(render::ParseColor(scene.panel));
  panel.SetCtl3D(!scene.flat);
  panel.Create(host);
}

struct GaugeOptions {
  Scene scene;
  FontOptions font;
  std::string style = "dithered", border = "single", back = "clWhite", fore1 = "clBlue",
              fore2 = "clRed", text = "%d%%";
  std::int32_t min = 0, max = 100, position = 0;

  void Add(CLI::App& app) {
    scene.Add(app, 100, 20);
    font.Add(app);
    app.add_option("--style", style, "dithered or solid")->capture_default_str();
    app.add_option("--border", border, "single or none")->capture_default_str();
    app.add_option("--back", back, "BackColor")->capture_default_str();
    app.add_option("--fore1", fore1, "ForeColor1")->capture_default_str();
    app.add_option("--fore2", fore2, "ForeColor2")->capture_default_str();
    app.add_option("--text", text, "Text template")->capture_default_str();
    app.add_option("--max", max, "Max (assigned first)")->capture_default_str();
    app.add_option("--min", min, "Min (assigned second)")->capture_default_str();
    app.add_option("--position", position, "Position (assigned last)")->capture_default_str();
  }

  void Render() const {
    HiddenHost host;
    tk::Panel panel;
    PreparePanel(panel, scene, scene.width, scene.height, host.get());
    TCoolGauge gauge;
    gauge.SetBounds(scene.margin, scene.margin, scene.width, scene.height);
    gauge.SetStyle(Choice<tCoolGaugeStyle>({{"dithered", sDithered}, {"solid", sSolid}}, style));
    gauge.SetBorderStyle(
        Choice<tk::TBorderStyle>({{"single", tk::bsSingle}, {"none", tk::bsNone}}, border));
    gauge.SetBackColor(render::ParseColor(back));
    gauge.SetForeColor1(render::ParseColor(fore1));
    gauge.SetForeColor2(render::ParseColor(fore2));
    gauge.SetText(text);
    gauge.SetFont(font.Make());
    gauge.SetMax(max);
    gauge.SetMin(min);
    gauge.SetPosition(position);
    gauge.Create(panel.Handle());

    tk::OffscreenBitmap image(panel.Width(), panel.Height());
    panel.PaintTo(image.Dc());
    SetViewportOrgEx(image.Dc(), scene.margin, scene.margin, nullptr);
    gauge.PaintTo(image.Dc());
    SetViewportOrgEx(image.Dc(), 0, 0, nullptr);
    render::SaveBmp(image, win::Utf8ToWide(scene.out));
  }
};

struct LabelOptions {
  Scene scene;
  FontOptions font;
  std::string caption = "Korvu", textStyle = "none", borderColor = "clWhite",
              shadowColor = "clBlack", color = "clBtnFace", align = "left";
  int borderWidth = 0, shadowWidth = 0;
  bool opaque = false, disabled = false, wordWrap = false, noAccel = false, autoSize = false;

  void Add(CLI::App& app) {
    scene.Add(app, 297, 25);
    font.Add(app);
    app.add_option("--caption", caption, "Caption (UTF-8)")->capture_default_str();
    app.add_option("--text-style", textStyle, "none, raised, recessed, shadow or border")
        ->capture_default_str();
    app.add_option("--border-color", borderColor, "BorderColor")->capture_default_str();
    app.add_option("--border-width", borderWidth, "BorderWidth (0..255)")->capture_default_str();
    app.add_option("--shadow-color", shadowColor, "ShadowColor")->capture_default_str();
    app.add_option("--shadow-width", shadowWidth, "ShadowWidth (10 or more is refused)")
        ->capture_default_str();
    app.add_option("--color", color, "Background colour when opaque")->capture_default_str();
    app.add_flag("--opaque", opaque, "Transparent off");
    app.add_flag("--disabled", disabled, "Enabled off");
    app.add_option("--align", align, "left, right or center")->capture_default_str();
    app.add_flag("--word-wrap", wordWrap, "WordWrap on");
    app.add_flag("--no-accel", noAccel, "ShowAccelChar off");
    app.add_flag("--auto-size", autoSize, "AutoSize on: fit to the caption (width/height ignored)");
  }

  void Render() const {
    TOskelLabel label;
    label.SetAutoSize(false);
    label.SetBounds(scene.margin, scene.margin, scene.width, scene.height);
    label.SetFont(font.Make());
    label.SetCaption(caption);
    label.SetTextStyle(Choice<TTextStyle>({{"none", tsNone},
                                           {"raised", tsRaised},
                                           {"recessed", tsRecessed},
                                           {"shadow", tsShadow},
                                           {"border", tsBorder}},
                                          textStyle));
    label.SetBorderColor(render::ParseColor(borderColor));
    label.SetBorderWidth(static_cast<std::uint8_t>(borderWidth));
    label.SetShadowColor(render::ParseColor(shadowColor));
    label.SetShadowWidth(static_cast<std::uint8_t>(shadowWidth));
    label.SetColor(render::ParseColor(color));
    label.SetTransparent(!opaque);
    label.SetEnabled(!disabled);
    label.SetAlignment(Choice<tk::TAlignment>(
        {{"left", tk::taLeftJustify}, {"right", tk::taRightJustify}, {"center", tk::taCenter}},
        align));
    label.SetWordWrap(wordWrap);
    label.SetShowAccelChar(!noAccel);
    label.SetAutoSize(autoSize);

    HiddenHost host;
    tk::Panel panel;
    PreparePanel(panel, scene, label.Width(), label.Height(), host.get());
    label.SetParent(&panel);
    tk::OffscreenBitmap image(panel.Width(), panel.Height());
    panel.PaintTo(image.Dc());
    render::SaveBmp(image, win::Utf8ToWide(scene.out));
  }
};

// The command line as UTF-8 texts, whatever the ANSI code page (without the program's name).
std::vector<std::string> Utf8Arguments() {
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> args;
  for (int i = 1; i < count; ++i) args.push_back(win::WideToUtf8(wide[i]));
  LocalFree(wide);
  return args;
}

// Renders what one command line asks for; returns the exit status.
int RunCommand(const std::vector<std::string>& args) {
  CLI::App app{"render: draws one gauge or one caption label into a .bmp file"};
  app.require_subcommand(1);
  GaugeOptions gauge;
  LabelOptions label;
  gauge.Add(*app.add_subcommand("gauge", "The gradient progress gauge (TCoolGauge)"));
  label.Add(*app.add_subcommand("label", "The caption label (TOskelLabel)"));
  app.footer(
      "render batch FILE: one command per group of lines in FILE (UTF-8), one argument a line, "
      "groups separated by an empty line.");

  std::vector<const char*> argv{"render"};
  for (const auto& a : args) argv.push_back(a.c_str());
  try {
    app.parse(static_cast<int>(argv.size()), argv.data());
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? 0 : 2;
  }
  try {
    if (app.got_subcommand("gauge")) gauge.Render();
    if (app.got_subcommand("label")) label.Render();
  } catch (const std::invalid_argument& e) {
    std::cerr << "render: " << e.what() << '\n';
    return 2;
  } catch (const std::exception& e) {
    std::cerr << "render: " << e.what() << '\n';
    return 1;
  }
  return 0;
}

// Runs every command of a batch file (one Wine start for many images); the worst status wins.
int RunBatch(const std::string& path) {
  std::ifstream in(std::filesystem::u8path(path));
  if (!in) {
    std::cerr << "render: cannot read " << path << '\n';
    return 2;
  }
  int status = 0;
  std::vector<std::string> args;
  std::string line;
  const auto flush = [&] {
    if (!args.empty()) status = std::max(status, RunCommand(args));
    args.clear();
  };
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) {
      flush();
    } else {
      args.push_back(line);
    }
  }
  flush();
  return status;
}

}  // namespace

int main() {
  const std::vector<std::string> args = Utf8Arguments();
  if (args.size() == 2 && args[0] == "batch") return RunBatch(args[1]);
  return RunCommand(args);
}
