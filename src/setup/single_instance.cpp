#include "setup/single_instance.h"

#include <sddl.h>

#include "setup/standard_report.h"

namespace setup {
namespace {

// Owns a security descriptor made by ConvertStringSecurityDescriptorToSecurityDescriptorW.
class LocalSecurityDescriptor {
 public:
  explicit LocalSecurityDescriptor(const wchar_t* sddl) {
    ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor_,
                                                         nullptr);
  }
  ~LocalSecurityDescriptor() {
    if (descriptor_) LocalFree(descriptor_);
  }
  LocalSecurityDescriptor(const LocalSecurityDescriptor&) = delete;
  LocalSecurityDescriptor& operator=(const LocalSecurityDescriptor&) = delete;
  PSECURITY_DESCRIPTOR get() const { return descriptor_; }

 private:
  PSECURITY_DESCRIPTOR descriptor_ = nullptr;
};

}  // namespace

SingleInstance::SingleInstance() {
  // Full access for Administrators (BA) and SYSTEM (SY), nobody else; nothing inherited.
  const LocalSecurityDescriptor descriptor(L"D:P(A;;GA;;;BA)(A;;GA;;;SY)");
  if (!descriptor.get()) return;
  SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.get(), FALSE};
  mutex_.reset(CreateMutexW(&attributes, FALSE, kInstanceMutexName));
  // It exists already (another installation runs), or it cannot be opened (made by someone
  // else, or no rights): either way this one does not go on.
  held_ = mutex_ && GetLastError() != ERROR_ALREADY_EXISTS;
  if (!held_) mutex_.reset();
}

void ActivateRunningInstaller() {
  // The class and the caption both: another program may well have a window of the same class.
  HWND window = FindWindowW(L"TFormMain", kApplicationTitle);
  if (!window) return;
  if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
  SetForegroundWindow(GetLastActivePopup(window));
}

}  // namespace setup
