#include "base/ui/progress/layout_scale.h"

#include "toolkit/font.h"
#include "win32/handles.h"

namespace base {

int MeasureTahomaTextHeight(int characterHeight) {
  tk::Font description;
  description.height = characterHeight;
  const win::Font font = description.CreateHandle();
  const win::WindowDc screen(nullptr);
  const win::SelectGuard selected(screen.get(), font.get());
  SIZE size{};
  GetTextExtentPoint32W(screen.get(), L"0", 1, &size);
  return size.cy;
}

LayoutScale ScreenLayoutScale() {
  const win::WindowDc screen(nullptr);
  return MakeLayoutScale(GetDeviceCaps(screen.get(), LOGPIXELSY), MeasureTahomaTextHeight);
}

}  // namespace base
