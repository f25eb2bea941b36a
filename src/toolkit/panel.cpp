#include "toolkit/panel.h"

#include <algorithm>

#include "toolkit/graphic_control.h"

namespace tk {
namespace {

void FillSolid(HDC dc, const RECT& rect, TColor color) {
  win::Brush brush(CreateSolidBrush(ColorToRGB(color)));
  FillRect(dc, &rect, brush.get());
}

void FrameSolid(HDC dc, const RECT& rect, TColor color) {
  win::Brush brush(CreateSolidBrush(ColorToRGB(color)));
  FrameRect(dc, &rect, brush.get());
}

// The child's bounds in its parent's client coordinates.
RECT ChildBounds(HWND parent, HWND child) {
  RECT rect;
  GetWindowRect(child, &rect);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

}  // namespace

Panel::Panel() {
  // The dialog manager's keyboard navigation (Tab, arrows, mnemonics) walks into the panel.
  SetCreateExStyle(WS_EX_CONTROLPARENT);
}

Panel::~Panel() {
  for (GraphicControl* control : controls_) control->parent_ = nullptr;
  controls_.clear();
  DestroyHandle();  // while the panel's own members still exist
}

void Panel::SetColor(TColor color) {
  if (color == color_) return;
  color_ = color;
  Invalidate();
}

void Panel::SetCtl3D(bool on) {
  if (on == ctl3D_) return;
  ctl3D_ = on;
  Invalidate();
}

void Panel::Invalidate() const {
  if (HandleAllocated()) InvalidateRect(Handle(), nullptr, TRUE);
}

void Panel::InsertControl(GraphicControl& control) {
  controls_.push_back(&control);
}

void Panel::RemoveControl(GraphicControl& control) {
  controls_.erase(std::remove(controls_.begin(), controls_.end(), &control), controls_.end());
}

void Panel::Paint(HDC dc) {
  RECT client{0, 0, Width(), Height()};
  FillSolid(dc, client, color_);
  if (ctl3D_) PaintSunkenFrames(dc);
  // A control may join or leave the panel while another paints: walk over a copy.
  const std::vector<GraphicControl*> controls = controls_;
  for (GraphicControl* control : controls) {
    if (control->Visible()) control->PaintInContainer(dc);
  }
}

void Panel::PaintSunkenFrames(HDC dc) const {
  if (!HandleAllocated()) return;
  for (HWND child = GetWindow(Handle(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (!(GetWindowLongPtrW(child, GWL_STYLE) & WS_VISIBLE)) continue;
    if (SendMessageW(child, SunkenFrameQuery(), 0, 0) != 1) continue;
    const RECT b = ChildBounds(Handle(), child);
    FrameSolid(dc, RECT{b.left - 1, b.top - 1, b.right, b.bottom}, clBtnShadow);
    FrameSolid(dc, RECT{b.left, b.top, b.right + 1, b.bottom + 1}, clBtnHighlight);
  }
}

HBRUSH Panel::BackgroundBrush() {
  const COLORREF rgb = ColorToRGB(color_);
  if (!brush_ || rgb != brushColor_) {
    brush_.reset(CreateSolidBrush(rgb));
    brushColor_ = rgb;
  }
  return brush_.get();
}

LRESULT Panel::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  if (hook_) {
    LRESULT result = 0;
    if (hook_(message, wparam, lparam, result)) return result;
  }
  switch (message) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_DRAWITEM:
      if (HWND parent = GetParent(Handle())) return SendMessageW(parent, message, wparam, lparam);
      return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
      HDC dc = reinterpret_cast<HDC>(wparam);
      SetBkColor(dc, ColorToRGB(color_));
      return reinterpret_cast<LRESULT>(BackgroundBrush());
    }
    default:
      return CustomControl::HandleMessage(message, wparam, lparam);
  }
}

}  // namespace tk
