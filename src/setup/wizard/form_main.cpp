#include "setup/wizard/form_main.h"

#include <chrono>
#include <stdexcept>

#include "core/product.h"
#include "core/text.h"
#include "setup/dialogs/dialogs.h"
#include "setup/run/disk_space.h"
#include "setup/wizard/folder_browser.h"
#include "setup/run/globals.h"
#include "setup/run/install_sequence.h"
#include "toolkit/application.h"
#include "toolkit/error_report.h"
#include "win32/files.h"
#include "win32/wide_text.h"

namespace setup {

namespace {

std::wstring WindowText(HWND window) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(
      static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

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

TFormMain::TFormMain()
    : Installation([this](InstallView& view) { return RunInstall(view, *log_); }),
      scale_(ScreenLayoutScale()),
      progressPaint_(
          PerformanceCounterNow,
          {[this](const std::wstring& text) { SetWindowTextW(c_.LabelFileName, text.c_str()); },
           [this](std::int32_t position) { progressBar_->SetPosition(position); }}) {
  CreateWindowFrame();
  CreateFonts();
  CreateHeader();
  CreatePages();
  if (auto* app = tk::Application::Instance()) {
    keyFilter_ = app->AddMessageFilter([this](MSG& msg) { return FilterKey(msg); });
  }
  FormCreate();
}

TFormMain::~TFormMain() {
  if (auto* app = tk::Application::Instance(); app && keyFilter_) {
    app->RemoveMessageFilter(keyFilter_);
  }
  if (window_) SetWindowLongPtrW(Handle(), GWLP_USERDATA, 0);
}

void TFormMain::Show() {
  FormShow();
  ShowWindow(Handle(), SW_SHOWNORMAL);
  UpdateWindow(Handle());
}

void TFormMain::SetInstallPath(const std::string& folder) {
  SetWindowTextW(c_.EInstallPath, win::AnsiToWide(folder).c_str());
}

LRESULT CALLBACK TFormMain::WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* form = reinterpret_cast<TFormMain*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!form || !form->window_) return DefWindowProcW(window, message, wparam, lparam);
  try {
    return form->HandleMessage(message, wparam, lparam);
  } catch (...) {
    tk::ReportCurrentException();
    return 0;
  }
}

LRESULT TFormMain::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
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

void TFormMain::Click(HWND button) {
  if (!IsWindowEnabled(button)) return;  // Enter or Esc on a button that cannot be pressed now
  if (button == c_.BNextWellcome) {
    BNextWellcomeClick();
  } else if (button == c_.BPrevSett) {
    BPrevSettClick();
  } else if (button == c_.BNextSett) {
    BNextSettClick();
  } else if (button == c_.BCancelWellcome || button == c_.BCancelSett ||
             button == c_.BCancelProgress || button == c_.BCancelFinish) {
    BCancelClick();
  }
}

void TFormMain::Close() {
  auto* app = tk::Application::Instance();
  if (app && app->MainWindow() == Handle()) {
    if (Installing)
      log_->Write(L"close request during the run: the run goes on, then the program ends");
    app->Terminate();
  } else {
    ShowWindow(Handle(), SW_HIDE);
  }
}

void TFormMain::SetPageIndex(int page) {
  if (page < 0 || page >= static_cast<int>(pages_.size())) return;
  PaintProgressNow();
  HWND focus = GetFocus();
  const bool focusInForm = focus && (focus == Handle() || IsChild(Handle(), focus));
  tk::Panel& next = *pages_[static_cast<std::size_t>(page)].panel;
  const bool focusOnNext = focus && IsChild(next.Handle(), focus);
  if (page != pageIndex_ || !IsWindowVisible(Handle())) {
    static constexpr const wchar_t* kPageNames[] = {L"Wellcome", L"Settings", L"Progress",
                                                    L"Finish"};
    log_->Write(std::wstring(L"page shown: ") + kPageNames[page]);
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

const std::vector<HWND>& TFormMain::TabOrder(int page) const {
  return pages_[static_cast<std::size_t>(page)].tabOrder;
}
HWND TFormMain::DefaultButton(int page) const {
  return pages_[static_cast<std::size_t>(page)].defaultButton;
}
HWND TFormMain::CancelButton(int page) const {
  return pages_[static_cast<std::size_t>(page)].cancelButton;
}

std::string TFormMain::InstallPathText() const {
  return win::WideToAnsi(WindowText(c_.EInstallPath));
}

void TFormMain::FormCreate() {
  SetInstallPath(product::kDefaultInstallFolder);
  Installing = false;
  aborted_ = false;
  SetProgramGlobals();  // SourceDir and ProgramTitle
}

void TFormMain::FormShow() {
  SetPageIndex(kWellcome);
  SetFocus(c_.BNextWellcome);
  savedFocus_ = c_.BNextWellcome;
}

void TFormMain::BNextWellcomeClick() {
  SetPageIndex(kSettings);
  SetFocus(c_.EInstallPath);
}

void TFormMain::BPrevSettClick() {
  SetPageIndex(kWellcome);
  SetFocus(c_.BNextWellcome);
}

void TFormMain::BBrowsePathClick() {
  std::string folder = InstallPathText();
  // Opening the browser leaves the typed folder on disk, so that the tree can open on it.
  std::vector<std::string> created;
  win::CreateFolderLevels(folder, {}, created);
  for (std::string& level : created) FoldersMade.push_back({std::move(level), "browser"});
  if (PickFolder(Handle(), L"Выберите директорию:", folder)) {
    log_->WriteAnsi("folder picked in the browser: \"" + folder + "\"");
    SetWindowTextW(c_.EInstallPath, win::AnsiToWide(folder).c_str());
  }
}

void TFormMain::BNextSettClick() {
  if (PrepareRun(InstallPathText(), *this, *log_)) {
    SetFocus(c_.EInstallPath);  // the person chooses again
    return;
  }
  // The run stays inside this handler: cancel and close during it come through its pumps.
  const RunEnd end = RunAndDecide(*this, *log_, Installation);
  outcome_ = end.outcome;
  ShowFinish(end.outcome == Outcome::kCompleted);
  // The Finish page first; an error then goes on to the standard error report.
  if (end.error) std::rethrow_exception(end.error);
}

void TFormMain::RunBegins() {
  SetPageIndex(kProgress);
  if (!IsWindowVisible(Handle())) {  // an unattended run shows the window on this page only
    ShowWindow(Handle(), SW_SHOWNORMAL);
    UpdateWindow(Handle());
  }
  Pump();
  SetFocus(c_.BCancelProgress);
  savedFocus_ = c_.BCancelProgress;
  Installing = true;
}

void TFormMain::ShowFinish(bool completed) {
  Installing = false;
  // The labels first: the page never shows both, not even for a moment.
  ShowWindow(c_.LabelFinishOk, completed ? SW_SHOW : SW_HIDE);
  ShowWindow(c_.LabelFinishBad, completed ? SW_HIDE : SW_SHOW);
  SetPageIndex(kFinish);
}

void TFormMain::BCancelClick() {
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

// The run names each entry before writing it: the moment to paint when a paint is due.
void TFormMain::SetFileLabel(const std::wstring& text) {
  progressPaint_.SetLabel(text);
  if (progressBar_->Visible()) {
    progressPaint_.PaintIfDue();
  } else {
    progressPaint_.Flush();  // a stage of its own (the registration), not a stream of entries
  }
}
void TFormMain::SetGaugeMax(std::int32_t max) {
  PaintProgressNow();  // a stored position belongs to the old scale
  progressBar_->SetMax(max);
}
void TFormMain::SetGaugePosition(std::int32_t position) {
  progressPaint_.SetPosition(position);
}
void TFormMain::SetGaugeVisible(bool visible) {
  PaintProgressNow();
  progressBar_->SetVisible(visible);
}

WriteErrorAnswer TFormMain::AskWriteError(const std::wstring& text, unsigned long /*systemError*/,
                                          int /*attempt*/) {
  PaintProgressNow();  // the label names the file asked about
  switch (ConfirmDialog(text, kAbortRetryIgnore)) {
    case kAbort:
      return WriteErrorAnswer::kAbort;
    case kRetry:
      return WriteErrorAnswer::kRetry;
    case kIgnore:
      return WriteErrorAnswer::kIgnore;
    default:
      return WriteErrorAnswer::kClosed;
  }
}

void TFormMain::ShowRunError(const std::wstring& text) {
  PaintProgressNow();
  ShowErrorBox(L"Ошибка", text);
}

bool TFormMain::AcceptDiskShortfall(const VolumeSpace& volume) {
  PaintProgressNow();
  const std::wstring question = DiskSpaceQuestion(volume);
  const int answer = ConfirmDialog(question, kOkCancel);
  log_->Write(L"question: " + question + L", answer: " + (answer == kOk ? L"OK" : L"Cancel"));
  return answer == kOk;
}

void TFormMain::ShowFolderError(const std::wstring& text) {
  PaintProgressNow();
  ShowErrorBox(L"", text);
}

void TFormMain::LockCancel() {
  EnableWindow(c_.BCancelProgress, FALSE);
}

void TFormMain::Pump() {
  progressPaint_.PaintIfDue();
  if (auto* app = tk::Application::Instance()) app->ProcessMessages();
}

}  // namespace setup
