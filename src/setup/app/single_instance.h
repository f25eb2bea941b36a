// The guard that lets one installation of the product run at a time on the machine: a named
// mutex in the Global\ namespace that only Administrators and SYSTEM may open.
#pragma once

#include <windows.h>

#include "win32/handles.h"

namespace setup {

class SingleInstance {
 public:
  // Takes the guard; Held() is false when another installation holds it or it cannot be opened.
  SingleInstance();
  bool Held() const { return held_; }

 private:
  win::KernelHandle mutex_;
  bool held_ = false;
};

// Brings the running installer's wizard window to the front, when there is one.
void ActivateRunningInstaller();

}  // namespace setup
