#include "driver.h"

#include "win32/handles.h"
#include "win32/wide_text.h"

#include <psapi.h>

#include <thread>
#include <vector>

namespace driver {

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout,
             std::chrono::milliseconds poll) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    Sleep(static_cast<DWORD>(poll.count()));
  }
}

SetupProcess::SetupProcess(const std::string& exePath, const std::wstring& arguments) {
  const std::size_t slash = exePath.rfind('\\');
  const std::string folder = slash == std::string::npos ? std::string() : exePath.substr(0, slash);
  std::wstring commandLine = L"\"" + win::AnsiToWide(exePath) + L"\"";
  if (!arguments.empty()) commandLine += L" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                     folder.empty() ? nullptr : win::AnsiToWide(folder).c_str(), &startup, &info)) {
    CloseHandle(info.hThread);
    process_.reset(info.hProcess);
    id_ = info.dwProcessId;
  }
}

SetupProcess::~SetupProcess() {
  if (process_ && Running()) {
    TerminateProcess(process_.get(), 99);
    WaitForSingleObject(process_.get(), 5000);
  }
}

std::optional<DWORD> SetupProcess::WaitForExit(std::chrono::milliseconds timeout) {
  if (WaitForSingleObject(process_.get(), static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0) {
    return std::nullopt;
  }
  DWORD code = 0;
  GetExitCodeProcess(process_.get(), &code);
  return code;
}

std::size_t SetupProcess::PeakWorkingSet() const {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(process_.get(), &counters, sizeof counters)) return 0;
  return counters.PeakWorkingSetSize;
}

bool SetupProcess::Running() const {
  return WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT;
}

namespace {

struct TopSearch {
  DWORD process;
  const std::wstring* caption;
  HWND found;
};

BOOL CALLBACK MatchTopWindow(HWND window, LPARAM param) {
  auto& s = *reinterpret_cast<TopSearch*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == s.process && IsWindowVisible(window) && TextOf(window) == *s.caption) {
    s.found = window;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

HWND SetupProcess::TopWindow(const std::wstring& caption) const {
  TopSearch search{id_, &caption, nullptr};
  EnumWindows(MatchTopWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND SetupProcess::AwaitTopWindow(const std::wstring& caption,
                                  std::chrono::milliseconds timeout) const {
  HWND found = nullptr;
  WaitFor([&] { return (found = TopWindow(caption)) != nullptr; }, timeout);
  return found;
}

HWND SetupProcess::MainWindow() const {
  return AwaitTopWindow(L"Установка программы");
}

namespace {

struct VisibleSearch {
  DWORD process;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectVisible(HWND window, LPARAM param) {
  auto& s = *reinterpret_cast<VisibleSearch*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == s.process && IsWindowVisible(window)) s.found.push_back(window);
  return TRUE;
}

}  // namespace

std::vector<HWND> SetupProcess::VisibleWindows() const {
  VisibleSearch search{id_, {}};
  EnumWindows(CollectVisible, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

namespace {

bool HasClass(HWND window, const wchar_t* className) {
  wchar_t name[64];
  GetClassNameW(window, name, 64);
  return lstrcmpiW(name, className) == 0;
}

struct ChildSearch {
  const std::wstring* text;  // null: any text
  const wchar_t* className;  // null: any class
  HWND found;
  bool prefix = false;  // text is a prefix of the child's text
};

BOOL CALLBACK MatchChild(HWND window, LPARAM param) {
  auto& s = *reinterpret_cast<ChildSearch*>(param);
  const auto textMatches = [&] {
    const std::wstring text = TextOf(window);
    return s.prefix ? text.rfind(*s.text, 0) == 0 : text == *s.text;
  };
  if (IsShown(window) && (!s.text || textMatches()) &&
      (!s.className || HasClass(window, s.className))) {
    s.found = window;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

HWND FindChild(HWND parent, const std::wstring& text, const wchar_t* className) {
  ChildSearch search{&text, className, nullptr};
  EnumChildWindows(parent, MatchChild, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND FindChildWithPrefix(HWND parent, const std::wstring& prefix) {
  ChildSearch search{&prefix, nullptr, nullptr, true};
  EnumChildWindows(parent, MatchChild, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND FindChildOfClass(HWND parent, const wchar_t* className) {
  ChildSearch search{nullptr, className, nullptr};
  EnumChildWindows(parent, MatchChild, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::wstring TextOf(HWND window) {
  wchar_t buffer[1024];
  if (!HasClass(window, L"Edit")) {
    // The window manager's copy of the text: no message reaches the program, so polling does not
    // slow a busy installer down.
    return std::wstring(buffer, InternalGetWindowText(window, buffer, 1024));
  }
  // An edit field keeps its own text: ask it, with a time-out, so that a busy program cannot hang
  // the driver.
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buffer),
                           SMTO_ABORTIFHUNG, 2000, &length)) {
    return {};
  }
  return std::wstring(buffer, length);
}

bool IsShown(HWND window) {
  return window && IsWindowVisible(window);
}

void Click(HWND button) {
  PostMessageW(button, BM_CLICK, 0, 0);
}

void SetText(HWND edit, const std::wstring& text) {
  SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void RequestClose(HWND window) {
  PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
}

void PressKey(HWND window, WORD virtualKey) {
  SetForegroundWindow(window);
  INPUT input[2]{};
  input[0].type = input[1].type = INPUT_KEYBOARD;
  input[0].ki.wVk = input[1].ki.wVk = virtualKey;
  input[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, input, sizeof(INPUT));
}

bool SaveScreenshot(HWND window, const std::string& bmpPath, ShotArea area) {
  RECT r;
  if (area == ShotArea::kClient) {
    if (!GetClientRect(window, &r)) return false;
    MapWindowPoints(window, HWND_DESKTOP, reinterpret_cast<POINT*>(&r), 2);
  } else if (!GetWindowRect(window, &r)) {
    return false;
  }
  const int w = r.right - r.left, h = r.bottom - r.top;
  const win::WindowDc screen(nullptr);
  const win::MemoryDc memory(CreateCompatibleDC(screen.get()));
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = h;  // bottom-up, as BMP files store rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  const win::Bitmap bitmap(
      CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!memory || !bitmap) return false;
  {
    const win::SelectGuard select(memory.get(), bitmap.get());
    BitBlt(memory.get(), 0, 0, w, h, screen.get(), r.left, r.top, SRCCOPY);
    GdiFlush();
  }
  const DWORD stride = ((w * 3 + 3) / 4) * 4, size = stride * h;
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof info.bmiHeader;
  file.bfSize = file.bfOffBits + size;
  const std::size_t slash = bmpPath.find_last_of("\\/");
  if (slash != std::string::npos) CreateDirectoryA(bmpPath.substr(0, slash).c_str(), nullptr);
  const win::FileHandle out(
      CreateFileA(bmpPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  DWORD written;
  return out && WriteFile(out.get(), &file, sizeof file, &written, nullptr) &&
         WriteFile(out.get(), &info.bmiHeader, sizeof info.bmiHeader, &written, nullptr) &&
         WriteFile(out.get(), bits, size, &written, nullptr);
}

}  // namespace driver
