// Waits, doing nothing, until it is killed. A test run starts it first so that Wine sets up its
// desktop once, before the programs under test start (two processes that wait for a fresh
// prefix's desktop at the same moment can stall for half a minute). It writes the file named by
// its argument once the desktop is up.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
  GetDesktopWindow();
  if (commandLine && *commandLine) {
    HANDLE ready = CreateFileA(commandLine, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (ready != INVALID_HANDLE_VALUE) CloseHandle(ready);
  }
  for (;;) Sleep(INFINITE);
}
