// The progress window as an installation run's view: the label, the gauge, the cancel flag and the
// pump of the run go to the window. What a run asks (the write-error and disk-space questions, the
// folder and run errors) is left to the wizard and the unattended views.
#pragma once

#include "base/ui/progress/progress_window.h"
#include "setup/run/install_view.h"

namespace setup {

// The installer's texts of the window.
inline constexpr wchar_t kApplicationTitle[] = L"Установка программы";
inline constexpr base::ProgressWindow::Texts kInstallerWindowTexts{
    kApplicationTitle, L"Процесс установки программы.", L"Прервать установку программы?"};

class ProgressView : public base::ProgressWindow, public InstallView {
 public:
  // The window with the "Progress" page alone, or with the pages given.
  explicit ProgressView(const Pages& pages = {{L"Progress"}, 0, 0})
      : ProgressWindow(kInstallerWindowTexts, pages) {}

  void SetFileLabel(const std::wstring& text) override { ProgressWindow::SetFileLabel(text); }
  void SetGaugeMax(std::int32_t max) override { ProgressWindow::SetGaugeMax(max); }
  void SetGaugePosition(std::int32_t position) override {
    ProgressWindow::SetGaugePosition(position);
  }
  void SetGaugeVisible(bool visible) override { ProgressWindow::SetGaugeVisible(visible); }
  bool Aborted() const override { return ProgressWindow::Aborted(); }
  void Pump() override { ProgressWindow::Pump(); }
  // Switches to the "Progress" page with the focus on its cancel button (showing the window
  // when it is hidden: an unattended run), and sets Installing.
  void RunBegins() override { ShowProgressPage(); }
  void RunEnds() override { Installing = false; }
};

}  // namespace setup
