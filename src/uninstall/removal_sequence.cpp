#include "uninstall/removal_sequence.h"

#include "core/install_record.h"
#include "uninstall/removal.h"
#include "win32/files.h"

namespace uninstall {

std::variant<CheckedInstallation, RemovalOutcome> PrepareRemoval(const std::string& folder,
                                                                  RemovalView& view,
                                                                  base::ProgramLog& log) {
  std::optional<CheckedInstallation> installation = FindInstallation(folder, log);
  if (!installation) {
    view.ShowRecordError(folder + "\\" + std::string(dt::kRecordFileName));
    return RemovalOutcome::kNothingChanged;
  }
  if (!view.ConfirmRemoval(installation->title, log)) return RemovalOutcome::kDeclined;
  return std::move(*installation);
}

RemovalOutcome OutcomeOf(const RemovalReport& report) {
  if (report.cancelled) return RemovalOutcome::kCancelled;
  if (!report.failed.empty()) return RemovalOutcome::kErrors;
  return report.restartNeeded ? RemovalOutcome::kRestartNeeded : RemovalOutcome::kRemoved;
}

RemovalOutcome RemoveAndDecide(const CheckedInstallation& installation, RemovalView& view,
                               const std::optional<FileIdentity>& ran, base::ProgramLog& log) {
  view.RemovalBegins();
  const RemovalReport report = RemoveInstallation(installation, view, SystemRemoval(), log);
  view.RemovalEnds();
  const RemovalOutcome outcome = OutcomeOf(report);
  if (report.entryRemoved && ran) {
    StartSelfRemoval({win::ProgramFilePath().value_or(std::string()), *ran,
                      report.foldersHoldingTheUninstaller},
                     log);
  }
  view.ShowReport(installation.title, report, outcome);
  return outcome;
}

}  // namespace uninstall
