// How long both programs wait for a file that another program holds open: the installer's
// unattended runs before they give up on writing it, the uninstaller before it leaves the file to
// the next restart.
#pragma once

#include <chrono>

namespace base {

inline constexpr int kHeldFileRetries = 10;
inline constexpr std::chrono::milliseconds kHeldFileRetryPause{500};

}  // namespace base
