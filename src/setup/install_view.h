// What an installation run needs of the wizard window: the progress page's label and gauge, the
// cancel flag, the write-error question and the message pump. The wizard window implements it;
// tests drive a run through their own.
#pragma once

#include <cstdint>
#include <string>

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
  // The write-error question (Abort, Retry, Ignore); returns the answer (3, 4, or anything else).
  virtual int AskWriteError(const std::wstring& text) = 0;
  // Handles every pending window message and returns.
  virtual void Pump() = 0;
  // Shows the error that ended the run, in the error box captioned "Ошибка". The window's
  // version is this default; tests record it instead.
  virtual void ShowRunError(const std::wstring& text);
};

}  // namespace setup
