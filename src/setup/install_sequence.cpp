#include "setup/install_sequence.h"

#include <algorithm>

#include "core/gauge_scale.h"
#include "setup/extraction.h"
#include "setup/globals.h"
#include "setup/messages.h"
#include "setup/registration.h"
#include "win32/files.h"

namespace setup {
namespace {

// Unpacks one archive if the distribution carries it; true when the run is to go on.
bool UnpackIfPresent(const ArchiveSource& archive, bool overwrite, TMessages& messages,
                     InstallView& view, InstallLog& log) {
  if (!archive.Present()) {
    log.WriteAnsi("archive \"" + archive.Name() + "\" is not there: skipped");
    return true;
  }
  UnpackArchive(archive, messages, overwrite, view, log);
  return !view.Aborted() && messages.Error.empty();
}

}  // namespace

FolderStep PrepareInstallFolder(const std::string& folder) {
  InstallFolder = folder;
  const unsigned long error = win::ForceDirectories(InstallFolder);
  return {win::DirectoryExistsQuiet(InstallFolder), error};
}

std::wstring FolderStepLogLine(const FolderStep& step) {
  std::wstring text = kFolderStepError;
  std::replace(text.begin(), text.end(), L'\r', L' ');
  return L"the installation folder cannot be created or is not a folder (" +
         (step.systemError ? L"system error " + std::to_wstring(step.systemError)
                           : std::wstring(L"no folder created")) +
         L"): " + text;
}

bool RunInstall(InstallView& view, InstallLog& log) {
  return RunInstall(view, SystemRegistry(), ArchivesOfThisProgram(), log);
}

bool RunInstall(InstallView& view, ProductRegistry& registry, InstallLog& log) {
  return RunInstall(view, registry, ArchivesBeside(SourceDir), log);
}

bool RunInstall(InstallView& view, ProductRegistry& registry, const ArchiveSources& archives,
                InstallLog& log) {
  TMessages messages;
  TotalBytes = 0;
  DoneBytes = 0;
  TotalBytes += static_cast<std::int64_t>(archives.programFiles->Size());
  TotalBytes += static_cast<std::int64_t>(archives.systemFiles->Size());
  view.SetGaugeMax(dt::ToGauge(TotalBytes, TotalBytes));
  view.SetGaugeVisible(true);

  if (UnpackIfPresent(*archives.programFiles, /*overwrite=*/true, messages, view, log) &&
      UnpackIfPresent(*archives.systemFiles, /*overwrite=*/false, messages, view, log)) {
    view.SetGaugePosition(dt::ToGauge(TotalBytes, TotalBytes));
    view.SetGaugeVisible(false);
    view.SetFileLabel(L"Регистрация библиотек программы...");
    view.ToolsStarted(RegisterProduct(registry, messages.Written.TotalKiB(), log));
  }

  if (view.Aborted()) {
    log.Write(L"the run was cancelled");
    return false;
  }
  if (!messages.Error.empty()) {
    log.Write(L"the run ended with an error: " + messages.Error);
    view.ShowRunError(messages.Error);
    return false;
  }
  return true;
}

}  // namespace setup
