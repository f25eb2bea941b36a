// The views of a run that needs no person. /VERYSILENT watches through HeadlessView (no window at
// all); /SILENT through SilentWindow, the wizard window kept on its "Progress" page, whose cancel
// button and close requests behave as on the wizard's progress page. Both answer the write-error
// question themselves, show no error, and keep the registration tools started, to wait for them.
#pragma once

#include <chrono>
#include <functional>

#include "setup/form_main.h"
#include "setup/install_view.h"

namespace setup {

class InstallLog;

// The program's answer to the write-error question: a file held by another process (a sharing or
// lock violation) is retried up to kRetries times, kRetryPause apart (pumping messages meanwhile);
// then, and on any other failure, Abort.
class SilentWriteErrorPolicy {
 public:
  static constexpr int kRetries = 10;
  static constexpr std::chrono::milliseconds kRetryPause{500};

  explicit SilentWriteErrorPolicy(std::function<void()> pump) : pump_(std::move(pump)) {}
  int Answer(unsigned long systemError);
  // The entry at hand has been dealt with: the next one starts with every retry.
  void NextEntry() { retries_ = 0; }

 private:
  std::function<void()> pump_;
  int retries_ = 0;
};

// /VERYSILENT: shows nothing, cannot be cancelled.
class HeadlessView : public InstallView {
 public:
  HeadlessView();
  void SetFileLabel(const std::wstring&) override;
  void SetGaugeMax(std::int32_t) override {}
  void SetGaugePosition(std::int32_t) override {}
  void SetGaugeVisible(bool) override {}
  bool Aborted() const override { return false; }
  int AskWriteError(const std::wstring& text, unsigned long systemError) override;
  void Pump() override;
  void ShowRunError(const std::wstring&) override {}  // the run has logged it
  void ToolsStarted(StartedTools tools) override { tools_ = std::move(tools); }

  StartedTools& Tools() { return tools_; }

 private:
  SilentWriteErrorPolicy policy_;
  StartedTools tools_;
};

// /SILENT: the wizard window on its "Progress" page.
class SilentWindow : public TFormMain {
 public:
  explicit SilentWindow(InstallLog& log);
  void SetFileLabel(const std::wstring& text) override;
  int AskWriteError(const std::wstring& text, unsigned long systemError) override;
  void ShowRunError(const std::wstring&) override {}  // the run has logged it
  void ToolsStarted(StartedTools tools) override { tools_ = std::move(tools); }

  StartedTools& Tools() { return tools_; }

 private:
  SilentWriteErrorPolicy policy_;
  StartedTools tools_;
};

}  // namespace setup
