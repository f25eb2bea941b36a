// What the uninstaller tells its helper, and how that travels on the helper's command line:
//
//   "<helper>" /REMOVE-AFTER-EXIT PROCESS LOG V:I:S:T "<uninstaller>" [V:I "<folder>"]...
//
// PROCESS and LOG are the numbers of the handles the helper inherits (LOG 0 when there is no
// log); V:I:S:T is the identity of the uninstaller that ran (volume, index, size, last-write
// time); each folder follows with its own volume and index. Numbers are decimal; paths are
// quoted, and a backslash stays literal (dt::SplitArguments).
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "uninstall/self_removal.h"
#include "win32/files.h"

namespace uninstall {

// A folder the helper removes when empty, and which folder it was when the uninstaller named it.
struct HelperFolder {
  std::string path;  // ANSI code page
  win::FileId id;
  bool operator==(const HelperFolder&) const = default;
};

// What the helper removes once the uninstaller has ended.
struct HelperTask {
  std::string uninstaller;            // full path, ANSI code page
  FileIdentity identity;              // the file that ran
  std::vector<HelperFolder> folders;  // deepest first
  bool operator==(const HelperTask&) const = default;
};

// The helper's whole command line, its program's path first.
std::wstring HelperCommandLine(const std::wstring& program, HANDLE process, HANDLE log,
                               const HelperTask& task);

// What the helper reads from the arguments after its switch.
struct HelperCall {
  HANDLE process = nullptr;  // the uninstaller's, to wait for
  HANDLE log = nullptr;      // the uninstaller's log, or null
  HelperTask task;
};

// Nothing when the arguments are not a helper's: too few, no process handle, or an identity that
// cannot be read. A folder whose id cannot be read is left out (to the restart).
std::optional<HelperCall> HelperCallFrom(const std::vector<std::wstring>& arguments);

}  // namespace uninstall
