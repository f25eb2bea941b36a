// The progress window's keyboard, for every page. Tab and Shift+Tab move the focus through the
// current page's controls in tab order, wrapping around; the arrow keys do the same outside an
// edit field (Right and Down forward, Left and Up backward). Enter presses the focused push
// button, or the page's default button when the focus is elsewhere; Esc presses the page's
// cancel button wherever the focus is. Space is the push buttons' own. No control has an access
// key.
//
// The keys are taken from the application's message filter, before the message is translated,
// so that no character reaches a control for a key used here.
#include <algorithm>

#include "base/ui/progress/progress_window.h"

namespace base {
namespace {

bool IsOfClass(HWND window, const wchar_t* className) {
  wchar_t name[16] = {};
  GetClassNameW(window, name, 16);
  return lstrcmpiW(name, className) == 0;
}
bool IsPushButton(HWND window) {
  return IsOfClass(window, L"BUTTON");
}
bool IsEditField(HWND window) {
  return window && IsOfClass(window, L"EDIT");
}

}  // namespace

void ProgressWindow::MoveFocus(bool forward) {
  const auto& order = TabOrder(pageIndex_);
  if (order.empty()) return;
  const auto n = static_cast<std::ptrdiff_t>(order.size());
  const auto at = std::find(order.begin(), order.end(), GetFocus());
  std::ptrdiff_t index = at - order.begin();
  if (at == order.end()) {
    index = forward ? 0 : n - 1;
  } else {
    index = (index + (forward ? 1 : n - 1)) % n;
  }
  HWND next = order[static_cast<std::size_t>(index)];
  SetFocus(next);
  // Like a dialog, tabbing into an edit field selects its text.
  if (IsEditField(next)) SendMessageW(next, EM_SETSEL, 0, -1);
}

bool ProgressWindow::FilterKey(const MSG& msg) {
  if (!window_ || (msg.hwnd != Handle() && !IsChild(Handle(), msg.hwnd))) return false;
  if (msg.message == WM_LBUTTONDOWN || msg.message == WM_KEYDOWN) {
    PostMessageW(Handle(), kRefreshDefaultLook, 0, 0);
  }
  if (msg.message != WM_KEYDOWN) return false;
  HWND focus = GetFocus();
  const bool inEdit = focus && IsChild(Handle(), focus) && IsEditField(focus);
  switch (msg.wParam) {
    case VK_TAB:
      MoveFocus(GetKeyState(VK_SHIFT) >= 0);
      return true;
    case VK_RIGHT:
    case VK_DOWN:
    case VK_LEFT:
    case VK_UP:
      if (inEdit) return false;
      MoveFocus(msg.wParam == VK_RIGHT || msg.wParam == VK_DOWN);
      return true;
    case VK_RETURN: {
      HWND button = focus && IsChild(Handle(), focus) && IsPushButton(focus)
                        ? focus
                        : DefaultButton(pageIndex_);
      if (button) Click(button);
      return true;
    }
    case VK_ESCAPE:
      if (HWND cancel = CancelButton(pageIndex_)) Click(cancel);
      return true;
    default:
      return false;
  }
}

void ProgressWindow::UpdateDefaultLook(HWND focused) {
  for (const auto& page : pages_) {
    for (HWND control : page.tabOrder) {
      if (!IsPushButton(control)) continue;
      const bool isDefault =
          focused && IsPushButton(focused) ? control == focused : control == page.defaultButton;
      const LONG_PTR style = GetWindowLongPtrW(control, GWL_STYLE);
      const bool hasDefault = (style & 0x0F) == BS_DEFPUSHBUTTON;
      if (isDefault != hasDefault) {
        const WPARAM kept = static_cast<WPARAM>(style) & 0xFFF0;  // BS_NOTIFY and the like
        SendMessageW(control, BM_SETSTYLE, kept | (isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON),
                     TRUE);
      }
    }
  }
}

}  // namespace base
