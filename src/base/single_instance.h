// The guard that lets one installation or uninstallation of the product run at a time on the
// machine: a named mutex in the Global\ namespace that only Administrators and SYSTEM may open.
#pragma once

#include <windows.h>

#include "win32/handles.h"

namespace base {

class SingleInstance {
 public:
  // Takes the guard; Held() is false when another installation holds it or it cannot be opened.
  SingleInstance();
  bool Held() const { return held_; }

 private:
  win::KernelHandle mutex_;
  bool held_ = false;
};

}  // namespace base
