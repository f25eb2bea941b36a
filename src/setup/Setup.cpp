// The program entry: keep planted DLLs out, then the application, the wizard window and the
// message loop.
#include <windows.h>

#include "setup/dll_search.h"
#include "setup/form_main.h"
#include "setup/standard_report.h"
#include "toolkit/application.h"
#include "toolkit/error_report.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  setup::KeepPlantedDllsOut();
  try {
    tk::Application app;  // COM for this thread
    app.SetTitle(setup::kApplicationTitle);
    setup::InstallStandardErrorReport();
    setup::TFormMain form;  // creates the window; FormCreate runs
    app.SetMainWindow(form.Handle());
    form.Show();  // FormShow runs before the first paint
    app.Run();
  } catch (...) {
    // Nothing may leave WinMain as an exception: report it and end.
    tk::ReportCurrentException();
    return 1;
  }
  return 0;
}
