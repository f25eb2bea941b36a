// The views of a removal, one per mode: the progress window (the installer's frame and header,
// captioned "Удаление программы") under /SILENT, the same window with a person's question before
// and final box after, and /VERYSILENT's, which shows nothing.
#pragma once

#include "base/ui/progress/progress_window.h"
#include "uninstall/removal_view.h"

namespace uninstall {

// The uninstaller's title: its window's caption, its boxes' and the help box's.
inline constexpr wchar_t kUninstallerTitle[] = L"Удаление программы";

// /SILENT: the progress window, whose "Прервать" asks; no question and no final box.
class RemovalWindow : public base::ProgressWindow, public RemovalView {
 public:
  RemovalWindow();
  void SetLabel(const std::wstring& text) override { SetFileLabel(text); }
  // The gauge counts the record's items.
  void SetGaugeMax(std::int32_t max) override {
    ProgressWindow::SetGaugeMax(max);
    SetGaugeVisible(true);
  }
  void SetGaugePosition(std::int32_t position) override {
    ProgressWindow::SetGaugePosition(position);
  }
  bool Aborted() const override { return ProgressWindow::Aborted(); }
  void Pump() override { ProgressWindow::Pump(); }
  void RemovalBegins() override { ShowProgressPage(); }
  void RemovalEnds() override;
};

// With a person: the question, the record's error and the final box as well.
class PersonRemovalWindow : public RemovalWindow {
 public:
  bool ConfirmRemoval(const std::string& title, base::ProgramLog& log) override;
  void ShowRecordError(const std::string& recordPath) override;
  void ShowReport(const std::string& title, const RemovalReport& report,
                  RemovalOutcome outcome) override;
};

// /VERYSILENT: nothing to see, nothing to cancel.
class WindowlessRemovalView : public RemovalView {
 public:
  void SetLabel(const std::wstring&) override {}
  void SetGaugeMax(std::int32_t) override {}
  void SetGaugePosition(std::int32_t) override {}
  bool Aborted() const override { return false; }
  void Pump() override;
};

// The final box's text: removed, what was kept, and a restart when one is needed.
std::wstring FinalText(const std::string& title, const RemovalReport& report);

}  // namespace uninstall
