// Which stored paths "dtpack unpack" writes, and where below its folder.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace dtpack {

// Why "dtpack unpack" refuses a stored path (code page 1251 bytes), or empty when it takes it.
// The path is split at backslashes. Refused: a part that is "." or "..", or made only of dots and
// spaces (Windows drops the dots and spaces that end a name); an empty part after the first (two
// backslashes in a row) or at the end (no file name); a slash; a colon anywhere but in a leading
// drive part "C:"; a character Windows does not allow in a name (< > " | ? * and codes below 32).
std::string UnpackRefusal(std::string_view stored);

// Where "dtpack unpack" puts a stored path that UnpackRefusal takes, relative to its folder: each
// macro becomes a folder of its name ("%InstallDir%\Maps\a" -> InstallDir/Maps/a), a leading drive
// "C:" the folder "C", a leading backslash nothing.
std::filesystem::path UnpackedPath(std::string_view stored);

}  // namespace dtpack
