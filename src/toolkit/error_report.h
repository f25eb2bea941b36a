// The one place where an exception that escaped an event handler is reported. Every window
// procedure, dialog procedure and system callback catches everything and calls
// ReportCurrentException(): no exception ever crosses a system frame.
#pragma once

#include <functional>
#include <string>

#include "win32/wide_text.h"

namespace tk {

// Receives the text of an escaped exception (without the added full stop).
using ErrorReporter = std::function<void(const std::wstring& message)>;

// Replaces the reporter (the application installs its standard report; tests capture). Returns
// the previous one.
ErrorReporter SetErrorReporter(ErrorReporter reporter);

// Reports the exception being handled; call it only inside a catch block. Never throws.
void ReportCurrentException() noexcept;

// The text of the exception being handled (win32/wide_text.h).
using win::CurrentExceptionText;

// The standard report's wording: a full stop is added when the last character's code is above
// 46 (the full stop itself).
std::wstring WithFullStop(std::wstring text);

}  // namespace tk
