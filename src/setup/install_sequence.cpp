#include "setup/install_sequence.h"

#include "core/gauge_scale.h"
#include "setup/extraction.h"
#include "setup/globals.h"
#include "setup/messages.h"
#include "setup/registration.h"

namespace setup {
namespace {

// Unpacks one archive if the distribution carries it; true when the run is to go on.
bool UnpackIfPresent(const ArchiveSource& archive, bool overwrite, TMessages& messages,
                     InstallView& view) {
  if (!archive.Present()) return true;
  UnpackArchive(archive, messages, overwrite, view);
  return !view.Aborted() && messages.Error.empty();
}

}  // namespace

bool RunInstall(InstallView& view) {
  return RunInstall(view, SystemRegistry(), ArchivesOfThisProgram());
}

bool RunInstall(InstallView& view, ProductRegistry& registry) {
  return RunInstall(view, registry, ArchivesBeside(SourceDir));
}

bool RunInstall(InstallView& view, ProductRegistry& registry, const ArchiveSources& archives) {
  TMessages messages;
  TotalBytes = 0;
  DoneBytes = 0;
  TotalBytes += static_cast<std::int64_t>(archives.programFiles->Size());
  TotalBytes += static_cast<std::int64_t>(archives.systemFiles->Size());
  view.SetGaugeMax(dt::ToGauge(TotalBytes, TotalBytes));
  view.SetGaugeVisible(true);

  if (UnpackIfPresent(*archives.programFiles, /*overwrite=*/true, messages, view) &&
      UnpackIfPresent(*archives.systemFiles, /*overwrite=*/false, messages, view)) {
    view.SetGaugePosition(dt::ToGauge(TotalBytes, TotalBytes));
    view.SetGaugeVisible(false);
    view.SetFileLabel(L"Регистрация библиотек программы...");
    RegisterProduct(registry);
  }

  if (view.Aborted()) return false;
  if (!messages.Error.empty()) {
    view.ShowRunError(messages.Error);
    return false;
  }
  return true;
}

}  // namespace setup
