#include "setup/install_sequence.h"

#include "core/gauge_scale.h"
#include "setup/extraction.h"
#include "setup/globals.h"
#include "setup/messages.h"
#include "setup/package_archives.h"
#include "setup/registration.h"
#include "win32/files.h"

namespace setup {
namespace {

std::string ArchivePath(const char* name) {
  return PackageArchivePath(name);
}

std::int64_t ArchiveSize(const char* name) {
  return static_cast<std::int64_t>(win::GetFileSize64ByName(ArchivePath(name)).value_or(0));
}

// Unpacks one archive if it exists; true when the run is to go on.
bool UnpackIfPresent(const char* name, bool overwrite, TMessages& messages, InstallView& view,
                     InstallLog& log) {
  if (!win::FileExistsQuiet(ArchivePath(name))) {
    log.WriteAnsi("archive \"" + ArchivePath(name) + "\" is not there: skipped");
    return true;
  }
  UnpackArchive(ArchivePath(name), messages, overwrite, view, log);
  return !view.Aborted() && messages.Error.empty();
}

}  // namespace

bool PrepareInstallFolder(const std::string& folder) {
  InstallFolder = folder;
  win::ForceDirectories(InstallFolder);
  return win::DirectoryExistsQuiet(InstallFolder);
}

bool RunInstall(InstallView& view, InstallLog& log) {
  return RunInstall(view, SystemRegistry(), log);
}

bool RunInstall(InstallView& view, ProductRegistry& registry, InstallLog& log) {
  TMessages messages;
  TotalBytes = 0;
  DoneBytes = 0;
  const auto& [programFiles, systemFiles] = kPackageArchives;
  TotalBytes += ArchiveSize(programFiles.name);
  TotalBytes += ArchiveSize(systemFiles.name);
  view.SetGaugeMax(dt::ToGauge(TotalBytes, TotalBytes));
  view.SetGaugeVisible(true);

  if (UnpackIfPresent(programFiles.name, programFiles.overwrite, messages, view, log) &&
      UnpackIfPresent(systemFiles.name, systemFiles.overwrite, messages, view, log)) {
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
