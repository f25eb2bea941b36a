// A windowless control: it has no window of its own and is painted by its container (a
// tk::Panel) during the container's paint, with the DC's origin at the control's top-left corner
// and drawing clipped to its bounds. Controls of one panel are painted in z-order: the order in
// which they joined it, the last on top.
//
// Use:
//   MyGraphic g;                    // a class derived from GraphicControl
//   g.SetBounds(28, 26, 297, 25);
//   g.SetParent(&panel);            // joins the panel on top; SetParent(nullptr) leaves it
// The control leaves its panel in its destructor; a panel destroyed first lets its controls go.
#pragma once

#include <windows.h>

namespace tk {

class Panel;

class GraphicControl {
 public:
  GraphicControl();
  virtual ~GraphicControl();
  GraphicControl(const GraphicControl&) = delete;
  GraphicControl& operator=(const GraphicControl&) = delete;

  Panel* Parent() const { return parent_; }
  // Leaves the current panel (its area is repainted) and joins the new one on top.
  void SetParent(Panel* panel);

  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  RECT BoundsRect() const { return {left_, top_, left_ + width_, top_ + height_}; }
  // Moves and sizes the control in the panel's client coordinates; the old and the new area of
  // the panel are repainted at its next paint.
  void SetBounds(int left, int top, int width, int height);

  bool Visible() const { return visible_; }
  void SetVisible(bool visible);

  // A transparent control leaves the panel's background under the parts it does not draw; an
  // opaque one covers its whole area.
  bool Opaque() const { return opaque_; }

  // A repaint request: marks the control's rectangle of the panel for painting (with the
  // background drawn again first when the control is not opaque). The drawing happens at the
  // panel's next paint, not here. Nothing happens without a panel window or while invisible.
  void Invalidate() const;

  // Paints the control into dc, whose origin is the container's top-left corner: moves the
  // origin to the control's corner and clips to its bounds for the control's Paint, and puts the
  // DC back afterwards. The panel calls it; a render or a test may call it on a memory bitmap.
  void PaintInContainer(HDC dc);

  // How many times the control has painted itself (for tests).
  int PaintCount() const { return paintCount_; }

 protected:
  // Draws the control; dc's origin is its top-left corner, and drawing is clipped to
  // (0, 0)-(Width(), Height()).
  virtual void Paint(HDC dc) = 0;
  // Called after the size has changed (before the repaint request).
  virtual void Resized() {}

  void SetOpaque(bool opaque) { opaque_ = opaque; }

 private:
  friend class Panel;
  void InvalidateRectOfParent(const RECT& rect, bool erase) const;

  Panel* parent_ = nullptr;
  int left_ = 0;
  int top_ = 0;
  int width_ = 0;
  int height_ = 0;
  bool visible_ = true;
  bool opaque_ = true;
  int paintCount_ = 0;
};

}  // namespace tk
