// The application's standard error report: what the user sees of an exception that escaped an
// event handler.
#pragma once

namespace base {

// Makes the report a message box titled with the application's title (fallbackTitle while it has
// none), with the error icon and an OK button, showing the exception's text with a full stop
// added when its last character's code is above 46.
void InstallStandardErrorReport(const wchar_t* fallbackTitle);

}  // namespace base
