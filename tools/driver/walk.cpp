// setup_walk SETUP.EXE [--shots FOLDER] [--folder PATH]
// Walks through the wizard as a user would: "Далее", the installation folder (the default unless
// --folder names another), "Начать", then "Закрыть" on the Finish page. With --shots it saves a
// screenshot of each page there (the demo's run command uses it on a virtual display). It prints
// how long the run took from "Начать" to the Finish page and the program's peak working set (the
// benchmarks read these lines).
#include <chrono>
#include <cstdio>
#include <string>

#include "driver.h"
#include "win32/wide_text.h"

using namespace std::chrono_literals;

namespace {

int Fail(const char* what) {
  std::fprintf(stderr, "setup_walk: %s\n", what);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Fail("usage: setup_walk SETUP.EXE [--shots FOLDER] [--folder PATH]");
  std::string shots, folder;
  for (int i = 2; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--shots") {
      shots = argv[i + 1];
    } else if (option == "--folder") {
      folder = argv[i + 1];
    } else {
      return Fail("unknown option");
    }
  }
  driver::SetupProcess setup(argv[1]);
  if (!setup.started()) return Fail("Setup.exe did not start");
  HWND main = setup.MainWindow();
  if (!main) return Fail("no wizard window");
  const auto shot = [&](const char* name) {
    if (shots.empty()) return;
    Sleep(300);  // let the page paint
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
  const auto start = std::chrono::steady_clock::now();
  driver::Click(button(L"Начать"));
  if (!shots.empty()) {
    driver::WaitFor([&] { return driver::FindChild(main, L"Прервать", L"Button") != nullptr; }, 5s);
    shot("3-progress");
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
