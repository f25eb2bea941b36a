// Holds a file open without sharing until the named event in its second argument is set:
//   hold_file.exe PATH EVENT-NAME
// It sets the event "<EVENT-NAME>.ready" once the file is held.
#include <windows.h>

#include <string>

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  HANDLE file = CreateFileA(argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  HANDLE release = CreateEventA(nullptr, TRUE, FALSE, argv[2]);
  HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, (std::string(argv[2]) + ".ready").c_str());
  SetEvent(ready);
  WaitForSingleObject(release, 60000);
  CloseHandle(file);
  CloseHandle(ready);
  CloseHandle(release);
  return 0;
}
