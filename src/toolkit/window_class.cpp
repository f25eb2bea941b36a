#include "toolkit/window_class.h"

namespace tk {

bool RegisterWindowClass(const wchar_t* name, WNDPROC procedure, UINT style, HBRUSH background) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  if (GetClassInfoExW(instance, name, &windowClass)) return true;
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = style;
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  windowClass.hbrBackground = background;
  windowClass.lpszClassName = name;
  return RegisterClassExW(&windowClass) != 0;
}

}  // namespace tk
