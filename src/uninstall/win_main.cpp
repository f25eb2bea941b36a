// The uninstaller's entry: keep planted DLLs out, then the program with its command line.
#include <windows.h>

#include "setup/app/dll_search.h"
#include "toolkit/error_report.h"
#include "uninstall/removal_outcome.h"
#include "uninstall/uninstall_main.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  setup::KeepPlantedDllsOut();
  try {
    return uninstall::UninstallMain(GetCommandLineW());
  } catch (...) {
    // Nothing may leave WinMain as an exception: report it and end.
    tk::ReportCurrentException();
    return uninstall::ExitCodeOf(uninstall::RemovalOutcome::kStartFailed);
  }
}
