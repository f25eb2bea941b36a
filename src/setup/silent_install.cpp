#include "setup/silent_install.h"

#include <windows.h>

#include <exception>

#include "setup/disk_space.h"
#include "setup/globals.h"
#include "setup/install_sequence.h"
#include "setup/silent_views.h"
#include "toolkit/application.h"
#include "win32/wide_text.h"

namespace setup {
namespace {

void ProcessMessages() {
  if (auto* app = tk::Application::Instance()) app->ProcessMessages();
}

Outcome RunHeadless(InstallLog& log) {
  HeadlessView view;
  bool completed = false;
  try {
    completed = RunInstall(view, log);
  } catch (const std::exception& e) {
    log.Write(L"error: " + win::Utf8ToWide(e.what()));
    return Outcome::kFailed;
  }
  if (!completed) return Outcome::kFailed;
  WaitForTools(view.Tools(), kToolWait, log, ProcessMessages);
  return Outcome::kCompleted;
}

Outcome RunInWindow(InstallLog& log) {
  SilentWindow window(log);
  if (auto* app = tk::Application::Instance()) app->SetMainWindow(window.Handle());
  window.ShowOnProgressPage();
  bool completed = false;
  try {
    completed = window.RunOnProgressPage();
  } catch (...) {
    return window.RunOutcome();  // logged where it was caught
  }
  if (completed) {
    // Nothing can be cancelled any more: the run is over, the tools are given their time.
    EnableWindow(window.Ctl().BCancelProgress, FALSE);
    WaitForTools(window.Tools(), kToolWait, log, ProcessMessages);
  }
  return window.RunOutcome();
}

}  // namespace

Outcome RunSilently(dt::RunMode mode, const std::string& folder, InstallLog& log) {
  SetProgramGlobals();  // the disk-space check finds the archives where the run will
  log.WriteAnsi("installation folder: \"" + folder + "\"");
  if (const FolderStep step = PrepareInstallFolder(folder); !step.ready) {
    log.Write(FolderStepLogLine(step) + L"; nothing installed");
    return Outcome::kFolderNotCreated;
  }
  const DiskSpaceVerdict space = CheckDiskSpaceUnattended(InstallFolder);
  for (const std::string& line : space.logLines) log.WriteAnsi(line);
  if (!space.Enough()) {
    log.Write(L"not enough disk space: nothing installed");
    return Outcome::kNoDiskSpace;
  }
  return mode == dt::RunMode::kVerySilent ? RunHeadless(log) : RunInWindow(log);
}

}  // namespace setup
