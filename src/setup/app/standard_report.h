// The application's standard error report: what the user sees of an exception that escaped an
// event handler.
#pragma once

namespace setup {

// The application title: the main window's caption, the taskbar's text, the report's caption.
inline constexpr wchar_t kApplicationTitle[] = L"Установка программы";

// Makes the report a message box titled with the application title, with the error icon and an
// OK button, showing the exception's text with a full stop added when its last character's code
// is above 46.
void InstallStandardErrorReport();

}  // namespace setup
