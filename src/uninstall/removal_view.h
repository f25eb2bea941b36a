// What a removal needs of whoever watches it, and what it reports: the progress window's label and
// gauge, the cancel flag and the pump, and with a person the question before, the record's error
// and the final report. The three views (removal_views.h) are the modes: a person's window,
// /SILENT's window and /VERYSILENT's nothing. Tests drive removals through their own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/program_log.h"
#include "uninstall/removal_outcome.h"

namespace uninstall {

struct RemovalReport {
  std::vector<std::string> kept;  // paths kept by rule (ANSI), in order
  struct Failure {
    std::string what;  // "file", "folder", "registry value", ...
    std::string path;
  };
  std::vector<Failure> failed;  // items that could be neither removed nor scheduled
  bool restartNeeded = false;
  bool cancelled = false;
  // The record and the uninstall entry are gone: what the running uninstaller holds (its file
  // and these folders, deepest first) is left to be removed after it has ended.
  bool entryRemoved = false;
  std::vector<std::string> foldersHoldingTheUninstaller;
};

class RemovalView {
 public:
  virtual ~RemovalView() = default;

  // The progress.
  virtual void SetLabel(const std::wstring& text) = 0;
  virtual void SetGaugeMax(std::int32_t max) = 0;
  virtual void SetGaugePosition(std::int32_t position) = 0;
  // The person confirmed cancelling: the removal stops between two items.
  virtual bool Aborted() const = 0;
  virtual void Pump() = 0;

  // Before anything changes: whether the product titled `title` is to be removed (a person is
  // asked; the answer goes to the log). Unattended views remove.
  virtual bool ConfirmRemoval(const std::string&, base::ProgramLog&) { return true; }
  // The record cannot be used (its path named): a person sees the error.
  virtual void ShowRecordError(const std::string&) {}
  // Around the removal (the windows show themselves, and hide afterwards).
  virtual void RemovalBegins() {}
  virtual void RemovalEnds() {}
  // How it ended: a person sees the final box, or the first error.
  virtual void ShowReport(const std::string&, const RemovalReport&, RemovalOutcome) {}
};

}  // namespace uninstall
