// rand_s, the system's random numbers, is declared only on request.
#define _CRT_RAND_S
#include <stdlib.h>

#include "setup/run/safe_replace.h"

#include <aclapi.h>

#include <cstdio>

#include "win32/files.h"

namespace setup {

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The target itself, never what a link at its name leads to.
win::FileHandle OpenTarget(const std::string& target, DWORD access) {
  return win::FileHandle(CreateFileA(target.c_str(), access, kShareAll, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT,
                                     nullptr));
}

// A plain file: no folder, no link, junction or other reparse point.
bool IsPlainFile(const win::FileHandle& file, FILE_BASIC_INFO& basic) {
  return GetFileInformationByHandleEx(file.get(), FileBasicInfo, &basic, sizeof basic) &&
         !(basic.FileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
}

// A file with one name only: a second name (a hard link) could belong to a file of anybody's.
bool HasOneName(const win::FileHandle& file) {
  FILE_STANDARD_INFO standard{};
  return GetFileInformationByHandleEx(file.get(), FileStandardInfo, &standard, sizeof standard) &&
         standard.NumberOfLinks <= 1;
}

}  // namespace

DWORD FileReplacement::CheckTarget() {
  // Its attributes cleared through a handle that reached the file itself: a read-only file can
  // neither be opened for writing nor replaced.
  FILE_BASIC_INFO basic{};
  if (const win::FileHandle attributes =
          OpenTarget(target_, FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES)) {
    if (!IsPlainFile(attributes, basic)) return kTargetIsNoPlainFile;
    if (basic.FileAttributes != FILE_ATTRIBUTE_NORMAL) {
      FILE_BASIC_INFO normal{};
      normal.FileAttributes = FILE_ATTRIBUTE_NORMAL;
      SetFileInformationByHandle(attributes.get(), FileBasicInfo, &normal, sizeof normal);
    }
  }
  win::FileHandle probe = OpenTarget(target_, GENERIC_WRITE | DELETE | READ_CONTROL);
  if (!probe && GetLastError() == ERROR_ACCESS_DENIED) {
    // A list that may not be read cannot be copied; the file may still be replaced.
    probe = OpenTarget(target_, GENERIC_WRITE | DELETE);
  }
  if (!probe) return GetLastError();
  if (!IsPlainFile(probe, basic) || !HasOneName(probe) || (inFolder_ && !inFolder_(probe.get()))) {
    return kTargetIsNoPlainFile;
  }
  ReadAccessList(probe);
  return 0;
}

// The replaced file keeps who may do what with it. A list made only of entries inherited from the
// folder need not be copied: the temporary file, made in the same folder, inherits the same ones
// (and setting the list would take them from the folder again). When the target's list cannot be
// read, the new file keeps what it inherited, as a new file there would. (Wine keeps no access
// lists of its own: under Wine this copies the one it makes up.)
void FileReplacement::ReadAccessList(const win::FileHandle& target) {
  accessList_.reset();
  dacl_ = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  PACL dacl = nullptr;
  if (GetSecurityInfo(target.get(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                      &dacl, nullptr, &descriptor) != ERROR_SUCCESS) {
    return;
  }
  win::LocalMemory owned(descriptor);
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  GetSecurityDescriptorControl(descriptor, &control, &revision);
  const bool isProtected = (control & SE_DACL_PROTECTED) != 0;
  bool ownEntries = isProtected || !dacl;  // no list at all lets everyone in: copied as it is
  for (DWORD i = 0; !ownEntries && i < dacl->AceCount; ++i) {
    void* ace = nullptr;
    ownEntries =
        !GetAce(dacl, i, &ace) || !(static_cast<const ACE_HEADER*>(ace)->AceFlags & INHERITED_ACE);
  }
  if (!ownEntries) return;
  accessList_ = std::move(owned);
  dacl_ = dacl;
  daclProtected_ = isProtected;
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
      CreateFileA(chosen_.c_str(), GENERIC_WRITE | WRITE_DAC | DELETE, 0, nullptr, CREATE_NEW,
                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!created) return GetLastError();
  if (inFolder_ && !inFolder_(created.get())) {
    win::DeleteOpened(created.get());  // made through a link: gone again as it closes
    return kTargetIsNoPlainFile;
  }
  file_ = std::move(created);
  temporary_ = chosen_;
  return 0;
}

DWORD FileReplacement::Commit() {
  if (!file_) return ERROR_INVALID_HANDLE;
  if (!stamp_) {
    stamp_ = StampOf(file_.get());
    if (accessList_) {
      // A list of its own stays so; otherwise the folder's inheritable entries join it.
      SetSecurityInfo(
          file_.get(), SE_FILE_OBJECT,
          DACL_SECURITY_INFORMATION | (daclProtected_ ? PROTECTED_DACL_SECURITY_INFORMATION
                                                      : UNPROTECTED_DACL_SECURITY_INFORMATION),
          nullptr, nullptr, dacl_, nullptr);
    }
  }
  // The new content on the disk before it takes the old file's name (after a power cut the
  // journaled rename could otherwise survive while the data did not: an empty file, the old one
  // gone), and the rename made durable through the same handle.
  if (!flushed_) flushed_ = FlushFileBuffers(file_.get()) != FALSE;
  if (!win::RenameOpened(file_.get(), target_, /*replace=*/true)) return GetLastError();
  FlushFileBuffers(file_.get());
  file_.reset();
  temporary_.clear();
  return 0;
}

void FileReplacement::Discard() {
  if (file_) win::DeleteOpened(file_.get());  // goes as the handle closes
  file_.reset();
  temporary_.clear();
  stamp_.reset();
  flushed_ = false;
}

}  // namespace setup
