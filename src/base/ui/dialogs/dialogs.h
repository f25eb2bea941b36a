// The installer's two message dialogs: every question goes through ConfirmDialog, every error
// through ShowErrorBox. Texts are wide (UTF-8 literals converted, paths converted from the ANSI
// code page), so that they show correctly whatever the system's code page.
#pragma once

#include <string>

#include "base/ui/dialogs/dialog_buttons.h"

namespace base {

// The system's error box (error icon, OK), owned by the active window; an empty caption stands
// for "Ошибка".
void ShowErrorBox(const std::wstring& caption, const std::wstring& text);

// Beeps, then asks with the program's own modal question dialog; returns the answer of the
// button pressed, or 2 when the dialog was closed otherwise or the application is ending.
int ConfirmDialog(const std::wstring& text, ButtonSet buttons);

}  // namespace base
