#include <windows.h>

#include <vector>

#include "app/wizard_fixture.h"
#include "win32/handles.h"

namespace testing_support {

void SaveScreenshot(HWND window, const std::string& path) {
  // The client area: without a window manager Wine draws no frame around it.
  RECT r;
  GetClientRect(window, &r);
  MapWindowPoints(window, HWND_DESKTOP, reinterpret_cast<POINT*>(&r), 2);
  const int width = r.right - r.left, height = r.bottom - r.top;
  const win::WindowDc screen(nullptr);
  const win::MemoryDc memory(CreateCompatibleDC(screen.get()));
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;  // bottom-up, as the file stores it
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  const win::Bitmap bitmap(
      CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap || !bits) return;
  {
    const win::SelectGuard selected(memory.get(), bitmap.get());
    BitBlt(memory.get(), 0, 0, width, height, screen.get(), r.left, r.top, SRCCOPY);
    GdiFlush();
  }
  const DWORD stride = ((static_cast<DWORD>(width) * 3 + 3) / 4) * 4;
  const DWORD imageSize = stride * static_cast<DWORD>(height);
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof file + sizeof info.bmiHeader;
  file.bfSize = file.bfOffBits + imageSize;
  const auto slash = path.find_last_of('\\');
  if (slash != std::string::npos) CreateDirectoryA(path.substr(0, slash).c_str(), nullptr);
  const win::FileHandle out(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!out) return;
  DWORD written = 0;
  WriteFile(out.get(), &file, sizeof file, &written, nullptr);
  WriteFile(out.get(), &info.bmiHeader, sizeof info.bmiHeader, &written, nullptr);
  WriteFile(out.get(), bits, imageSize, &written, nullptr);
}

}  // namespace testing_support
