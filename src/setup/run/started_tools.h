// The registration tools that a run started, kept by their process handles, and the wait for them
// that unattended runs make.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "win32/handles.h"

namespace setup {

class InstallLog;

struct StartedTool {
  std::string commandLine;  // as started (ANSI code page)
  win::KernelHandle process;
};
using StartedTools = std::vector<StartedTool>;

// Waits for all the tools together, at most `limit` in all, calling pump whenever window messages
// arrive meanwhile. Logs each tool's exit code, or that it still runs when the time is up (it is
// left running).
void WaitForTools(StartedTools& tools, std::chrono::milliseconds limit, InstallLog& log,
                  const std::function<void()>& pump);

}  // namespace setup
