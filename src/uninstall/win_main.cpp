// The uninstaller's entry: the program shell over the uninstaller's description.
#include <windows.h>

#include "uninstall/uninstall_main.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  return base::ProgramMain(uninstall::UninstallerProgram(), GetCommandLineW());
}
