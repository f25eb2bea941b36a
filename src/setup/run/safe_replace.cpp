// rand_s, the system's random numbers, is declared only on request.
#define _CRT_RAND_S
#include <stdlib.h>

#include "setup/run/safe_replace.h"

#include <aclapi.h>

#include <cstdio>

namespace setup {

DWORD FileReplacement::CheckTarget() {
  SetFileAttributesA(target_.c_str(), FILE_ATTRIBUTE_NORMAL);
  const win::FileHandle probe(CreateFileA(target_.c_str(), GENERIC_WRITE | DELETE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  return probe ? 0 : GetLastError();
}

const std::string& FileReplacement::ChooseTemporary() {
  Discard();
  for (unsigned attempt = 0;; ++attempt) {
    unsigned int random = 0;
    if (rand_s(&random) != 0) random = GetTickCount() ^ (GetCurrentProcessId() << 12) ^ attempt;
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, ".~%08x", random);
    chosen_ = target_ + suffix;
    if (GetFileAttributesA(chosen_.c_str()) == INVALID_FILE_ATTRIBUTES || attempt >= 15) {
      return chosen_;
    }
  }
}

DWORD FileReplacement::CreateTemporary() {
  Discard();
  win::FileHandle created(
      CreateFileA(chosen_.c_str(), GENERIC_WRITE | WRITE_DAC, 0, nullptr, CREATE_NEW,
                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!created) return GetLastError();
  file_ = std::move(created);
  temporary_ = chosen_;
  return 0;
}

// The replaced file keeps who may do what with it. When the target's list cannot be read or set,
// the new file keeps the one it inherited from the folder, as a new file there would. (Wine keeps
// no access lists of its own, so under Wine this copies what it makes up.)
void FileReplacement::CopyAccessList() {
  const win::FileHandle target(CreateFileA(target_.c_str(), READ_CONTROL,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                           nullptr, OPEN_EXISTING, 0, nullptr));
  if (!target) return;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(target.get(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                      &dacl, nullptr, &descriptor) != ERROR_SUCCESS) {
    return;
  }
  const win::LocalMemory owned(descriptor);
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  GetSecurityDescriptorControl(descriptor, &control, &revision);
  // A list that does not take the folder's inheritable entries stays so; otherwise the new file
  // takes them from the folder, which is the target's folder too.
  const SECURITY_INFORMATION inheritance = (control & SE_DACL_PROTECTED)
                                               ? PROTECTED_DACL_SECURITY_INFORMATION
                                               : UNPROTECTED_DACL_SECURITY_INFORMATION;
  SetSecurityInfo(file_.get(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION | inheritance, nullptr,
                  nullptr, dacl, nullptr);
}

DWORD FileReplacement::Commit() {
  if (file_) {
    stamp_ = StampOf(file_.get());
    CopyAccessList();
    file_.reset();
  }
  if (!MoveFileExA(temporary_.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    return GetLastError();
  }
  temporary_.clear();
  return 0;
}

void FileReplacement::Discard() {
  file_.reset();
  if (!temporary_.empty()) {
    DeleteFileA(temporary_.c_str());
    temporary_.clear();
  }
}

}  // namespace setup
