#include "toolkit/font.h"

namespace tk {

win::Font Font::CreateHandle() const {
  // A negative height asks for the character height rather than the cell height.
  return win::Font(CreateFontW(-height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                               DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                               antialiased ? DEFAULT_QUALITY : NONANTIALIASED_QUALITY,
                               DEFAULT_PITCH | FF_DONTCARE, name.c_str()));
}

}  // namespace tk
