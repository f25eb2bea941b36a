// The installation log: one line per event, in UTF-8, each beginning with the local date and time
// to the millisecond. Every stage of a run writes to the one log it is handed, whichever view
// watches the run; a log that writes nowhere (NoLog) stands in when none was asked for.
//
// Each line goes to the system as it happens (it survives the process being killed). A write
// that fails never changes the run. The program runs elevated and may write into folders that
// others can write too, so a log file is used only when the opened file is the one that was
// named: no link, junction or second name anywhere on the way.
#pragma once

#include <string>
#include <string_view>

#include "core/command_line.h"
#include "win32/handles.h"

namespace base {

class ProgramLog {
 public:
  // A log that writes nowhere.
  ProgramLog() = default;
  ProgramLog(ProgramLog&&) = default;
  ProgramLog& operator=(ProgramLog&&) = default;

  // A new file "Setup Log YYYY-MM-DD #NNN.txt" in folder (the process's temporary folder when
  // empty), with the first free NNN from 001 to 999. Writes nowhere when no name is free or the
  // created file is not the one named.
  // kind names the program: "Setup", or "Uninstall" for the uninstaller's "Uninstall Log ...".
  static ProgramLog CreateNumbered(std::wstring folder = {}, const wchar_t* kind = L"Setup");
  // The file at an absolute path: an existing regular file is replaced. Writes nowhere when the
  // file cannot be opened or is reached through a link or junction.
  static ProgramLog OpenFile(const std::wstring& path);

  // The log of another process, through a handle it passed on (see ForChild): the lines go on
  // where that process's lines ended.
  static ProgramLog Continue(win::FileHandle inherited);

  bool IsOpen() const { return static_cast<bool>(file_); }
  // An inheritable handle of the same open file, for a process this one starts to go on writing
  // the log; null when the log writes nowhere.
  win::FileHandle ForChild() const;
  // The full path of the file written (empty when none).
  const std::wstring& Path() const { return path_; }

  // Writes one line, the time first.
  void Write(std::wstring_view line);
  // The same for an 8-bit text in the ANSI code page (paths).
  void WriteAnsi(std::string_view line);

 private:
  ProgramLog(win::FileHandle file, std::wstring path)
      : file_(std::move(file)), path_(std::move(path)) {}

  win::FileHandle file_;
  std::wstring path_;
};

// The log that writes nowhere, for callers that were given none.
ProgramLog& NoLog();

// The log a command line asks for: the /LOG=file, or for /LOG and every unattended run a new
// numbered "<kind> Log ..." in the temporary folder; none otherwise. A /LOG=file that cannot be
// used becomes the command line's bad argument (unless it has one already).
ProgramLog OpenLogFor(dt::CommandLine& options, const wchar_t* kind);

// The run's closing line, "result: <what>; exit code N; duration S s", timed from this object's
// creation; hands back the exit code.
// How a start of a program ended: a few words for the result line, and the exit code.
struct Ending {
  const wchar_t* words;
  int exitCode;
};

class ResultLine {
 public:
  explicit ResultLine(ProgramLog& log);
  int operator()(const Ending& ending) const;

 private:
  ProgramLog& log_;
  unsigned long long started_;
};

}  // namespace base
