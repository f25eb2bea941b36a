// The shell's folder browser, and the program's folder creation before it opens.
#pragma once

#include <windows.h>

#include <string>

namespace setup {

// Lets the user pick a folder. caption is the prompt above the folder tree; folder (an ANSI
// path) is where the tree opens, and is cleared first when it names no existing folder. Returns
// true when the user chose a folder, which is then in folder ("C:\" for a drive's root). Every
// other window of the program is disabled, and the system's critical-error boxes are off, while
// the browser is up. owner is the window the browser belongs to (may be null).
bool PickFolder(HWND owner, const std::wstring& caption, std::string& folder);

}  // namespace setup
