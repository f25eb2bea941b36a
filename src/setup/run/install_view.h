// What an installation run needs of whoever watches it: the progress page's label and gauge, the
// cancel flag, the write-error question, the disk-space question and the message pump. The wizard
// window implements it, the unattended runs have their own views (unattended/), and tests drive a
// run through theirs. The run never sees a window: only this interface.
#pragma once

#include <cstdint>
#include <string>

#include "base/started_programs.h"

namespace setup {

struct VolumeSpace;

// The answer to the write-error question about a file that cannot be written.
enum class WriteErrorAnswer {
  kAbort,   // the run ends with the error
  kRetry,   // the same file is tried again
  kIgnore,  // the file is skipped
  kClosed,  // the question was closed without an answer: skipped, as Ignore
};

// How the log names an answer.
const wchar_t* AnswerName(WriteErrorAnswer answer);

class InstallView {
 public:
  virtual ~InstallView() = default;

  // The caption of LabelFileName. Every entry is named before it is written.
  virtual void SetFileLabel(const std::wstring& text) = 0;
  // ProgressBar: Max, Position (repainted at once) and visibility.
  virtual void SetGaugeMax(std::int32_t max) = 0;
  virtual void SetGaugePosition(std::int32_t position) = 0;
  virtual void SetGaugeVisible(bool visible) = 0;
  // The Aborted flag of the window: the user confirmed cancelling.
  virtual bool Aborted() const = 0;
  // The write-error question (Abort, Retry, Ignore) about a failed attempt to write one file:
  // systemError is the system's error code, attempt counts the failed attempts at this file
  // (1 for the first; each Retry that fails again adds one).
  virtual WriteErrorAnswer AskWriteError(const std::wstring& text, unsigned long systemError,
                                         int attempt) = 0;
  // Handles every pending window message and returns: the one pump of a run.
  virtual void Pump() = 0;
  // Shows the error that ended the run (the wizard: the error box captioned "Ошибка").
  virtual void ShowRunError(const std::wstring& text) = 0;
  // The registration tools that the run started. The wizard lets them run on their own (this
  // default lets the handles go); unattended runs wait for them.
  virtual void ToolsStarted(base::StartedTools tools);

  // Around the run, also when it ends with an error (the wizard shows its "Progress" page and
  // keeps its Installing flag).
  virtual void RunBegins() {}
  virtual void RunEnds() {}

  // Before the run. A volume falls short of the space the archives need: true goes on anyway
  // (the wizard asks the person; unattended views decline).
  virtual bool AcceptDiskShortfall(const VolumeSpace& volume) = 0;
  // The installation folder cannot be created or is not a folder (the wizard shows the error).
  virtual void ShowFolderError(const std::wstring& text) = 0;
  // What a refused preparation means, added to its log line: nothing for the wizard, which lets
  // the person choose again; "nothing installed" for unattended views, which end there.
  virtual const wchar_t* RefusalNote() const { return L""; }
};

}  // namespace setup
