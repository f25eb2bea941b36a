// Byte-exact text routines on 8-bit ANSI texts. Every comparison is an exact byte comparison
// (upper and lower case differ); every routine returns a new text and leaves its inputs alone.
#pragma once

#include <string>
#include <string_view>

namespace dt {

// Removes every trailing backslash ("C:\" becomes "C:", "\\\" becomes "").
std::string TrimTrailingBackslashes(std::string_view path);

// Replaces every occurrence of pattern, left to right and without overlap; inserted text is never
// searched again. An empty pattern has no occurrence.
std::string ReplaceAll(std::string_view text, std::string_view pattern,
                       std::string_view replacement);

struct SplitResult {
  std::string folder;  // before the last backslash; empty when there is none
  std::string file;    // after the last backslash; the whole path when there is none
};
SplitResult SplitPath(std::string_view path);

// True when the folder-creation routine may work on this path: it starts with a drive letter and
// a colon, or with a backslash.
bool IsRootedPath(std::string_view path);

}  // namespace dt
