// The installer's shared state: the few globals every stage of a run reads.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace setup {

// The folder that holds Setup.exe, without trailing backslashes; set once at window creation.
extern std::string SourceDir;
// The product's title (product::kProgramTitle): the uninstall key's name, its DisplayName and the INI's ProgName.
extern std::string ProgramTitle;
// The installation folder exactly as typed (ANSI code page), set when "Начать" is pressed.
extern std::string InstallFolder;
// The two archives' sizes added up, and the payload bytes processed so far. 64-bit, so that
// distributions of 2 GiB and more are counted correctly.
extern std::int64_t TotalBytes;
extern std::int64_t DoneBytes;

// A folder level this process made for an installation folder before a run, and what made it:
// "step" (the folder step of a run's start) or "browser" (the folder browser, opened on the typed
// folder). The installation record names those of the folder it installs into.
struct MadeFolder {
  std::string path;
  std::string madeBy;
};
extern std::vector<MadeFolder> FoldersMade;

// Sets SourceDir (from the running program's own path) and ProgramTitle, as window creation does;
// runs without the window call it themselves.
void SetProgramGlobals();

}  // namespace setup
