// One installation run, from the folder step to the registration stage, the same for every view:
// PrepareRun (folder and disk space) fills in the run's state, then RunAndDecide (RunInstall, and
// how it ended) receives it.
#pragma once

#include <exception>
#include <functional>
#include <optional>
#include <string>

#include "setup/run/archive_source.h"
#include "base/program_log.h"
#include "setup/run/install_view.h"
#include "setup/run/registration.h"
#include "setup/run/run_outcome.h"

namespace setup {

// What the folder step of the start found.
struct FolderStep {
  bool ready;                 // the installation folder is an existing folder now
  unsigned long systemError;  // of the first folder creation that failed; 0 when none failed
  // Why no folder was made when none was tried (the folder as typed is refused).
  const wchar_t* refusal = nullptr;
};

// The folder step of the start: state.InstallFolder := folder (as given, neither trimmed nor
// completed), created with every missing parent (the levels it made are noted in
// state.FoldersMade).
FolderStep PrepareInstallFolder(RunState& state, const std::string& folder);

// The error box's text when the folder step failed.
inline constexpr wchar_t kFolderStepError[] = L"Ошибка создания директории.\rУкажите другое имя.";
// The log line of a folder step that failed, with the system error of the creation (or why none
// was tried, or "no folder created") and the error box's text.
std::wstring FolderStepLogLine(const FolderStep& step);

// Before a run: the folder step, then the disk-space check of the archives (the figures of every
// volume go to the log; the view answers for each volume that falls short). The folder step
// refuses, before it makes anything, a folder that is not a full installation folder
// (dt::IsFullInstallFolder: the uninstaller could not place what is installed there) and one
// that would make some path of the run longer than the system allows (path_lengths.h). Nothing
// when the run may start; otherwise what ended it (kFolderNotCreated, after
// view.ShowFolderError, or kNoDiskSpace).
std::optional<Outcome> PrepareRun(RunState& state, const std::string& folder, InstallView& view,
                                  base::ProgramLog& log);
// The same against the given archives.
std::optional<Outcome> PrepareRun(RunState& state, const std::string& folder,
                                  const ArchiveSources& archives,
                                  InstallView& view, base::ProgramLog& log);

// Runs the installation into state.InstallFolder from the running program's archives (inside it
// when it is a one-file installer, beside it in state.SourceDir otherwise); true when it completed, false after
// a cancel or an error (the view has then shown the error). Errors raised by the registration
// stage pass to the caller. Every step goes to the log; the registration tools started are
// handed to the view.
bool RunInstall(RunState& state, InstallView& view, base::ProgramLog& log = base::NoLog());
// The same with another registry, from the archives in state.SourceDir (tests).
bool RunInstall(RunState& state, InstallView& view, ProductRegistry& registry,
                base::ProgramLog& log = base::NoLog());
// The same from the given archives.
bool RunInstall(RunState& state, InstallView& view, ProductRegistry& registry,
                const ArchiveSources& archives,
                base::ProgramLog& log = base::NoLog());

// How a run ended: its outcome, and the error that left it (logged already), if any.
struct RunEnd {
  Outcome outcome;
  std::exception_ptr error;
};

// An installation procedure: RunInstall, or what a test puts in its place.
using InstallProcedure = std::function<bool(InstallView&)>;

// Runs install through view and decides the outcome: completed, cancelled (the view's Aborted
// flag) or failed. An error that leaves install is logged and handed back, never thrown.
RunEnd RunAndDecide(InstallView& view, base::ProgramLog& log, const InstallProcedure& install);
// The same with RunInstall.
RunEnd RunAndDecide(RunState& state, InstallView& view, base::ProgramLog& log);

}  // namespace setup
