// Programs that the elevated programs start, and the one wait that keeps a window alive meanwhile:
// the registration tools an installation starts (and unattended runs wait for), the tool the
// uninstaller runs to unregister, and every pause between two tries at a held file.
#pragma once

#include <windows.h>

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "win32/handles.h"

namespace base {

class ProgramLog;

// Starts `"path" arguments` (minimised or normal) and hands back its process; null when it could
// not be started (GetLastError tells why).
win::KernelHandle StartProgram(const std::string& path, const std::string& arguments,
                               bool minimised);

// Waits until one of `handles` is signalled or `limit` has passed, calling pump (when given)
// whenever window messages arrive meanwhile: the one wait of both programs that keeps their
// window answering. The index of the handle signalled, or nothing when the time is up or the wait
// failed. With no handles it is a pause that pumps; without a pump, messages do not wake it.
std::optional<std::size_t> WaitPumping(const std::vector<HANDLE>& handles,
                                       std::chrono::milliseconds limit,
                                       const std::function<void()>& pump);

struct StartedTool {
  std::string commandLine;  // as started (ANSI code page)
  win::KernelHandle process;
  // The tool's file and the file handed to it, held unchangeable for as long as the tool may run.
  std::vector<win::FileHandle> held;
};
using StartedTools = std::vector<StartedTool>;

// Waits for all the tools together, at most `limit` in all, pumping as WaitPumping does. Logs
// each tool's exit code, or that it still runs when the time is up (it is left running).
void WaitForTools(StartedTools& tools, std::chrono::milliseconds limit, ProgramLog& log,
                  const std::function<void()>& pump);

}  // namespace base
