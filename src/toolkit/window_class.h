// Registering the program's own window classes, in one place.
#pragma once

#include <windows.h>

namespace tk {

// Registers a window class of this module with the arrow cursor, once: a class registered
// already counts as success. `background` may be null (the window paints all of itself).
// Returns false when the class cannot be registered.
bool RegisterWindowClass(const wchar_t* name, WNDPROC procedure, UINT style = 0,
                         HBRUSH background = nullptr);

}  // namespace tk
