#include "toolkit/application.h"

#include <objbase.h>

#include "toolkit/error_report.h"

namespace tk {
namespace {
Application* instance = nullptr;
}

Application::Application(Com com) {
  comInitialized_ = com == Com::kInitialise && SUCCEEDED(CoInitialize(nullptr));
  instance = this;
}

Application::~Application() {
  if (instance == this) instance = nullptr;
  if (comInitialized_) CoUninitialize();
}

Application* Application::Instance() {
  return instance;
}

void Application::SetTitle(std::wstring title) {
  title_ = std::move(title);
  if (mainWindow_) SetWindowTextW(mainWindow_, title_.c_str());
}

void Application::Dispatch(MSG& msg) {
  if (msg.message == WM_QUIT) {
    terminated_ = true;
    return;
  }
  // The filters may be changed by a handler they run: iterate over a copy.
  const auto filters = filters_;
  for (const auto& [id, filter] : filters) {
    bool swallowed = false;
    try {
      swallowed = filter(msg);
    } catch (...) {
      ReportCurrentException();
      swallowed = true;
    }
    if (swallowed) return;
  }
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
}

void Application::ProcessMessages() {
  if (pumpHook_) {
    try {
      pumpHook_();
    } catch (...) {
      ReportCurrentException();
    }
  }
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) Dispatch(msg);
}

void Application::HandleMessage() {
  MSG msg;
  if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    Dispatch(msg);
  } else {
    WaitMessage();
  }
}

void Application::Run() {
  while (!terminated_) {
    MSG msg;
    if (GetMessageW(&msg, nullptr, 0, 0) <= 0) {
      terminated_ = true;
      break;
    }
    Dispatch(msg);
  }
}

int Application::AddMessageFilter(MessageFilter filter) {
  filters_.emplace_back(nextFilterId_, std::move(filter));
  return nextFilterId_++;
}

void Application::RemoveMessageFilter(int id) {
  std::erase_if(filters_, [id](const auto& entry) { return entry.first == id; });
}

}  // namespace tk
