// An off-screen image: a memory DC with a 32-bit bitmap of its own selected into it (the same
// pixels whatever the screen). Everything is released in the destructor, in the right order.
//
//   tk::OffscreenBitmap image(w, h);
//   FillRect(image.Dc(), ...);  BitBlt(target, 0, 0, w, h, image.Dc(), 0, 0, SRCCOPY);
#pragma once

#include <windows.h>

#include <memory>

#include "win32/handles.h"

namespace tk {

class OffscreenBitmap {
 public:
  // A width × height image (sizes below 1 become 1, as GDI cannot make an empty bitmap). Throws
  // std::runtime_error when GDI cannot provide it.
  OffscreenBitmap(int width, int height);
  ~OffscreenBitmap();
  OffscreenBitmap(const OffscreenBitmap&) = delete;
  OffscreenBitmap& operator=(const OffscreenBitmap&) = delete;

  HDC Dc() const { return dc_.get(); }
  HBITMAP Handle() const { return bitmap_.get(); }
  int Width() const { return width_; }
  int Height() const { return height_; }

  // The colour of one pixel, as GetPixel gives it (CLR_INVALID outside).
  COLORREF Pixel(int x, int y) const { return GetPixel(dc_.get(), x, y); }

 private:
  int width_;
  int height_;
  win::MemoryDc dc_;
  win::Bitmap bitmap_;
  std::unique_ptr<win::SelectGuard> selection_;  // puts the DC's first bitmap back before release
};

}  // namespace tk
