#include "base/ui/dialogs/modal_scope.h"

#include "toolkit/error_report.h"

namespace base {
namespace {

BOOL CALLBACK CollectWindow(HWND window, LPARAM list) {
  try {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
  } catch (...) {
    tk::ReportCurrentException();
    return FALSE;
  }
}

}  // namespace

ModalScope::ModalScope(HWND modal) : modal_(modal), active_(GetActiveWindow()), focus_(GetFocus()) {
  // Collect first, disable afterwards: disabling changes activation while enumerating.
  std::vector<HWND> windows;
  EnumThreadWindows(GetCurrentThreadId(), CollectWindow, reinterpret_cast<LPARAM>(&windows));
  disabled_.reserve(windows.size());
  for (HWND window : windows) {
    if (window == modal_ || !IsWindowVisible(window) || !IsWindowEnabled(window)) continue;
    disabled_.push_back(window);
    EnableWindow(window, FALSE);
  }
}

ModalScope::~ModalScope() {
  for (HWND window : disabled_)
    if (IsWindow(window)) EnableWindow(window, TRUE);
  if (active_ && IsWindow(active_)) {
    SetActiveWindow(active_);
    if (focus_ && IsWindow(focus_) && (focus_ == active_ || IsChild(active_, focus_)))
      SetFocus(focus_);
  }
}

}  // namespace base
