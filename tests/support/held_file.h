// A file held open by another process (tests/support/hold_file.cpp) without any sharing, as a
// program that uses it would hold it, until Release() or the end of the object: also when an
// assertion ends the test early.
#pragma once

#include <windows.h>

#include <string>

#include "setup/run/install_fixture.h"
#include "win32/handles.h"

namespace testing_support {

class HeldFile {
 public:
  explicit HeldFile(const std::string& path, const std::string& holdFileExe = HOLD_FILE_EXE) {
    const std::string name = "setup-test-hold-" + std::to_string(GetCurrentProcessId());
    release_.reset(CreateEventA(nullptr, TRUE, FALSE, name.c_str()));
    ready_.reset(CreateEventA(nullptr, TRUE, FALSE, (name + ".ready").c_str()));
    std::string commandLine = "\"" + FromUnixPath(holdFileExe) + "\" \"" + path + "\" " + name;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                       &startup, &info)) {
      CloseHandle(info.hThread);
      process_.reset(info.hProcess);
    }
    held_ = process_ && WaitForSingleObject(ready_.get(), 10000) == WAIT_OBJECT_0;
  }
  ~HeldFile() { Release(); }
  bool held() const { return held_; }
  void Release() {
    if (!process_) return;
    SetEvent(release_.get());
    WaitForSingleObject(process_.get(), 10000);
    process_.reset();
  }

 private:
  win::KernelHandle release_, ready_, process_;
  bool held_ = false;
};

}  // namespace testing_support
