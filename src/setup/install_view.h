// What an installation run needs of whoever watches it: the progress page's label and gauge, the
// cancel flag, the write-error question and the message pump. The wizard window implements it,
// silent runs have their own views (silent_views.h), and tests drive a run through theirs.
#pragma once

#include <cstdint>
#include <string>

#include "setup/started_tools.h"

namespace setup {

class InstallView {
 public:
  virtual ~InstallView() = default;

  // The caption of LabelFileName.
  virtual void SetFileLabel(const std::wstring& text) = 0;
  // ProgressBar: Max, Position (repainted at once) and visibility.
  virtual void SetGaugeMax(std::int32_t max) = 0;
  virtual void SetGaugePosition(std::int32_t position) = 0;
  virtual void SetGaugeVisible(bool visible) = 0;
  // The Aborted flag of the window: the user confirmed cancelling.
  virtual bool Aborted() const = 0;
  // The write-error question (Abort, Retry, Ignore) about a failed attempt whose system error
  // code is systemError; returns the answer (3, 4, or anything else).
  virtual int AskWriteError(const std::wstring& text, unsigned long systemError) = 0;
  // Handles every pending window message and returns.
  virtual void Pump() = 0;
  // Shows the error that ended the run, in the error box captioned "Ошибка". The window's
  // version is this default; tests record it instead.
  virtual void ShowRunError(const std::wstring& text);
  // The registration tools that the run started. The wizard lets them run on their own (this
  // default lets the handles go); silent runs keep them to wait for them.
  virtual void ToolsStarted(StartedTools tools);
};

}  // namespace setup
