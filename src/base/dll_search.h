// An elevated installer started from a downloads folder must not load a DLL planted beside it.
#pragma once

namespace base {

// Restricts the DLL search to the system folder (SetDefaultDllDirectories with
// LOAD_LIBRARY_SEARCH_SYSTEM32); where the system lacks that call (Windows 7 without its update),
// at least takes the current folder out of the search (SetDllDirectoryW with an empty text).
// The program's first call.
void KeepPlantedDllsOut();

}  // namespace base
