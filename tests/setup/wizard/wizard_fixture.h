// Drives the real wizard window in this process: a fresh application object and window per test,
// real keyboard and mouse input through SendInput, and a way to act inside modal loops (message
// boxes, the question dialog, the folder browser) from a thread timer that their loops dispatch.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "support/ui_driver.h"
#include "setup/wizard/form_main.h"
#include "toolkit/application.h"

namespace testing_support {

using ui::RectInParent;
using ui::TextOf;

inline LOGFONTW FontOf(HWND window) {
  LOGFONTW font{};
  auto handle = reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
  GetObjectW(handle, sizeof font, &font);
  return font;
}

inline void SendKey(WORD key, bool shift = false, bool alt = false) {
  std::vector<INPUT> inputs;
  auto add = [&inputs](WORD vk, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    inputs.push_back(input);
  };
  if (shift) add(VK_SHIFT, false);
  if (alt) add(VK_MENU, false);
  add(key, false);
  add(key, true);
  if (alt) add(VK_MENU, true);
  if (shift) add(VK_SHIFT, true);
  SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

// A left click in the middle of a window (the pointer settles before the button goes down).
inline void ClickAt(HWND window) {
  ui::ClickCentre(window);
}

struct WindowSearch {
  HWND except;
  std::vector<HWND> found;
};

inline BOOL CALLBACK CollectVisible(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<WindowSearch*>(data);
  if (window != search->except && IsWindowVisible(window)) search->found.push_back(window);
  return TRUE;
}

// The visible top-level windows of this thread other than `except`.
inline std::vector<HWND> OtherThreadWindows(HWND except) {
  WindowSearch search{except, {}};
  EnumThreadWindows(GetCurrentThreadId(), &CollectVisible, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

inline BOOL CALLBACK AppendStaticText(HWND child, LPARAM data) {
  wchar_t name[16] = {};
  GetClassNameW(child, name, 16);
  if (lstrcmpiW(name, L"Static") == 0) *reinterpret_cast<std::wstring*>(data) += TextOf(child);
  return TRUE;
}

// The text of every STATIC child of a dialog, joined.
inline std::wstring StaticTexts(HWND dialog) {
  std::wstring all;
  EnumChildWindows(dialog, &AppendStaticText, reinterpret_cast<LPARAM>(&all));
  return all;
}

// Runs an action once a modal window of this thread other than the wizard is up: a thread
// timer's callback, which any modal loop dispatches. The action gets that window.
class WhenModalUp {
 public:
  explicit WhenModalUp(std::function<void(HWND)> action) : before_(OtherThreadWindows(nullptr)) {
    Current() = this;
    action_ = std::move(action);
    timer_ = SetTimer(nullptr, 0, 50, &Tick);
  }
  ~WhenModalUp() {
    KillTimer(nullptr, timer_);
    if (Current() == this) Current() = nullptr;
  }
  WhenModalUp(const WhenModalUp&) = delete;
  WhenModalUp& operator=(const WhenModalUp&) = delete;
  bool Done() const { return done_; }

 private:
  static WhenModalUp*& Current() {
    static WhenModalUp* current = nullptr;
    return current;
  }
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    WhenModalUp* self = Current();
    if (!self || self->done_) return;
    for (HWND window : OtherThreadWindows(nullptr)) {
      if (std::find(self->before_.begin(), self->before_.end(), window) != self->before_.end()) {
        continue;
      }
      self->done_ = true;
      self->action_(window);
      return;
    }
  }

  std::vector<HWND> before_;  // windows that were up already
  std::function<void(HWND)> action_;
  UINT_PTR timer_ = 0;
  bool done_ = false;
};

// Ends the process when a test hangs (a modal window nobody answers), naming the test.
class Watchdog {
 public:
  explicit Watchdog(DWORD milliseconds) {
    CreateTimerQueueTimer(&timer_, nullptr, &Bite, nullptr, milliseconds, 0, 0);
  }
  ~Watchdog() { DeleteTimerQueueTimer(nullptr, timer_, INVALID_HANDLE_VALUE); }
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;

 private:
  static void CALLBACK Bite(void*, BOOLEAN) {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::fprintf(stderr, "HANG in %s\n", test ? test->name() : "?");
    std::fflush(stderr);
    ExitProcess(3);
  }
  HANDLE timer_ = nullptr;
};

class WizardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!watchdog_) watchdog_ = std::make_unique<Watchdog>(60000);
    app = std::make_unique<tk::Application>();
    app->SetTitle(L"Установка программы");
    form = std::make_unique<setup::TFormMain>();
    app->SetMainWindow(form->Handle());
    form->Show();
    SetForegroundWindow(form->Handle());
    Settle();
  }
  void TearDown() override {
    form.reset();
    app.reset();
  }

  // Lets queued input and paints arrive and be handled.
  void Settle(int milliseconds = 120) {
    const DWORD end = GetTickCount() + static_cast<DWORD>(milliseconds);
    do {
      app->ProcessMessages();
      Sleep(5);
    } while (GetTickCount() < end);
  }
  void Key(WORD key, bool shift = false, bool alt = false) {
    SendKey(key, shift, alt);
    Settle();
  }
  void Click(HWND window) {
    ClickAt(window);
    Settle();
  }
  bool Shown(HWND window) const { return IsWindowVisible(window) != FALSE; }
  const setup::TFormMain::Controls& C() const { return form->Ctl(); }

  std::unique_ptr<Watchdog> watchdog_;
  std::unique_ptr<tk::Application> app;
  std::unique_ptr<setup::TFormMain> form;
};

// Saves what the screen shows of a window's client area as a 24-bit BMP file.
void SaveScreenshot(HWND window, const std::string& path);

}  // namespace testing_support
