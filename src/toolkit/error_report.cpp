#include "toolkit/error_report.h"

#include <windows.h>

#include <exception>

#include "win32/wide_text.h"

namespace tk {
namespace {

void DefaultReporter(const std::wstring& message) {
  MessageBoxW(nullptr, WithFullStop(message).c_str(), L"", MB_OK | MB_ICONERROR);
}

ErrorReporter& Reporter() {
  static ErrorReporter reporter = DefaultReporter;
  return reporter;
}

}  // namespace

ErrorReporter SetErrorReporter(ErrorReporter reporter) {
  ErrorReporter previous = std::move(Reporter());
  Reporter() = reporter ? std::move(reporter) : ErrorReporter(DefaultReporter);
  return previous;
}

void ReportCurrentException() noexcept {
  try {
    Reporter()(CurrentExceptionText());
  } catch (...) {
    // A reporter that fails has nobody left to tell.
  }
}

std::wstring WithFullStop(std::wstring text) {
  if (!text.empty() && text.back() > L'.') text += L'.';
  return text;
}

}  // namespace tk
