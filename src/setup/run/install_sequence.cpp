#include "setup/run/install_sequence.h"

#include <algorithm>

#include "core/gauge_scale.h"
#include "core/install_record.h"
#include "core/path_places.h"
#include "core/product.h"
#include "setup/run/disk_space.h"
#include "setup/run/distribution_check.h"
#include "setup/run/earlier_runs.h"
#include "setup/run/extraction.h"
#include "setup/run/path_lengths.h"
#include "setup/run/run_result.h"
#include "setup/run/registration.h"
#include "win32/files.h"
#include "win32/registry.h"
#include "win32/wide_text.h"

namespace setup {
namespace {

// Unpacks one archive if the distribution carries it; true when the run is to go on.
bool UnpackIfPresent(const ArchiveSource& archive, bool overwrite, RunState& state,
                     TMessages& messages, InstallView& view, base::ProgramLog& log) {
  if (!archive.Present()) {
    log.WriteAnsi("archive \"" + archive.Name() + "\" is not there: skipped");
    return true;
  }
  UnpackArchive(archive, state, messages, overwrite, view, log);
  messages.Record.Sync();  // the archive's lines on the disk at its end
  return !view.Aborted() && messages.Error.empty();
}

// The uninstall entry's value, or nothing.
std::optional<std::string> UninstallEntryValue(const char* name) {
  const win::RegKey key = win::OpenKey(HKEY_LOCAL_MACHINE, product::kUninstallKey, false);
  if (!key) return std::nullopt;
  try {
    return win::ReadStringValue(key.get(), name);
  } catch (const std::exception&) {
    return std::nullopt;  // not a text: no usable value
  }
}

std::string UpperFullPath(const std::string& path) {
  std::string full = win::FullPath(path).value_or(path);
  while (full.size() > 3 && full.back() == '\\') full.pop_back();
  if (!full.empty()) CharUpperBuffA(full.data(), static_cast<DWORD>(full.size()));
  return full;
}

// The run's installation record in its folder, appended to when the uninstall entry anchors it.
// Warns when the entry names another folder that still holds a record: there is one entry per
// product, so that folder's files would be left to no uninstaller.
base::RecordWriter OpenRecord(const RunState& state, dt::EarlierRuns& earlier,
                              base::ProgramLog& log) {
  const std::optional<std::string> location = UninstallEntryValue("InstallLocation");
  if (location && !location->empty() &&
      UpperFullPath(*location) != UpperFullPath(state.InstallFolder) &&
      win::FileExistsQuiet(*location + "\\" + std::string(dt::kRecordFileName))) {
    log.WriteAnsi("warning: the product is installed in \"" + *location +
                  "\" too; its files there are left to no uninstaller once this run completes "
                  "(remove the product before installing it elsewhere)");
  }
  return OpenInstallRecord(state.InstallFolder, UninstallEntryValue("InstallRecord").value_or(""),
                           state.FoldersMade, log, &earlier);
}

// The run's archives: a sealed program's through its check, the others where they lie.
ArchiveSources ArchivesOfRun(const RunState& state) {
  return state.Check ? state.Check->Sources() : ArchivesOfThisProgram(state.SourceDir);
}

}  // namespace

FolderStep PrepareInstallFolder(RunState& state, const std::string& folder) {
  state.InstallFolder = folder;
  std::vector<std::string> created;
  const unsigned long error = win::CreateFolderLevels(state.InstallFolder, {}, created);
  for (std::string& level : created) state.FoldersMade.push_back({std::move(level), "step"});
  return {win::DirectoryExistsQuiet(state.InstallFolder), error};
}

std::wstring FolderStepLogLine(const FolderStep& step) {
  std::wstring text = kFolderStepError;
  std::replace(text.begin(), text.end(), L'\r', L' ');
  return L"the installation folder cannot be created or is not a folder (" +
         (step.systemError ? L"system error " + std::to_wstring(step.systemError)
          : step.refusal   ? std::wstring(step.refusal)
                           : std::wstring(L"no folder created")) +
         L"): " + text;
}

std::optional<Outcome> PrepareRun(RunState& state, const std::string& folder, InstallView& view,
                                  base::ProgramLog& log) {
  return PrepareRun(state, folder, ArchivesOfRun(state), view, log);
}

std::optional<Outcome> PrepareRun(RunState& state, const std::string& folder,
                                  const ArchiveSources& archives,
                                  InstallView& view, base::ProgramLog& log) {
  log.WriteAnsi("installation folder: \"" + folder + "\"");
  state.InstallFolder = folder;
  const auto refuse = [&view, &log](const FolderStep& step) {
    const std::wstring note = view.RefusalNote();
    log.Write(FolderStepLogLine(step) + (note.empty() ? L"" : L"; " + note));
    view.ShowFolderError(kFolderStepError);
    return Outcome::kFolderNotCreated;
  };
  if (!dt::IsFullInstallFolder(folder)) return refuse({false, 0, L"not a full path"});
  if (const LongestPath longest = LongestTargetPath(folder, archives);
      longest.length > kMaxPathLength) {
    log.WriteAnsi("the longest path of the installation would have " +
                  std::to_string(longest.length) + " characters, more than " +
                  std::to_string(kMaxPathLength) + ": \"" + longest.path + "\"");
    return refuse({false, 0, L"a path would be too long"});
  }
  if (const FolderStep step = PrepareInstallFolder(state, folder); !step.ready) {
    return refuse(step);
  }
  const std::vector<VolumeSpace> volumes = MeasureDiskSpace(state.InstallFolder, archives);
  for (const VolumeSpace& volume : volumes) log.WriteAnsi(DiskSpaceLogLine(volume));
  for (const VolumeSpace& volume : volumes) {
    if (volume.FallsShort() && !view.AcceptDiskShortfall(volume)) {
      if (*view.RefusalNote()) log.Write(std::wstring(L"not enough disk space: ") + view.RefusalNote());
      return Outcome::kNoDiskSpace;
    }
  }
  return std::nullopt;
}

bool RunInstall(RunState& state, InstallView& view, base::ProgramLog& log) {
  return RunInstall(state, view, SystemRegistry(), ArchivesOfRun(state), log);
}

bool RunInstall(RunState& state, InstallView& view, ProductRegistry& registry,
                base::ProgramLog& log) {
  // A sealed run reads only what its check holds, never a file by its name.
  return RunInstall(state, view, registry,
                    state.Check ? state.Check->Sources() : ArchivesBeside(state.SourceDir), log);
}

bool RunInstall(RunState& state, InstallView& view, ProductRegistry& registry,
                const ArchiveSources& archives, base::ProgramLog& log) {
  // Nothing is written before a sealed distribution's check has passed.
  if (state.Check && !state.Check->Await(view, log)) {
    if (view.Aborted()) log.Write(L"the run was cancelled");
    return false;
  }
  TMessages messages;
  // A folder this process made for the run is a plain folder: if it is a link by now, somebody
  // else made it one, and the run does not follow it.
  const std::string installFolder = UpperFullPath(state.InstallFolder);
  messages.Folders.InstallFolderMayBeLink(std::none_of(
      state.FoldersMade.begin(), state.FoldersMade.end(),
      [&](const MadeFolder& made) { return UpperFullPath(made.path) == installFolder; }));
  messages.Record = OpenRecord(state, messages.Earlier, log);
  messages.Pending = base::PendingRenames::Read();
  SettleEarlierRuns(state.InstallFolder, messages, log);
  state.TotalBytes = static_cast<std::int64_t>(archives.programFiles->Size()) +
                     static_cast<std::int64_t>(archives.systemFiles->Size());
  state.DoneBytes = 0;
  view.SetGaugeMax(dt::ToGauge(state.TotalBytes, state.TotalBytes));
  view.SetGaugeVisible(true);

  if (UnpackIfPresent(*archives.programFiles, /*overwrite=*/true, state, messages, view, log) &&
      UnpackIfPresent(*archives.systemFiles, /*overwrite=*/false, state, messages, view, log)) {
    view.SetGaugePosition(dt::ToGauge(state.TotalBytes, state.TotalBytes));
    view.SetGaugeVisible(false);
    view.SetFileLabel(L"Регистрация библиотек программы...");
    view.ToolsStarted(RegisterProduct(registry, state, messages.Written.TotalKiB(), messages.Written,
                                      log, messages.Record));
  }
  messages.Record.Sync();  // the run's last lines on the disk

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

RunEnd RunAndDecide(InstallView& view, base::ProgramLog& log, const InstallProcedure& install) {
  view.RunBegins();
  RunEnd end{Outcome::kFailed, nullptr};
  try {
    const bool completed = install(view);
    end.outcome = DecideOutcome(completed, view.Aborted());
  } catch (...) {
    log.Write(L"error: " + win::CurrentExceptionText());
    end.error = std::current_exception();
  }
  view.RunEnds();
  return end;
}

RunEnd RunAndDecide(RunState& state, InstallView& view, base::ProgramLog& log) {
  return RunAndDecide(view, log, [&](InstallView& v) { return RunInstall(state, v, log); });
}

}  // namespace setup
