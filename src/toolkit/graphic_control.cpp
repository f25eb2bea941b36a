#include "toolkit/graphic_control.h"

#include "toolkit/panel.h"

namespace tk {
namespace {

// Saves a DC's state and restores it on every path.
class SavedDc {
 public:
  explicit SavedDc(HDC dc) : dc_(dc), saved_(SaveDC(dc)) {}
  ~SavedDc() { RestoreDC(dc_, saved_); }
  SavedDc(const SavedDc&) = delete;
  SavedDc& operator=(const SavedDc&) = delete;

 private:
  HDC dc_;
  int saved_;
};

}  // namespace

GraphicControl::GraphicControl() = default;

GraphicControl::~GraphicControl() {
  SetParent(nullptr);
}

void GraphicControl::SetParent(Panel* panel) {
  if (panel == parent_) return;
  if (parent_) {
    Invalidate();
    parent_->RemoveControl(*this);
  }
  parent_ = panel;
  if (parent_) {
    parent_->InsertControl(*this);
    Invalidate();
  }
}

void GraphicControl::SetBounds(int left, int top, int width, int height) {
  if (left == left_ && top == top_ && width == width_ && height == height_) return;
  const bool resized = width != width_ || height != height_;
  const RECT old = BoundsRect();
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  if (resized) Resized();
  if (visible_) InvalidateRectOfParent(old, true);
  Invalidate();
}

void GraphicControl::SetVisible(bool visible) {
  if (visible == visible_) return;
  visible_ = visible;
  // The area is painted anew either way: the control appears, or the background comes back.
  InvalidateRectOfParent(BoundsRect(), true);
}

void GraphicControl::Invalidate() const {
  if (visible_) InvalidateRectOfParent(BoundsRect(), !opaque_);
}

void GraphicControl::InvalidateRectOfParent(const RECT& rect, bool erase) const {
  if (!parent_ || !parent_->HandleAllocated()) return;
  InvalidateRect(parent_->Handle(), &rect, erase ? TRUE : FALSE);
}

void GraphicControl::PaintInContainer(HDC dc) {
  SavedDc saved(dc);
  // Clip first, while logical coordinates are still the container's, then move the origin to
  // the control's corner.
  IntersectClipRect(dc, left_, top_, left_ + width_, top_ + height_);
  POINT origin;
  GetViewportOrgEx(dc, &origin);
  SetViewportOrgEx(dc, origin.x + left_, origin.y + top_, nullptr);
  ++paintCount_;
  Paint(dc);
}

}  // namespace tk
