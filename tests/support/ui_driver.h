// Driving real windows from a test: finding them, waiting for them, real keyboard and mouse input
// through SendInput (posted key messages leave the keyboard state alone, so Shift, Ctrl and Alt
// chords need real input), and screenshots for a person to look at.
#pragma once

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <string>
#include <thread>
#include <vector>

#include "driver.h"

namespace ui {

// Polls `condition` every 10 ms until it holds or `ms` have passed; returns its last value.
inline bool WaitUntil(const std::function<bool()>& condition, int ms = 5000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

// A visible top-level window of the class and/or caption (either may be null).
inline HWND WaitForWindow(const wchar_t* windowClass, const wchar_t* caption, int ms = 5000) {
  HWND found = nullptr;
  WaitUntil(
      [&] {
        found = FindWindowW(windowClass, caption);
        return found && IsWindowVisible(found);
      },
      ms);
  return found && IsWindowVisible(found) ? found : nullptr;
}

inline std::wstring TextOf(HWND window) {
  wchar_t buffer[1024] = {};
  GetWindowTextW(window, buffer, 1024);
  return buffer;
}

// The children of `parent` of one window class, in z-order (creation order for siblings).
inline std::vector<HWND> Children(HWND parent, const wchar_t* windowClass) {
  std::vector<HWND> children;
  for (HWND child = FindWindowExW(parent, nullptr, windowClass, nullptr); child;
       child = FindWindowExW(parent, child, windowClass, nullptr))
    children.push_back(child);
  return children;
}

// A child's rectangle in its parent's client coordinates.
inline RECT RectInParent(HWND child) {
  RECT rect;
  GetWindowRect(child, &rect);
  MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

// The keyboard focus of another thread (GetFocus answers only for the calling thread).
inline HWND FocusOf(DWORD thread) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  return GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
}
inline HWND ActiveOf(DWORD thread) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  return GetGUIThreadInfo(thread, &info) ? info.hwndActive : nullptr;
}

inline void SendKey(WORD key, bool up) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = key;
  input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  SendInput(1, &input, sizeof input);
}

// Presses the keys in order and lets them go in reverse: {VK_SHIFT, VK_TAB} is Shift+Tab.
inline void Chord(std::initializer_list<WORD> keys) {
  for (WORD key : keys) SendKey(key, false);
  for (auto key = std::rbegin(keys); key != std::rend(keys); ++key) SendKey(*key, true);
}

// Types one character, whatever the keyboard layout (a VK_PACKET key).
inline void TypeCharacter(wchar_t character) {
  INPUT inputs[2] = {};
  for (INPUT& input : inputs) {
    input.type = INPUT_KEYBOARD;
    input.ki.wScan = character;
    input.ki.dwFlags = KEYEVENTF_UNICODE;
  }
  inputs[1].ki.dwFlags |= KEYEVENTF_KEYUP;
  SendInput(2, inputs, sizeof inputs[0]);
}

// A left click at the centre of a window. The pointer moves first and settles: Wine drops a
// button press that comes in the same batch as the move.
inline void ClickCentre(HWND window) {
  RECT rect;
  GetWindowRect(window, &rect);
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dx = MulDiv((rect.left + rect.right) / 2, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
  input.mi.dy = MulDiv((rect.top + rect.bottom) / 2, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
  for (DWORD flag :
       {0ul, static_cast<DWORD>(MOUSEEVENTF_LEFTDOWN), static_cast<DWORD>(MOUSEEVENTF_LEFTUP)}) {
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | flag;
    SendInput(1, &input, sizeof input);
    Sleep(50);
  }
}

// The clipboard's CF_UNICODETEXT, empty when it has none.
inline std::wstring ClipboardText() {
  std::wstring text;
  if (!OpenClipboard(nullptr)) return text;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
      text = chars;
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

// Copies the window's screen area into a 24-bit BMP file.
inline bool SaveScreenshot(HWND window, const std::string& path) {
  return driver::SaveScreenshot(window, path);
}

}  // namespace ui
