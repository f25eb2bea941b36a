#include "base/started_programs.h"

#include <gtest/gtest.h>

#include <chrono>

#include "install_fixture.h"
#include "base/program_log.h"
#include "setup/run/registration.h"
#include "win32/wide_text.h"

namespace {

using namespace std::chrono_literals;
using testing_support::FromUnixPath;
using testing_support::ReadFileBytes;

// Unattended runs wait for the registration tools together, 60 s in all (here a shorter limit):
// one that ends is logged with its exit code, one still running at the limit is logged and left
// running.
TEST(WaitForTools, LogsExitCodesAndLeavesALateToolRunning) {
  testing_support::TempFolder temp;
  base::ProgramLog log = base::ProgramLog::OpenFile(win::AnsiToWide(temp / "log.txt"));
  ASSERT_TRUE(log.IsOpen());

  const std::string event = "setup-test-tools-" + std::to_string(GetCurrentProcessId());
  const win::KernelHandle release(CreateEventA(nullptr, TRUE, FALSE, event.c_str()));
  const std::string holder = FromUnixPath(HOLD_FILE_EXE);
  base::StartedTools tools;
  // hold_file.exe without arguments ends at once with exit code 2; with them it waits for the
  // event.
  tools.push_back({"quick", base::StartProgram(holder, "", true), {}});
  tools.push_back(
      {"slow", base::StartProgram(holder, "\"" + temp / "held" + "\" " + event, true), {}});
  ASSERT_TRUE(tools[0].process && tools[1].process);

  int pumps = 0;
  const auto start = std::chrono::steady_clock::now();
  base::WaitForTools(tools, 1500ms, log, [&] { ++pumps; });
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, 1400ms);
  EXPECT_LT(waited, 5s);
  EXPECT_EQ(WaitForSingleObject(tools[1].process.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT))
      << "the late tool was not left running";

  SetEvent(release.get());
  WaitForSingleObject(tools[1].process.get(), 10000);
  const std::string text = ReadFileBytes(temp / "log.txt");
  EXPECT_NE(text.find("tool ended with exit code 2: quick"), std::string::npos) << text;
  EXPECT_NE(text.find("tool still running after 1 s, left running: slow"), std::string::npos)
      << text;
}

// The one wait both programs make while their window must stay alive: it says which handle was
// signalled, pumps for every message that arrives meanwhile, and ends at its limit.
TEST(WaitPumping, NamesTheSignalledHandlePumpsMessagesAndEndsAtItsLimit) {
  const win::KernelHandle never(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  const win::KernelHandle set(CreateEventA(nullptr, TRUE, TRUE, nullptr));
  EXPECT_EQ(base::WaitPumping({never.get(), set.get()}, 5s, nullptr), std::optional<std::size_t>(1));

  int pumps = 0;
  const auto pump = [&pumps] {
    ++pumps;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  };
  PostThreadMessageW(GetCurrentThreadId(), WM_APP, 0, 0);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(base::WaitPumping({never.get()}, 300ms, pump), std::nullopt);
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(pumps, 1);
  EXPECT_GE(waited, 250ms);  // a message does not end the wait
  EXPECT_LT(waited, 5s);
  // Without handles it is a pause.
  EXPECT_EQ(base::WaitPumping({}, 50ms, pump), std::nullopt);
}

}  // namespace
