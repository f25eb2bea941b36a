// Links for the tests of links. A Windows program under Wine cannot make one, so the test's
// wrapper (support/with_linked_folder.sh) makes it on request: a Unix symbolic link, which Windows
// programs see as a reparse point, as at a junction.
#pragma once

#include <windows.h>

#include <cstdlib>
#include <string>

namespace testing_support {

// Whether the wrapper that makes links runs this test.
inline bool CanMakeLinks() {
  return std::getenv("SETUP_LINK_REQUESTS") != nullptr;
}

// Asks the wrapper for a link: `to` names the folder it leads to, or is "-" to remove it.
inline bool AskForLink(const std::string& link, const std::string& to) {
  const char* requests = std::getenv("SETUP_LINK_REQUESTS");
  if (!requests) return false;
  static int counter = 0;
  const std::string base = std::string(requests) + "\\" + std::to_string(GetCurrentProcessId()) +
                           "-" + std::to_string(++counter);
  const std::string text = link + "\t" + to + "\n";
  {
    HANDLE file = CreateFileA((base + ".tmp").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
  }
  // Whole before the wrapper sees it.
  if (!MoveFileA((base + ".tmp").c_str(), (base + ".req").c_str())) return false;
  for (int i = 0; i < 500; ++i) {
    if (GetFileAttributesA((base + ".done").c_str()) != INVALID_FILE_ATTRIBUTES) {
      DeleteFileA((base + ".done").c_str());
      return true;
    }
    if (GetFileAttributesA((base + ".failed").c_str()) != INVALID_FILE_ATTRIBUTES) return false;
    Sleep(20);
  }
  return false;
}

// Makes `link` (a name not taken yet, on drive C: or Z:) a link to the folder `to`. False when
// no wrapper makes links or it could not make this one within ten seconds.
inline bool MakeFolderLink(const std::string& link, const std::string& to) {
  return AskForLink(link, to);
}

// Removes a link MakeFolderLink made (not what it leads to).
inline bool RemoveFolderLink(const std::string& link) {
  return AskForLink(link, "-");
}

}  // namespace testing_support
