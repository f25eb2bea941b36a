#include "setup/run/started_tools.h"

#include <windows.h>

#include "setup/run/install_log.h"

namespace setup {

void WaitForTools(StartedTools& tools, std::chrono::milliseconds limit, InstallLog& log,
                  const std::function<void()>& pump) {
  const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(limit.count());
  std::vector<StartedTool*> running;
  for (StartedTool& tool : tools) {
    if (tool.process) running.push_back(&tool);
  }
  while (!running.empty()) {
    // One of them has ended, time is up, or a message waits.
    std::vector<HANDLE> handles;
    for (const StartedTool* tool : running) handles.push_back(tool->process.get());
    const ULONGLONG now = GetTickCount64();
    const DWORD left = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
    const DWORD woke = MsgWaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(),
                                                 FALSE, left, QS_ALLINPUT);
    if (woke < WAIT_OBJECT_0 + handles.size()) {
      StartedTool& ended = *running[woke - WAIT_OBJECT_0];
      DWORD code = 0;
      GetExitCodeProcess(ended.process.get(), &code);
      log.WriteAnsi("tool ended with exit code " + std::to_string(code) + ": " + ended.commandLine);
      running.erase(running.begin() + (woke - WAIT_OBJECT_0));
    } else if (woke == WAIT_OBJECT_0 + handles.size()) {
      if (pump) pump();
    } else {
      break;  // time is up (or the wait failed)
    }
  }
  for (const StartedTool* tool : running) {
    log.WriteAnsi("tool still running after " + std::to_string(limit.count() / 1000) +
                  " s, left running: " + tool->commandLine);
  }
}

}  // namespace setup
