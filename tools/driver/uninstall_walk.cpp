// uninstall_walk UNINSTALLER.EXE [--shots FOLDER] [--progress-after MS]
// Walks through the uninstallation as a person would: "OK" to the question, the progress window,
// then "OK" to the final box. With --shots it saves a screenshot of each there (the demo's run
// command uses it after setup_walk); the progress window is taken MS milliseconds (default 100)
// after the first file name shows. Prints the final box's text and the exit code.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "driver.h"
#include "win32/wide_text.h"

using namespace std::chrono_literals;

namespace {

constexpr wchar_t kCaption[] = L"Удаление программы";

int Fail(const char* what) {
  std::fprintf(stderr, "uninstall_walk: %s\n", what);
  return 1;
}

// A visible window of the process with the uninstaller's caption and this window class.
HWND Shown(const driver::SetupProcess& process, const wchar_t* windowClass) {
  for (HWND window : process.VisibleWindows()) {
    wchar_t name[64] = L"";
    GetClassNameW(window, name, 64);
    if (driver::TextOf(window) == kCaption && std::wstring(name) == windowClass) return window;
  }
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Fail("usage: uninstall_walk UNINSTALLER.EXE [--shots FOLDER] [--progress-after MS]");
  std::string shots;
  DWORD progressAfter = 100;
  for (int i = 2; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--shots") {
      shots = argv[i + 1];
    } else if (option == "--progress-after") {
      progressAfter = static_cast<DWORD>(std::strtoul(argv[i + 1], nullptr, 10));
    } else {
      return Fail("unknown option");
    }
  }
  const auto shot = [&](HWND window, const char* name) {
    if (shots.empty()) return;
    driver::SaveScreenshot(window, shots + "\\" + name + ".bmp");
    std::printf("uninstall_walk: %s\n", name);
  };

  driver::SetupProcess uninstaller(argv[1]);
  if (!uninstaller.started()) return Fail("Uninstaller.exe did not start");
  HWND question = uninstaller.AwaitTopWindow(L"Подтверждение");
  if (!question) return Fail("no question");
  Sleep(300);  // let it paint
  shot(question, "5-uninstall-question");
  driver::Click(driver::FindChild(question, L"OK", L"Button"));

  HWND box = nullptr;
  bool progressTaken = shots.empty();
  const bool ended = driver::WaitFor(
      [&] {
        if (!progressTaken) {
          HWND window = Shown(uninstaller, L"TFormMain");
          if (window && driver::FindChildWithPrefix(window, L"Файл: ")) {
            Sleep(progressAfter);
            shot(window, "6-uninstall-progress");
            progressTaken = true;
          }
        }
        return (box = Shown(uninstaller, L"#32770")) != nullptr;
      },
      600s, 1ms);
  if (HWND error = uninstaller.TopWindow(L"Ошибка")) {
    if (!shots.empty()) driver::SaveScreenshot(error, shots + "\\uninstall-error.bmp");
    return Fail("the uninstallation reported an error");
  }
  if (!ended) return Fail("no final box");
  if (!progressTaken) std::printf("uninstall_walk: the removal was over before the progress shot\n");
  Sleep(300);
  shot(box, "7-uninstall-finish");
  if (HWND text = driver::FindChildWithPrefix(box, L"Программа")) {
    std::printf("uninstall_walk: final box: %s\n", win::WideToUtf8(driver::TextOf(text)).c_str());
  }
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  const auto code = uninstaller.WaitForExit();
  if (!code) return Fail("Uninstaller.exe did not end");
  std::printf("uninstall_walk: exit code %lu\n", static_cast<unsigned long>(*code));
  return *code == 0 || *code == 3010 ? 0 : 1;
}
