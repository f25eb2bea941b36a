// setup_walk SETUP.EXE [--shots FOLDER] [--folder PATH] [--progress-after MS] [--read MS]
// Walks through the wizard as a user would: "Далее", the installation folder (the default unless
// --folder names another), "Начать", then "Закрыть" on the Finish page. With --shots it saves a
// screenshot of each page there (the demo's run command uses it on a virtual display); the
// progress page is taken MS milliseconds (default 300) after the first file name shows, so that a
// distribution that takes a few seconds is caught mid-run. It prints how long the run took from
// "Начать" to the Finish page and the program's peak working set (the benchmarks read these
// lines). With --read it stays MS milliseconds on the Settings page before "Начать", as a person
// reading the pages would (a sealed distribution checks its archives meanwhile).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "driver.h"
#include "win32/handles.h"
#include "win32/wide_text.h"

using namespace std::chrono_literals;

namespace {

int Fail(const char* what) {
  std::fprintf(stderr, "setup_walk: %s\n", what);
  return 1;
}

// Holds the thread that owns a window still while it lives, so that a screenshot shows one moment
// of a running installation (the gauge and the file name of the same entry).
class PausedWindowThread {
 public:
  explicit PausedWindowThread(HWND window)
      : thread_(OpenThread(THREAD_SUSPEND_RESUME, FALSE, GetWindowThreadProcessId(window, nullptr))) {
    paused_ = thread_ && SuspendThread(thread_.get()) != static_cast<DWORD>(-1);
  }
  ~PausedWindowThread() {
    if (paused_) ResumeThread(thread_.get());
  }
  PausedWindowThread(const PausedWindowThread&) = delete;
  PausedWindowThread& operator=(const PausedWindowThread&) = delete;

 private:
  win::KernelHandle thread_;
  bool paused_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    return Fail("usage: setup_walk SETUP.EXE [--shots FOLDER] [--folder PATH] [--progress-after MS] "
                "[--read MS] [--log FILE]");
  }
  std::string shots, folder, log;
  DWORD progressAfter = 300, reading = 0;
  for (int i = 2; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--shots") {
      shots = argv[i + 1];
    } else if (option == "--folder") {
      folder = argv[i + 1];
    } else if (option == "--log") {
      log = argv[i + 1];
    } else if (option == "--read") {
      reading = static_cast<DWORD>(std::strtoul(argv[i + 1], nullptr, 10));
    } else if (option == "--progress-after") {
      progressAfter = static_cast<DWORD>(std::strtoul(argv[i + 1], nullptr, 10));
    } else {
      return Fail("unknown option");
    }
  }
  driver::SetupProcess setup(argv[1], log.empty() ? L"" : L"\"/LOG=" + win::AnsiToWide(log) + L"\"");
  if (!setup.started()) return Fail("Setup.exe did not start");
  HWND main = setup.MainWindow();
  if (!main) return Fail("no wizard window");
  const auto shot = [&](const char* name, bool settle = true) {
    if (shots.empty()) return;
    if (settle) Sleep(300);  // let the page paint
    driver::SaveScreenshot(main, shots + "\\" + name + ".bmp");
    std::printf("setup_walk: %s\n", name);
  };
  const auto button = [&](const wchar_t* text) {
    HWND found = nullptr;
    driver::WaitFor([&] { return (found = driver::FindChild(main, text, L"Button")) != nullptr; });
    return found;
  };

  shot("1-wellcome");
  driver::Click(button(L"Далее"));
  if (!button(L"Начать")) return Fail("the Settings page did not show");
  if (!folder.empty()) {
    driver::SetText(driver::FindChildOfClass(main, L"Edit"), win::AnsiToWide(folder));
  }
  shot("2-settings");
  if (reading) Sleep(reading);
  const auto start = std::chrono::steady_clock::now();
  driver::Click(button(L"Начать"));
  if (!shots.empty()) {
    driver::WaitFor([&] { return driver::FindChildWithPrefix(main, L"Файл: ") != nullptr; }, 20s,
                    1ms);
    Sleep(progressAfter);
    const PausedWindowThread still(main);
    if (HWND label = driver::FindChildWithPrefix(main, L"Файл: ")) {
      std::printf("setup_walk: progress shot at \"%s\"\n",
                  win::WideToUtf8(driver::TextOf(label)).c_str());
    } else {
      std::printf("setup_walk: the run was over before the progress shot: try a smaller "
                  "--progress-after\n");
    }
    shot("3-progress", /*settle=*/false);
  }
  const bool finished = driver::WaitFor(
      [&] { return driver::FindChild(main, L"Закрыть", L"Button") != nullptr; }, 1800s, 1ms);
  const auto took = std::chrono::steady_clock::now() - start;
  if (HWND error = setup.TopWindow(L"Ошибка")) {
    if (!shots.empty()) driver::SaveScreenshot(error, shots + "\\error.bmp");
    return Fail("the installation reported an error");
  }
  if (!finished) return Fail("the Finish page did not show");
  std::printf(
      "setup_walk: run took %lld ms\n",
      static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(took).count()));
  std::printf("setup_walk: peak working set %zu bytes\n", setup.PeakWorkingSet());
  shot("4-finish");
  driver::Click(button(L"Закрыть"));
  if (!setup.WaitForExit()) return Fail("Setup.exe did not end");
  std::printf("setup_walk: the installation completed\n");
  return 0;
}
