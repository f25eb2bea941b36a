// A small tool button that never takes the keyboard focus and is not in the tab order: it is
// pressed with the mouse only. It looks like a raised button, sunken while held down, and clicks
// when the mouse is released over it.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "toolkit/custom_control.h"

namespace setup {

class ToolButton : public tk::CustomControl {
 public:
  std::function<void()> OnClick;

  void SetCaption(std::wstring caption);
  const std::wstring& Caption() const { return caption_; }
  // The font of the caption; the caller keeps it alive.
  void SetFont(HFONT font) { font_ = font; }
  bool Pressed() const { return pressed_; }

 protected:
  void Paint(HDC dc) override;
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  void SetPressed(bool pressed);
  bool Inside(LPARAM point) const;

  std::wstring caption_;
  HFONT font_ = nullptr;
  bool tracking_ = false;  // the left button went down here and the mouse is captured
  bool pressed_ = false;
};

}  // namespace setup
