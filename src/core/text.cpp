#include "core/text.h"

namespace dt {

std::string TrimTrailingBackslashes(std::string_view path) {
  while (!path.empty() && path.back() == '\\') path.remove_suffix(1);
  return std::string(path);
}

std::string ReplaceAll(std::string_view text, std::string_view pattern,
                       std::string_view replacement) {
  if (pattern.empty()) return std::string(text);
  std::string result;
  result.reserve(text.size());
  std::size_t from = 0;
  for (std::size_t at; (at = text.find(pattern, from)) != std::string_view::npos;
       from = at + pattern.size()) {
    result.append(text, from, at - from).append(replacement);
  }
  return result.append(text.substr(from));
}

SplitResult SplitPath(std::string_view path) {
  const std::size_t slash = path.rfind('\\');
  if (slash == std::string_view::npos) return {std::string(), std::string(path)};
  return {std::string(path.substr(0, slash)), std::string(path.substr(slash + 1))};
}

bool IsRootedPath(std::string_view path) {
  if (!path.empty() && path[0] == '\\') return true;
  const auto isLetter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
  return path.size() >= 2 && isLetter(path[0]) && path[1] == ':';
}

}  // namespace dt
