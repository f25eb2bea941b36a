// Writes an off-screen image as a 24-bit Windows bitmap file.
#pragma once

#include <string>

#include "toolkit/offscreen_bitmap.h"

namespace render {

// Throws std::runtime_error when the file cannot be written.
void SaveBmp(const tk::OffscreenBitmap& image, const std::wstring& path);

}  // namespace render
