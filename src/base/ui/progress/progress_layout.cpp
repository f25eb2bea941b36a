// The progress window's layout: the window itself, the header band, the page container and the
// "Progress" page, at the places and sizes designed at 96 pixels per inch, scaled for the screen.
#include <stdexcept>
#include <string>

#include "base/ui/progress/progress_window.h"
#include "core/product.h"
#include "toolkit/window_class.h"
#include "win32/wide_text.h"

namespace base {
namespace {

constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN | DS_MODALFRAME;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME | WS_EX_APPWINDOW;
// Designed client area and the header band's height.
constexpr int kClientWidth = 384;
constexpr int kClientHeight = 283;
constexpr int kCaptionHeight = 81;

// The window's system menu offers only Move and Close.
void TrimSystemMenu(HWND window) {
  HMENU menu = GetSystemMenu(window, FALSE);
  if (!menu) return;
  for (int i = GetMenuItemCount(menu) - 1; i >= 0; --i) {
    const UINT id = GetMenuItemID(menu, i);
    if (id != SC_MOVE && id != SC_CLOSE) DeleteMenu(menu, static_cast<UINT>(i), MF_BYPOSITION);
  }
}

SIZE TextExtent(HFONT font, const wchar_t* text) {
  const win::WindowDc screen(nullptr);
  const win::SelectGuard selected(screen.get(), font);
  SIZE size{};
  GetTextExtentPoint32W(screen.get(), text, static_cast<int>(wcslen(text)), &size);
  return size;
}

}  // namespace

void ProgressWindow::CreateWindowFrame(const wchar_t* caption) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  tk::RegisterWindowClass(kProgressWindowClass, WindowProc, 0,
                          reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));

  RECT frame{0, 0, scale_(kClientWidth), scale_(kClientHeight)};
  AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  // Centred over the area that spans all monitors (integer division rounds toward zero).
  const int left =
      GetSystemMetrics(SM_XVIRTUALSCREEN) + (GetSystemMetrics(SM_CXVIRTUALSCREEN) - width) / 2;
  const int top =
      GetSystemMetrics(SM_YVIRTUALSCREEN) + (GetSystemMetrics(SM_CYVIRTUALSCREEN) - height) / 2;
  window_.reset(CreateWindowExW(kExStyle, kProgressWindowClass, caption, kStyle, left, top, width,
                                height, nullptr, nullptr, instance, this));
  if (!window_) throw std::runtime_error("Cannot create the progress window");
  TrimSystemMenu(Handle());
}

void ProgressWindow::CreateFonts() {
  windowFont_ = tk::Font{L"Tahoma", scale_.windowFontHeight}.CreateHandle();
  boldFont_ = tk::Font{L"Tahoma", scale_(11), true}.CreateHandle();
}

HWND ProgressWindow::AddLabel(tk::Panel& parent, int left, int top, int width, int height,
                              const wchar_t* text, HFONT font, bool autoSize) {
  int w = scale_(width), h = scale_(height);
  if (autoSize) {
    const SIZE size = TextExtent(font, text);
    w = size.cx;
    h = size.cy;
  }
  HWND label = CreateWindowExW(
      0, L"STATIC", text, WS_CHILD | WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_NOPREFIX, scale_(left),
      scale_(top), w, h, parent.Handle(), nullptr, GetModuleHandleW(nullptr), nullptr);
  SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return label;
}

HWND ProgressWindow::AddButton(PageInfo& page, int left, int top, const wchar_t* text) {
  HWND button =
      CreateWindowExW(0, L"BUTTON", text, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                      scale_(left), scale_(top), scale_(75), scale_(25), page.panel->Handle(),
                      nullptr, GetModuleHandleW(nullptr), nullptr);
  SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(windowFont_.get()), FALSE);
  page.tabOrder.push_back(button);
  return button;
}

void ProgressWindow::CreateHeader() {
  panelCaption_ = std::make_unique<tk::Panel>();
  panelCaption_->SetBounds(0, 0, scale_(kClientWidth), scale_(kCaptionHeight));
  panelCaption_->SetColor(tk::clWhite);
  panelCaption_->Create(Handle());

  labelPrompt_ = std::make_unique<components::TOskelLabel>();
  labelPrompt_->SetBounds(scale_(28), scale_(26), scale_(297), scale_(25));
  labelPrompt_->SetAutoSize(false);
  labelPrompt_->SetCaption(std::string("Среда ") + product::kPublisher + " " + product::kName +
                           " ®");
  labelPrompt_->SetFont({L"Tahoma", scale_(21), true, tk::RGBColor(153, 204, 255)});
  labelPrompt_->SetParent(panelCaption_.get());

  progress_.Label1 = AddLabel(*panelCaption_, 282, 62, 100, 13,
                              win::AnsiToWide(product::kVersionLabel).c_str(), windowFont_.get(),
                              true);
}

void ProgressWindow::CreatePages(const Pages& pages) {
  notebook_ = std::make_unique<tk::Panel>();
  const int top = scale_(kCaptionHeight);
  const int width = scale_(kClientWidth), height = scale_(kClientHeight) - top;
  notebook_->SetBounds(0, top, width, height);
  notebook_->Create(Handle());
  pages_.resize(pages.names.size());
  for (std::size_t i = 0; i < pages_.size(); ++i) {
    pages_[i].panel = std::make_unique<tk::Panel>();
    pages_[i].panel->SetBounds(0, 0, width, height);
    pages_[i].panel->SetVisible(static_cast<int>(i) == pageIndex_);
    pages_[i].panel->Create(notebook_->Handle());
  }
}

void ProgressWindow::CreateProgressPage(const wchar_t* heading) {
  PageInfo& page = pages_[static_cast<std::size_t>(progressPage_)];
  progress_.Label6 = AddLabel(*page.panel, 28, 28, 186, 13, heading, boldFont_.get(), true);
  progress_.LabelFileName =
      AddLabel(*page.panel, 28, 56, 333, 13, L"Подготовка...", windowFont_.get(), false);

  progressBar_ = std::make_unique<components::TCoolGauge>();
  progressBar_->SetBounds(scale_(26), scale_(74), scale_(333), scale_(20));
  progressBar_->SetBorderStyle(tk::bsNone);
  progressBar_->SetForeColor1(tk::clWhite);
  progressBar_->SetForeColor2(tk::RGBColor(128, 128, 255));
  progressBar_->SetFont({L"Tahoma", scale_(11), false, tk::clBlack});
  progressBar_->SetText("%d%%");
  progressBar_->SetVisible(false);
  progressBar_->Create(page.panel->Handle());

  progress_.BCancelProgress = AddButton(page, 280, 168, L"Прервать");
  page.cancelButton = progress_.BCancelProgress;
}

}  // namespace base
