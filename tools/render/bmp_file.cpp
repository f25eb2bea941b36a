#include "bmp_file.h"

#include <windows.h>

#include <cstdint>
#include <stdexcept>
#include <vector>

#include "win32/handles.h"

namespace render {

void SaveBmp(const tk::OffscreenBitmap& image, const std::wstring& path) {
  const int width = image.Width();
  const int height = image.Height();
  const int stride = (width * 3 + 3) & ~3;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;  // bottom-up, as files usually are
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(stride) * height);
  if (GetDIBits(image.Dc(), image.Handle(), 0, height, pixels.data(), &info, DIB_RGB_COLORS) !=
      height) {
    throw std::runtime_error("Cannot read the image's pixels");
  }
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof(file) + sizeof(info.bmiHeader);
  file.bfSize = static_cast<DWORD>(file.bfOffBits + pixels.size());

  win::FileHandle out(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!out) throw std::runtime_error("Cannot create the image file");
  const auto write = [&](const void* data, std::size_t size) {
    DWORD written = 0;
    if (!WriteFile(out.get(), data, static_cast<DWORD>(size), &written, nullptr) ||
        written != size) {
      throw std::runtime_error("Cannot write the image file");
    }
  };
  write(&file, sizeof(file));
  write(&info.bmiHeader, sizeof(info.bmiHeader));
  write(pixels.data(), pixels.size());
}

}  // namespace render
