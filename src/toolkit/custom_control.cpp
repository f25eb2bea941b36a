#include "toolkit/custom_control.h"

#include <stdexcept>

#include "toolkit/error_report.h"
#include "toolkit/window_class.h"

namespace tk {
namespace {

constexpr wchar_t kClassName[] = L"tk.CustomControl";

// The window class of every custom control: no background brush (the control paints all of
// itself), and a full repaint when the size changes.
void RegisterClassOnce(WNDPROC procedure) {
  if (!RegisterWindowClass(kClassName, procedure, CS_HREDRAW | CS_VREDRAW)) {
    throw std::runtime_error("Cannot register the control window class");
  }
}

// BeginPaint and EndPaint as one owner, so that a paint that throws still ends.
class PaintScope {
 public:
  explicit PaintScope(HWND window) : window_(window) { dc_ = BeginPaint(window, &ps_); }
  ~PaintScope() { EndPaint(window_, &ps_); }
  PaintScope(const PaintScope&) = delete;
  PaintScope& operator=(const PaintScope&) = delete;
  HDC Dc() const { return dc_; }

 private:
  HWND window_;
  PAINTSTRUCT ps_{};
  HDC dc_ = nullptr;
};

}  // namespace

CustomControl::CustomControl() = default;

CustomControl::~CustomControl() {
  DestroyHandle();
}

UINT CustomControl::SunkenFrameQuery() {
  static const UINT message = RegisterWindowMessageW(L"tk.WantsSunkenFrame");
  return message;
}

void CustomControl::Create(HWND parent) {
  if (window_) throw std::runtime_error("The control's window exists already");
  RegisterClassOnce(&CustomControl::WindowProc);
  // The window procedure finds this object through the creation data, so the messages sent
  // during CreateWindowExW already reach it.
  const DWORD style = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | (visible_ ? WS_VISIBLE : 0);
  HWND window = CreateWindowExW(exStyle_, kClassName, L"", style, left_, top_, width_, height_,
                                parent, nullptr, GetModuleHandleW(nullptr), this);
  if (!window) throw std::runtime_error("Cannot create the control's window");
  window_ = window;
  if (visible_) InvalidateFrameStrip(BoundsRect());
}

void CustomControl::DestroyHandle() {
  if (!window_) return;
  HWND window = window_;
  if (visible_) InvalidateFrameStrip(BoundsRect());
  DestroyWindow(window);  // WM_NCDESTROY clears window_
  window_ = nullptr;
}

void CustomControl::SetBounds(int left, int top, int width, int height) {
  if (left == left_ && top == top_ && width == width_ && height == height_) return;
  const RECT old = BoundsRect();
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  if (!window_) return;
  SetWindowPos(window_, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  if (visible_) {
    InvalidateFrameStrip(old);
    InvalidateFrameStrip(BoundsRect());
  }
}

void CustomControl::SetVisible(bool visible) {
  if (visible == visible_) return;
  visible_ = visible;
  if (!window_) return;
  ShowWindow(window_, visible ? SW_SHOWNA : SW_HIDE);
  InvalidateFrameStrip(BoundsRect());
}

bool CustomControl::Showing() const {
  return window_ && IsWindowVisible(window_);
}

void CustomControl::Repaint() {
  if (!Showing()) return;
  InvalidateRect(window_, nullptr, FALSE);
  UpdateWindow(window_);
}

void CustomControl::PaintTo(HDC dc) {
  ++paintCount_;
  Paint(dc);
}

void CustomControl::InvalidateFrameStrip(const RECT& bounds) const {
  if (!wantsSunkenFrame_ || !window_) return;
  HWND parent = GetParent(window_);
  if (!parent) return;
  // The frame lies one pixel around the bounds; the part inside is the control's own window,
  // which the parent's drawing does not reach.
  RECT strip = bounds;
  InflateRect(&strip, 1, 1);
  InvalidateRect(parent, &strip, TRUE);
}

void CustomControl::PaintWindow() {
  PaintScope paint(window_);
  if (paint.Dc()) PaintTo(paint.Dc());
}

LRESULT CustomControl::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_PAINT:
      PaintWindow();
      return 0;
    case WM_ERASEBKGND:
      return 1;  // opaque: the paint covers everything
    default:
      break;
  }
  if (message == SunkenFrameQuery()) return wantsSunkenFrame_ ? 1 : 0;
  return DefWindowProcW(window_, message, wparam, lparam);
}

LRESULT CALLBACK CustomControl::WindowProc(HWND window, UINT message, WPARAM wparam,
                                           LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
    auto* control = static_cast<CustomControl*>(create->lpCreateParams);
    control->window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(control));
  }
  auto* control = reinterpret_cast<CustomControl*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!control) return DefWindowProcW(window, message, wparam, lparam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    control->window_ = nullptr;
    return DefWindowProcW(window, message, wparam, lparam);
  }
  try {
    return control->HandleMessage(message, wparam, lparam);
  } catch (...) {
    ReportCurrentException();
    return message == WM_ERASEBKGND ? 1 : 0;
  }
}

}  // namespace tk
