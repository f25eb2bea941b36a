// Pixel helpers for the component tests: images read back from memory bitmaps or the screen, ink
// masks (the pixels of one colour), a host window, and a capture of the error report.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "toolkit/colors.h"
#include "toolkit/error_report.h"
#include "toolkit/offscreen_bitmap.h"

namespace component_tests {

constexpr COLORREF kSentinel = RGB(255, 0, 255);

// A copy of an image's pixels as COLORREF values.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<COLORREF> pixels;

  COLORREF At(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) return CLR_INVALID;
    return pixels[static_cast<std::size_t>(y) * width + x];
  }
};

inline Image ReadImage(HDC dc, HBITMAP bitmap, int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  std::vector<std::uint32_t> raw(static_cast<std::size_t>(width) * height);
  GetDIBits(dc, bitmap, 0, height, raw.data(), &info, DIB_RGB_COLORS);
  Image image{width, height, {}};
  image.pixels.reserve(raw.size());
  for (std::uint32_t p : raw)
    image.pixels.push_back(RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF));
  return image;
}

inline Image ReadImage(const tk::OffscreenBitmap& bitmap) {
  return ReadImage(bitmap.Dc(), bitmap.Handle(), bitmap.Width(), bitmap.Height());
}

// A bitmap filled with one colour, for painting into.
inline std::unique_ptr<tk::OffscreenBitmap> Canvas(int width, int height,
                                                   COLORREF fill = kSentinel) {
  auto canvas = std::make_unique<tk::OffscreenBitmap>(width, height);
  HBRUSH brush = CreateSolidBrush(fill);
  RECT all{0, 0, width, height};
  FillRect(canvas->Dc(), &all, brush);
  DeleteObject(brush);
  return canvas;
}

// What is on the screen in rect, through the desktop's DC.
inline Image CaptureScreen(const RECT& rect) {
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  auto canvas = Canvas(width, height);
  HDC screen = GetDC(nullptr);
  BitBlt(canvas->Dc(), 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
  ReleaseDC(nullptr, screen);
  return ReadImage(*canvas);
}

using Point = std::pair<int, int>;  // x, y
using Mask = std::set<Point>;

inline Mask InkOf(const Image& image, COLORREF color) {
  Mask mask;
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      if (image.At(x, y) == color) mask.insert({x, y});
    }
  }
  return mask;
}

inline Mask Shifted(const Mask& mask, int dx, int dy) {
  Mask out;
  for (auto [x, y] : mask) out.insert({x + dx, y + dy});
  return out;
}

struct Box {
  int left, top, right, bottom;  // inclusive
};
inline Box BoundsOf(const Mask& mask) {
  Box box{1 << 30, 1 << 30, -(1 << 30), -(1 << 30)};
  for (auto [x, y] : mask) {
    box.left = (std::min)(box.left, x);
    box.top = (std::min)(box.top, y);
    box.right = (std::max)(box.right, x);
    box.bottom = (std::max)(box.bottom, y);
  }
  return box;
}

// Handles every pending message of this thread.
inline void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

// A visible top-level window at the screen's top-left corner to hold the controls under test.
// One window serves the whole test program: under Wine without a window manager, destroying a
// top-level window waits two seconds for a manager that never answers.
class HostWindow {
 public:
  HostWindow(int width, int height) {
    static const HWND shared =
        CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, width,
                        height, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    window_ = shared;
    SetWindowPos(window_, nullptr, 0, 0, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    UpdateWindow(window_);
    Pump();
  }
  HostWindow(const HostWindow&) = delete;
  HostWindow& operator=(const HostWindow&) = delete;
  HWND get() const { return window_; }

 private:
  HWND window_ = nullptr;
};

// Collects what reaches the error report while it lives.
class ErrorCapture {
 public:
  ErrorCapture() {
    previous_ = tk::SetErrorReporter([this](const std::wstring& text) { texts_.push_back(text); });
  }
  ~ErrorCapture() { tk::SetErrorReporter(std::move(previous_)); }
  ErrorCapture(const ErrorCapture&) = delete;
  ErrorCapture& operator=(const ErrorCapture&) = delete;
  const std::vector<std::wstring>& Texts() const { return texts_; }

 private:
  tk::ErrorReporter previous_;
  std::vector<std::wstring> texts_;
};

}  // namespace component_tests
