// Drives a running Setup.exe from outside, as a user would: finds its windows and controls by
// their texts, clicks, types, presses keys and takes screenshots. Used by the end-to-end tests
// and by the demo walk-through.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "win32/handles.h"

namespace driver {

using namespace std::chrono_literals;

// Polls until the condition holds or the time runs out; true when it held.
bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 20s,
             std::chrono::milliseconds poll = 20ms);

class SetupProcess {
 public:
  // Starts the program (path in the ANSI code page) in its own folder, with the arguments given
  // after its quoted path.
  explicit SetupProcess(const std::string& exePath, const std::wstring& arguments = {});
  ~SetupProcess();  // ends the process if it still runs
  SetupProcess(const SetupProcess&) = delete;
  SetupProcess& operator=(const SetupProcess&) = delete;

  bool started() const { return static_cast<bool>(process_); }
  // Waits for the process to end; its exit code, or nothing on time-out.
  std::optional<DWORD> WaitForExit(std::chrono::milliseconds timeout = 20s);
  bool Running() const;
  // The largest working set the process has had so far, in bytes.
  std::size_t PeakWorkingSet() const;

  // The process's visible top-level window with this caption, or null.
  HWND TopWindow(const std::wstring& caption) const;
  // Waits for that window.
  HWND AwaitTopWindow(const std::wstring& caption, std::chrono::milliseconds timeout = 20s) const;
  // The main wizard window ("Установка программы").
  HWND MainWindow() const;
  // Every visible top-level window of the process.
  std::vector<HWND> VisibleWindows() const;

 private:
  win::KernelHandle process_;
  DWORD id_ = 0;
};

// A visible child window of `parent` with exactly this text (and class, when given), or null.
HWND FindChild(HWND parent, const std::wstring& text, const wchar_t* className = nullptr);
// The first visible child whose text starts with prefix, or null.
HWND FindChildWithPrefix(HWND parent, const std::wstring& prefix);
// The first visible child of that class.
HWND FindChildOfClass(HWND parent, const wchar_t* className);
std::wstring TextOf(HWND window);
bool IsShown(HWND window);

// Presses a button without waiting for what it starts.
void Click(HWND button);
// Replaces an edit field's text.
void SetText(HWND edit, const std::wstring& text);
// Sends a close request as the title bar's close button does.
void RequestClose(HWND window);
// Presses a key through the system's input (the window is brought to the foreground first).
void PressKey(HWND window, WORD virtualKey);

// Saves what the screen shows of a window (or of its client area only: without a window manager
// Wine draws no frame around it) into a 24-bit BMP file, creating the file's folder if needed.
enum class ShotArea { kWindow, kClient };
bool SaveScreenshot(HWND window, const std::string& bmpPath, ShotArea area = ShotArea::kWindow);

}  // namespace driver
