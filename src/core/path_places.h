// Names and places of paths, as the uninstaller compares them: the form under which two
// spellings of a file, folder or registry name are the same name on Windows, and which of the
// known folders holds a path. Only the text is looked at, never the disk.
#pragma once

#include <string>
#include <string_view>

namespace dt {

// ASCII and Cyrillic letters (UTF-8) in lower case, as Windows compares file and key names; other
// bytes as they are.
std::string FoldCase(std::string_view text);

// The form under which two spellings of a path compare equal: '/' taken as '\', runs of
// backslashes as one (but for the two that begin a UNC path), no trailing backslash, ASCII and
// Cyrillic letters in lower case. Nothing else is resolved ("." and ".." stay).
std::string PathKey(std::string_view path);

// Whether a folder as typed is a full installation folder: a drive, a colon and a backslash, or a
// share ("\\server\share"), then levels that Windows takes as they are (none "." or "..", none
// ending in a dot or a blank, no ':' after the drive); not a device path ("\\?\", "\\.\"). The
// installer installs only into such a folder, and the uninstaller places only such paths
// (Classify), so that what one writes the other finds. Doubled and trailing backslashes are
// allowed (the folder is used as typed).
bool IsFullInstallFolder(std::string_view folder);

// Where a path lies, for the uninstaller's refusal of anything outside the known places.
enum class Place { kInstallFolder, kWindows, kSystem, kFonts, kOutside };
// Full paths; an empty one is not known.
struct KnownFolders {
  std::string install;
  std::string windows;
  std::string system;
  std::string fonts;
};
// The known folder, on whole path components (PathKey), that holds the path or is the path
// itself; when several do, the deepest (on a tie the earlier: install, system, fonts, windows).
// kOutside for everything else, and for any path that is not plainly one full path: not
// "X:\..." or "\\server\share\...", a device path ("\\?\", "\\.\"), a "." or ".." component,
// a component ending in a dot or a blank (which Windows would trim), or a ':' after the drive
// (an alternate stream). Short 8.3 names are not resolved: the caller passes long full paths.
Place Classify(std::string_view path, const KnownFolders& known);

}  // namespace dt
