// The application object: COM for the main thread, the title, the message loop and the
// re-entrant pump with the application's ending semantics.
//
// A close request of the main window posts the quit message. The main loop ends when it meets it;
// a nested pump that meets it only records that the application is ending and returns, so the
// handler that called it runs to its end first.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace tk {

class Application {
 public:
  // Initialises COM for this thread as a single-threaded apartment (the folder browser needs it),
  // unless told that nothing of the run will need it (COM's start costs tens of milliseconds).
  enum class Com { kInitialise, kNotNeeded };
  explicit Application(Com com = Com::kInitialise);
  ~Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // The one instance, or null before it is created.
  static Application* Instance();

  const std::wstring& Title() const { return title_; }
  // Sets the title; the taskbar shows it through the main window's caption.
  void SetTitle(std::wstring title);

  HWND MainWindow() const { return mainWindow_; }
  void SetMainWindow(HWND window) { mainWindow_ = window; }

  // Handles every pending message and returns without waiting.
  void ProcessMessages();
  // Waits for one message and handles it (with ProcessMessages' rules).
  void HandleMessage();
  // The main loop: handles messages until the application is ending.
  void Run();

  // Tells the application to end: posts the quit message.
  void Terminate() { PostQuitMessage(0); }
  // The quit message has been met; every modal loop then closes without waiting for the user.
  bool Terminated() const { return terminated_; }

  // A filter sees every message before it is dispatched; returning true swallows it. The wizard
  // uses it for its keyboard. Returns an id for RemoveMessageFilter.
  using MessageFilter = std::function<bool(MSG&)>;
  int AddMessageFilter(MessageFilter filter);
  void RemoveMessageFilter(int id);

  // Called once by every ProcessMessages before it looks at the queue (tests queue input here).
  using PumpHook = std::function<void()>;
  void SetPumpHook(PumpHook hook) { pumpHook_ = std::move(hook); }

 private:
  // Handles one message taken from the queue.
  void Dispatch(MSG& msg);

  std::wstring title_;
  HWND mainWindow_ = nullptr;
  bool terminated_ = false;
  bool comInitialized_ = false;
  std::vector<std::pair<int, MessageFilter>> filters_;
  int nextFilterId_ = 1;
  PumpHook pumpHook_;
};

}  // namespace tk
