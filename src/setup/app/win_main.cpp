// The program entry: keep planted DLLs out, then the program with its command line.
#include <windows.h>

#include "setup/app/dll_search.h"
#include "setup/app/setup_main.h"
#include "setup/run/run_outcome.h"
#include "toolkit/error_report.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  setup::KeepPlantedDllsOut();
  try {
    return setup::SetupMain(GetCommandLineW());
  } catch (...) {
    // Nothing may leave WinMain as an exception: report it and end.
    tk::ReportCurrentException();
    return setup::ExitCodeOf(setup::Outcome::kStartFailed);
  }
}
