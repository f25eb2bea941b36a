#include "base/started_programs.h"

#include <algorithm>

#include "base/program_log.h"

namespace base {

win::KernelHandle StartProgram(const std::string& path, const std::string& arguments,
                               bool minimised) {
  if (path.empty()) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return {};
  }
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = minimised ? SW_SHOWMINIMIZED : SW_SHOWNORMAL;
  std::string commandLine = "\"" + path + "\" " + arguments;
  // In the system folder, not the caller's: the distribution's folder, which others may write,
  // is no place for a program started elevated to look for its DLLs.
  char system[MAX_PATH];
  const UINT length = GetSystemDirectoryA(system, MAX_PATH);
  const char* folder = length > 0 && length < MAX_PATH ? system : nullptr;
  PROCESS_INFORMATION started{};
  if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder,
                      &startup, &started)) {
    return {};
  }
  const win::KernelHandle thread(started.hThread);
  return win::KernelHandle(started.hProcess);
}

std::optional<std::size_t> WaitPumping(const std::vector<HANDLE>& handles,
                                       std::chrono::milliseconds limit,
                                       const std::function<void()>& pump) {
  const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(limit.count());
  const auto count = static_cast<DWORD>(handles.size());
  for (;;) {
    const ULONGLONG now = GetTickCount64();
    const DWORD left = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
    // Without a pump, messages would wake the wait again and again: only the handles count.
    const DWORD woke = MsgWaitForMultipleObjects(count, handles.data(), FALSE, left,
                                                 pump ? QS_ALLINPUT : 0);
    if (woke < WAIT_OBJECT_0 + count) return woke - WAIT_OBJECT_0;
    if (woke != WAIT_OBJECT_0 + count) return std::nullopt;  // time is up, or the wait failed
    if (pump) pump();
    if (left == 0) return std::nullopt;
  }
}

void WaitForTools(StartedTools& tools, std::chrono::milliseconds limit, ProgramLog& log,
                  const std::function<void()>& pump) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  std::vector<StartedTool*> running;
  for (StartedTool& tool : tools) {
    if (tool.process) running.push_back(&tool);
  }
  while (!running.empty()) {
    std::vector<HANDLE> handles;
    for (const StartedTool* tool : running) handles.push_back(tool->process.get());
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    const std::optional<std::size_t> ended =
        WaitPumping(handles, std::max(left, std::chrono::milliseconds(0)), pump);
    if (!ended) break;  // time is up (or the wait failed)
    StartedTool& tool = *running[*ended];
    DWORD code = 0;
    GetExitCodeProcess(tool.process.get(), &code);
    log.WriteAnsi("tool ended with exit code " + std::to_string(code) + ": " + tool.commandLine);
    running.erase(running.begin() + static_cast<std::ptrdiff_t>(*ended));
  }
  for (const StartedTool* tool : running) {
    log.WriteAnsi("tool still running after " + std::to_string(limit.count() / 1000) +
                  " s, left running: " + tool->commandLine);
  }
}

}  // namespace base
