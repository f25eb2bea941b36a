#include "setup/wizard/tool_button.h"

#include <windowsx.h>

#include "win32/handles.h"

namespace setup {

void ToolButton::SetCaption(std::wstring caption) {
  caption_ = std::move(caption);
  if (HandleAllocated()) SetWindowTextW(Handle(), caption_.c_str());  // for screen readers
  Repaint();
}

void ToolButton::Paint(HDC dc) {
  RECT area{0, 0, Width(), Height()};
  FillRect(dc, &area, GetSysColorBrush(COLOR_BTNFACE));
  DrawEdge(dc, &area, pressed_ ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
  if (pressed_) OffsetRect(&area, 1, 1);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
  const win::SelectGuard font(dc, font_ ? font_ : GetStockObject(DEFAULT_GUI_FONT));
  DrawTextW(dc, caption_.c_str(), static_cast<int>(caption_.size()), &area,
            DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

void ToolButton::SetPressed(bool pressed) {
  if (pressed == pressed_) return;
  pressed_ = pressed;
  Repaint();
}

bool ToolButton::Inside(LPARAM point) const {
  const int x = GET_X_LPARAM(point), y = GET_Y_LPARAM(point);
  return x >= 0 && y >= 0 && x < Width() && y < Height();
}

LRESULT ToolButton::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      // No SetFocus: the focus stays where it was.
      tracking_ = true;
      SetCapture(Handle());
      SetPressed(true);
      return 0;
    case WM_MOUSEMOVE:
      if (tracking_) SetPressed(Inside(lparam));
      return 0;
    case WM_LBUTTONUP: {
      const bool click = tracking_ && Inside(lparam);
      tracking_ = false;
      SetPressed(false);
      if (GetCapture() == Handle()) ReleaseCapture();
      if (click && OnClick) OnClick();
      return 0;
    }
    case WM_CAPTURECHANGED:
      tracking_ = false;
      SetPressed(false);
      return 0;
    default:
      break;
  }
  return CustomControl::HandleMessage(message, wparam, lparam);
}

}  // namespace setup
