// The installer's entry: the program shell over the installer's description.
#include <windows.h>

#include "setup/app/setup_main.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  return base::ProgramMain(setup::SetupProgram(), GetCommandLineW());
}
