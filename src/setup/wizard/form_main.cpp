#include "setup/wizard/form_main.h"

#include <stdexcept>

#include "base/ui/dialogs/dialogs.h"
#include "core/product.h"
#include "setup/run/disk_space.h"
#include "setup/run/install_sequence.h"
#include "setup/wizard/folder_browser.h"
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

}  // namespace

TFormMain::TFormMain()
    : ProgressView({{L"Wellcome", L"Settings", L"Progress", L"Finish"}, kProgress, kSettings}),
      RunProcedure([this](InstallView& view) { return RunInstall(state_, view, Log()); }) {
  static_cast<ProgressControls&>(c_) = ProgressCtl();
  CreateWellcomePage();
  CreateSettingsPage();
  CreateFinishPage();
  FormCreate();
}

void TFormMain::Show() {
  FormShow();
  ShowWindow(Handle(), SW_SHOWNORMAL);
  UpdateWindow(Handle());
}

void TFormMain::SetInstallPath(const std::string& folder) {
  SetWindowTextW(c_.EInstallPath, win::AnsiToWide(folder).c_str());
}

void TFormMain::ButtonClicked(HWND button) {
  if (button == c_.BNextWellcome) {
    BNextWellcomeClick();
  } else if (button == c_.BPrevSett) {
    BPrevSettClick();
  } else if (button == c_.BNextSett) {
    BNextSettClick();
  }
}

std::string TFormMain::InstallPathText() const {
  return win::WideToAnsi(WindowText(c_.EInstallPath));
}

void TFormMain::FormCreate() {
  SetInstallPath(product::kDefaultInstallFolder);
  Installing = false;
  state_ = StateOfThisProgram();  // SourceDir and ProgramTitle
}

void TFormMain::FormShow() {
  SetPageIndex(kWellcome);
  SetFocus(c_.BNextWellcome);
  RememberFocus(c_.BNextWellcome);
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
  for (std::string& level : created) state_.FoldersMade.push_back({std::move(level), "browser"});
  if (PickFolder(Handle(), L"Выберите директорию:", folder)) {
    Log().WriteAnsi("folder picked in the browser: \"" + folder + "\"");
    SetWindowTextW(c_.EInstallPath, win::AnsiToWide(folder).c_str());
  }
}

void TFormMain::BNextSettClick() {
  if (PrepareRun(state_, InstallPathText(), *this, Log())) {
    SetFocus(c_.EInstallPath);  // the person chooses again
    return;
  }
  // The run stays inside this handler: cancel and close during it come through its pumps.
  const RunEnd end = RunAndDecide(*this, Log(), RunProcedure);
  outcome_ = end.outcome;
  ShowFinish(end.outcome == Outcome::kCompleted);
  // The Finish page first; an error then goes on to the standard error report.
  if (end.error) std::rethrow_exception(end.error);
}

void TFormMain::ShowFinish(bool completed) {
  Installing = false;
  // The labels first: the page never shows both, not even for a moment.
  ShowWindow(c_.LabelFinishOk, completed ? SW_SHOW : SW_HIDE);
  ShowWindow(c_.LabelFinishBad, completed ? SW_HIDE : SW_SHOW);
  SetPageIndex(kFinish);
}

WriteErrorAnswer TFormMain::AskWriteError(const std::wstring& text, unsigned long /*systemError*/,
                                          int /*attempt*/) {
  PaintProgressNow();  // the label names the file asked about
  switch (base::ConfirmDialog(text, base::kAbortRetryIgnore)) {
    case base::kAbort:
      return WriteErrorAnswer::kAbort;
    case base::kRetry:
      return WriteErrorAnswer::kRetry;
    case base::kIgnore:
      return WriteErrorAnswer::kIgnore;
    default:
      return WriteErrorAnswer::kClosed;
  }
}

void TFormMain::ShowRunError(const std::wstring& text) {
  PaintProgressNow();
  base::ShowErrorBox(L"Ошибка", text);
}

bool TFormMain::AcceptDiskShortfall(const VolumeSpace& volume) {
  PaintProgressNow();
  const std::wstring question = DiskSpaceQuestion(volume);
  const int answer = base::ConfirmDialog(question, base::kOkCancel);
  Log().Write(L"question: " + question + L", answer: " + (answer == base::kOk ? L"OK" : L"Cancel"));
  return answer == base::kOk;
}

void TFormMain::ShowFolderError(const std::wstring& text) {
  PaintProgressNow();
  base::ShowErrorBox(L"", text);
}

}  // namespace setup
