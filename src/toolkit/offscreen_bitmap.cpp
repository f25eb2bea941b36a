#include "toolkit/offscreen_bitmap.h"

#include <algorithm>
#include <stdexcept>

namespace tk {

OffscreenBitmap::OffscreenBitmap(int width, int height)
    : width_((std::max)(width, 1)), height_((std::max)(height, 1)) {
  // A 32-bit top-down DIB section: the same pixels whatever the screen's colour depth.
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width_;
  info.bmiHeader.biHeight = -height_;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  dc_.reset(CreateCompatibleDC(nullptr));
  bitmap_.reset(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!dc_ || !bitmap_) throw std::runtime_error("Cannot create an off-screen bitmap");
  selection_ = std::make_unique<win::SelectGuard>(dc_.get(), bitmap_.get());
}

OffscreenBitmap::~OffscreenBitmap() = default;

}  // namespace tk
