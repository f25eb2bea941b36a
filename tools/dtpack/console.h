// How dtpack shows stored paths and progress on its console.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

namespace dtpack {

// Stored paths are code page 1251 bytes: shown as UTF-8 on Linux, as they are on Windows (whose
// ANSI calls take them unchanged).
std::string ShowStored(std::string_view stored);

// A local path as UTF-8, for messages.
std::string ShowPath(const std::filesystem::path& path);

bool IsTerminal(std::FILE* stream);

}  // namespace dtpack
