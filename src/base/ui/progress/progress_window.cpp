#include "base/ui/progress/progress_window.h"

#include <chrono>

#include "base/ui/dialogs/dialogs.h"
#include "toolkit/application.h"
#include "toolkit/error_report.h"

namespace base {
namespace {

// QueryPerformanceCounter in microseconds (split, so that the product cannot overflow).
std::chrono::microseconds PerformanceCounterNow() {
  static const LONGLONG frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f.QuadPart;
  }();
  LARGE_INTEGER count;
  QueryPerformanceCounter(&count);
  return std::chrono::microseconds(count.QuadPart / frequency * 1'000'000 +
                                   count.QuadPart % frequency * 1'000'000 / frequency);
}

}  // namespace

ProgressWindow::ProgressWindow(const Texts& texts, const Pages& pages)
    : scale_(ScreenLayoutScale()),
      pageNames_(pages.names),
      progressPage_(pages.progress),
      pageIndex_(pages.first),
      cancelQuestion_(texts.cancelQuestion),
      progressPaint_(PerformanceCounterNow,
                     {[this](const std::wstring& text) {
                        SetWindowTextW(progress_.LabelFileName, text.c_str());
                      },
                      [this](std::int32_t position) { progressBar_->SetPosition(position); }}) {
  CreateWindowFrame(texts.caption);
  CreateFonts();
  CreateHeader();
  CreatePages(pages);
  CreateProgressPage(texts.heading);
  if (auto* app = tk::Application::Instance()) {
    keyFilter_ = app->AddMessageFilter([this](MSG& msg) { return FilterKey(msg); });
  }
}

ProgressWindow::~ProgressWindow() {
  if (auto* app = tk::Application::Instance(); app && keyFilter_) {
    app->RemoveMessageFilter(keyFilter_);
  }
  if (window_) SetWindowLongPtrW(Handle(), GWLP_USERDATA, 0);
}

LRESULT CALLBACK ProgressWindow::WindowProc(HWND window, UINT message, WPARAM wparam,
                                            LPARAM lparam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* form = reinterpret_cast<ProgressWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!form || !form->window_) return DefWindowProcW(window, message, wparam, lparam);
  try {
    return form->HandleMessage(message, wparam, lparam);
  } catch (...) {
    tk::ReportCurrentException();
    return 0;
  }
}

LRESULT ProgressWindow::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COMMAND: {
      const auto control = reinterpret_cast<HWND>(lparam);
      const UINT code = HIWORD(wparam);
      if (control && code == BN_CLICKED) Click(control);
      return 0;
    }
    case kRefreshDefaultLook:
      UpdateDefaultLook(GetFocus());
      return 0;
    case WM_CLOSE:
      Close();
      return 0;
    case WM_ACTIVATE:
      // Like a dialog, the window gives the focus back to the control that had it.
      if (LOWORD(wparam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(Handle(), focus)) savedFocus_ = focus;
        return 0;
      }
      if (savedFocus_ && IsWindow(savedFocus_) && IsWindowVisible(savedFocus_)) {
        SetFocus(savedFocus_);
        return 0;
      }
      break;
    case WM_SETFOCUS:
      if (savedFocus_ && IsWindow(savedFocus_) && IsWindowVisible(savedFocus_)) {
        SetFocus(savedFocus_);
      }
      return 0;
    default:
      break;
  }
  return DefWindowProcW(Handle(), message, wparam, lparam);
}

void ProgressWindow::Click(HWND button) {
  if (!IsWindowEnabled(button)) return;  // Enter or Esc on a button that cannot be pressed now
  for (const PageInfo& page : pages_) {
    if (button == page.cancelButton) return BCancelClick();
  }
  ButtonClicked(button);
}

void ProgressWindow::Close() {
  auto* app = tk::Application::Instance();
  if (app && app->MainWindow() == Handle()) {
    if (Installing)
      log_->Write(L"close request during the run: the run goes on, then the program ends");
    app->Terminate();
  } else {
    ShowWindow(Handle(), SW_HIDE);
  }
}

void ProgressWindow::SetPageIndex(int page) {
  if (page < 0 || page >= static_cast<int>(pages_.size())) return;
  PaintProgressNow();
  HWND focus = GetFocus();
  const bool focusInForm = focus && (focus == Handle() || IsChild(Handle(), focus));
  tk::Panel& next = *pages_[static_cast<std::size_t>(page)].panel;
  const bool focusOnNext = focus && IsChild(next.Handle(), focus);
  if (page != pageIndex_ || !IsWindowVisible(Handle())) {
    log_->Write(std::wstring(L"page shown: ") + pageNames_[static_cast<std::size_t>(page)]);
  }
  pageIndex_ = page;
  // Show the new page before hiding the old one, so the focus never sits on a hidden control.
  next.SetVisible(true);
  if (focusInForm && !focusOnNext) {
    const auto& order = TabOrder(page);
    if (!order.empty()) SetFocus(order.front());
  }
  for (std::size_t i = 0; i < pages_.size(); ++i) {
    if (static_cast<int>(i) != page) pages_[i].panel->SetVisible(false);
  }
  UpdateDefaultLook(GetFocus());
}

const std::vector<HWND>& ProgressWindow::TabOrder(int page) const {
  return pages_[static_cast<std::size_t>(page)].tabOrder;
}
HWND ProgressWindow::DefaultButton(int page) const {
  return pages_[static_cast<std::size_t>(page)].defaultButton;
}
HWND ProgressWindow::CancelButton(int page) const {
  return pages_[static_cast<std::size_t>(page)].cancelButton;
}

void ProgressWindow::ShowProgressPage() {
  SetPageIndex(progressPage_);
  if (!IsWindowVisible(Handle())) {  // a window without other pages shows on this one only
    ShowWindow(Handle(), SW_SHOWNORMAL);
    UpdateWindow(Handle());
  }
  Pump();
  SetFocus(progress_.BCancelProgress);
  savedFocus_ = progress_.BCancelProgress;
  Installing = true;
}

void ProgressWindow::BCancelClick() {
  if (!Installing) {
    Close();
    return;
  }
  Pump();
  PaintProgressNow();
  log_->Write(L"cancel requested");
  if (ConfirmDialog(cancelQuestion_, kOkCancel) != kOk) {
    log_->Write(L"cancel declined: the run goes on");
    Pump();
    return;
  }
  log_->Write(L"cancel confirmed");
  aborted_ = true;
  Pump();
  Close();
}

// A run names each step before taking it: the moment to paint when a paint is due.
void ProgressWindow::SetFileLabel(const std::wstring& text) {
  progressPaint_.SetLabel(text);
  if (progressBar_->Visible()) {
    progressPaint_.PaintIfDue();
  } else {
    progressPaint_.Flush();  // a stage of its own (the registration), not a stream of entries
  }
}
void ProgressWindow::SetGaugeMax(std::int32_t max) {
  PaintProgressNow();  // a stored position belongs to the old scale
  progressBar_->SetMax(max);
}
void ProgressWindow::SetGaugePosition(std::int32_t position) {
  progressPaint_.SetPosition(position);
}
void ProgressWindow::SetGaugeVisible(bool visible) {
  PaintProgressNow();
  progressBar_->SetVisible(visible);
}

void ProgressWindow::LockCancel() {
  EnableWindow(progress_.BCancelProgress, FALSE);
}

void ProgressWindow::Pump() {
  progressPaint_.PaintIfDue();
  if (auto* app = tk::Application::Instance()) app->ProcessMessages();
}

}  // namespace base
