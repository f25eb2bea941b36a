// While a modal window of the program is up, every other window of the program is disabled; when
// it goes, they are enabled again and the window that was active before is active again, with the
// focus where it was.
#pragma once

#include <windows.h>

#include <vector>

namespace base {

class ModalScope {
 public:
  // Disables the visible, enabled top-level windows of this thread, all but `modal` (which may be
  // null, for a window of the system's such as the folder browser).
  explicit ModalScope(HWND modal);
  // Enables exactly the windows it disabled, then reactivates and refocuses as they were.
  ~ModalScope();
  ModalScope(const ModalScope&) = delete;
  ModalScope& operator=(const ModalScope&) = delete;

  HWND PreviousActive() const { return active_; }

 private:
  HWND modal_;
  HWND active_;
  HWND focus_;
  std::vector<HWND> disabled_;
};

}  // namespace base
