// A windowed container with a background colour. It paints, in this order: its background, the
// sunken frame around each visible windowed child that asks for one (while its 3-D look is on),
// and its windowless controls (tk::GraphicControl) in z-order. Windowed children (tk controls or
// system controls such as buttons and edit fields) are created with the panel's Handle() as
// their parent; the panel clips them out of its own drawing.
//
// Use:
//   tk::Panel page;
//   page.SetBounds(0, 81, 500, 300);
//   page.SetColor(tk::clWhite);            // default clBtnFace
//   page.Create(window);                   // a child of the wizard window (or of another panel)
//   gauge.Create(page.Handle());           // windowed children
//   label.SetParent(&page);                // windowless ones
//   page.SetVisible(false);                // hides the page with everything on it
// Messages that children send their parent (WM_COMMAND, WM_NOTIFY, WM_DRAWITEM) go to the message
// hook first and, when it does not take them, on to the panel's own parent window, so nested
// panels pass button clicks up to the top-level window. WM_CTLCOLORSTATIC and WM_CTLCOLORBTN
// answer with the panel's colour unless the hook takes them. The panel's window has
// WS_EX_CONTROLPARENT, so IsDialogMessageW's Tab and mnemonic handling reaches its children.
#pragma once

#include <windows.h>

#include <functional>
#include <vector>

#include "toolkit/colors.h"
#include "toolkit/custom_control.h"
#include "win32/handles.h"

namespace tk {

class GraphicControl;

class Panel : public CustomControl {
 public:
  Panel();
  ~Panel() override;

  TColor Color() const { return color_; }
  // Repaints the panel at its next paint when the colour changes.
  void SetColor(TColor color);

  // The 3-D look: while on, the sunken frame is drawn around the children that ask for one. On
  // by default.
  bool Ctl3D() const { return ctl3D_; }
  void SetCtl3D(bool on);

  // The panel's windowless controls, bottom first. GraphicControl::SetParent keeps it up to date.
  const std::vector<GraphicControl*>& Controls() const { return controls_; }

  // Sees every message of the panel's window before the panel does; returning true means
  // handled, with the window procedure's result in result.
  using MessageHook =
      std::function<bool(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result)>;
  void SetMessageHook(MessageHook hook) { hook_ = std::move(hook); }

  // Requests a paint of the whole panel at its next paint (not synchronous).
  void Invalidate() const;

 protected:
  void Paint(HDC dc) override;
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  friend class GraphicControl;
  void InsertControl(GraphicControl& control);
  void RemoveControl(GraphicControl& control);
  void PaintSunkenFrames(HDC dc) const;
  HBRUSH BackgroundBrush();

  TColor color_ = clBtnFace;
  bool ctl3D_ = true;
  std::vector<GraphicControl*> controls_;
  MessageHook hook_;
  win::Brush brush_;  // the background brush answered to WM_CTLCOLOR*, made when first asked
  COLORREF brushColor_ = 0;
};

}  // namespace tk
