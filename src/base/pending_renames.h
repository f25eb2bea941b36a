// Deletes and renames the system carries out at the next restart. MoveFileEx with
// MOVEFILE_DELAY_UNTIL_REBOOT keeps them in the REG_MULTI_SZ value PendingFileRenameOperations
// (some systems also PendingFileRenameOperations2) under
// HKLM\SYSTEM\CurrentControlSet\Control\Session Manager: pairs of strings, source then
// destination, each an NT path ("\??\C:\dir\file"); an empty destination means delete, a
// destination that begins with '!' replaces an existing file.
//
// An earlier uninstallation may have left a file that was in use to be deleted at the next
// restart. If this run writes that file again, the restart would delete the new one.
#pragma once

#include <string>
#include <vector>

namespace base {

class ProgramLog;

class PendingRenames {
 public:
  // Reads both values once (a run does this once). A missing or unreadable value, or one of
  // another type: nothing pending there.
  static PendingRenames Read();

  // Before `target` (a path as the installer names it, ANSI code page) is written: a pending
  // delete of the same file is removed from its value and logged. The value is read again just
  // before it is written back, so that entries added since Read are kept, and it is deleted when
  // nothing remains in it. A pending rename onto the target, or of the target elsewhere, is left
  // and logged as a warning. Nothing pending (the common case): returns at once, without looking
  // at the registry.
  void BeforeWrite(const std::string& target, ProgramLog& log);
  // After the file or folder at `path` was removed by other means: its pending delete, no longer
  // needed, is removed the same way.
  void AfterRemoval(const std::string& path, ProgramLog& log) { BeforeWrite(path, log); }

  bool Empty() const { return values_.empty(); }

 private:
  struct Value {
    std::wstring name;
    std::vector<std::wstring> strings;  // source, destination, source, destination, ...
  };
  std::vector<Value> values_;  // the values that hold something
};

// The full path of `path` (ANSI code page) as the system will act on it: the full path, and for a
// 32-bit process under WOW64 the system folder as it is really reached (System32 -> SysWOW64,
// Sysnative -> System32). Compare it with a pending entry's path without its "\??\" prefix,
// ignoring case.
std::wstring PathAsTheSystemActsOnIt(const std::string& path);

}  // namespace base
