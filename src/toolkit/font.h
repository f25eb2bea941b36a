// A font description (face, character height in pixels, weight, colour) and the GDI font it
// makes. Controls keep the description and create their own HFONT from it when it changes.
#pragma once

#include <string>

#include "toolkit/colors.h"
#include "win32/handles.h"

namespace tk {

struct Font {
  std::wstring name = L"Tahoma";
  // Character height in pixels (the cell height without internal leading).
  int height = 11;
  bool bold = false;
  // The colour of the text (and of whatever else a control draws "in the font's colour").
  TColor color = clWindowText;
  // Off gives plain, unsmoothed glyphs (tests that look for exact colours use it).
  bool antialiased = true;

  bool operator==(const Font&) const = default;

  // A new GDI font of this description; the caller owns it.
  win::Font CreateHandle() const;
};

}  // namespace tk
