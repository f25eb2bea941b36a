// One installation run, from sizing the archives to the registration stage.
#pragma once

#include <string>

#include "setup/archive_source.h"
#include "setup/install_log.h"
#include "setup/install_view.h"
#include "setup/registration.h"

namespace setup {

// What the folder step of the start found.
struct FolderStep {
  bool ready;                 // the installation folder is an existing folder now
  unsigned long systemError;  // of the first folder creation that failed; 0 when none failed
};

// The folder step of the start: InstallFolder := folder (as given, neither trimmed nor
// completed), created with every missing parent.
FolderStep PrepareInstallFolder(const std::string& folder);

// The error box's text when the folder step failed.
inline constexpr wchar_t kFolderStepError[] = L"Ошибка создания директории.\rУкажите другое имя.";
// The log line of a folder step that failed, with the system error of the creation (or "no folder
// created") and the error box's text.
std::wstring FolderStepLogLine(const FolderStep& step);

// Runs the installation into InstallFolder from the running program's archives (inside it when it
// is a one-file installer, beside it in SourceDir otherwise); true when it completed, false after
// a cancel or an error (the error box has then been shown). Errors raised by the registration
// stage pass to the caller. Every step goes to the log; the registration tools started are
// handed to the view.
bool RunInstall(InstallView& view, InstallLog& log = NoLog());
// The same with another registry, from the archives in SourceDir (tests).
bool RunInstall(InstallView& view, ProductRegistry& registry, InstallLog& log = NoLog());
// The same from the given archives.
bool RunInstall(InstallView& view, ProductRegistry& registry, const ArchiveSources& archives,
                InstallLog& log = NoLog());

}  // namespace setup
