// A windowed control that draws every pixel of itself: its own window class, its own paint
// through BeginPaint/EndPaint, no background erase, and a synchronous repaint.
//
// Use:
//   MyControl c;                    // a class derived from CustomControl
//   c.SetBounds(26, 74, 333, 20);   // may come before or after Create
//   c.SetVisible(false);            // likewise; a new control is visible
//   c.Create(panel.Handle());       // makes the child window (WS_CHILD) in the parent
//   ...                             // setters repaint at once
// The C++ object owns its window: the destructor destroys it. Destroy the control before its
// parent window (a parent destroyed first takes the child window with it; the object notices).
//
// Every message handler catches all exceptions and hands them to tk::ReportCurrentException().
#pragma once

#include <windows.h>

#include <cstdint>

namespace tk {

// Whether a control draws a one-pixel border around itself.
enum TBorderStyle : std::uint8_t { bsNone = 0, bsSingle = 1 };

class CustomControl {
 public:
  CustomControl();
  virtual ~CustomControl();
  CustomControl(const CustomControl&) = delete;
  CustomControl& operator=(const CustomControl&) = delete;

  // Creates the window as a child of parent, with the current bounds and visibility. Throws
  // std::runtime_error when the window cannot be made or when it exists already.
  void Create(HWND parent);
  // Destroys the window now (the destructor does it too).
  void DestroyHandle();
  HWND Handle() const { return window_; }
  bool HandleAllocated() const { return window_ != nullptr; }

  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  RECT BoundsRect() const { return {left_, top_, left_ + width_, top_ + height_}; }
  // Moves and sizes the control in its parent's client coordinates. Move, size, show and hide the
  // control through these setters (not SetWindowPos or ShowWindow on its handle), so that the
  // container's frame strip is repainted with it.
  void SetBounds(int left, int top, int width, int height);

  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  // Visible, with a window that is itself visible on screen (its parents too).
  bool Showing() const;

  // Marks the whole control for painting without erasing and paints before returning. A control
  // without a window or not showing draws nothing.
  void Repaint();

  // Asks the container to draw the sunken frame around this control while its 3-D look is on
  // (see tk::Panel).
  bool WantsSunkenFrame() const { return wantsSunkenFrame_; }

  // Paints the control into any DC whose origin is the control's top-left corner (the window's
  // own paint uses this too; a render or a test can paint into a memory bitmap without a window).
  void PaintTo(HDC dc);

  // How many times the control has painted itself (for tests).
  int PaintCount() const { return paintCount_; }

  // The registered message that a container sends to a child window to ask whether it wants the
  // sunken frame: the answer is 1 for yes.
  static UINT SunkenFrameQuery();

 protected:
  // Draws the whole control; dc's origin is the control's top-left corner, and the client area
  // is (0, 0)-(Width(), Height()).
  virtual void Paint(HDC dc) = 0;

  // Handles one message of the window; the default handles painting, erasing, position changes
  // and the frame query, and gives the rest to DefWindowProcW. Exceptions may leave it: the
  // window procedure catches them.
  virtual LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);

  void SetWantsSunkenFrame(bool wants) { wantsSunkenFrame_ = wants; }
  // Extended window styles for Create (a container adds WS_EX_CONTROLPARENT).
  void SetCreateExStyle(DWORD exStyle) { exStyle_ = exStyle; }

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  void PaintWindow();
  // Tells the parent that the strip around the old and the new bounds must be drawn anew.
  void InvalidateFrameStrip(const RECT& bounds) const;

  HWND window_ = nullptr;
  int left_ = 0;
  int top_ = 0;
  int width_ = 0;
  int height_ = 0;
  bool visible_ = true;
  bool wantsSunkenFrame_ = false;
  DWORD exStyle_ = 0;
  int paintCount_ = 0;
};

}  // namespace tk
