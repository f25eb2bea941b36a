#include "win32/security.h"

#include <sddl.h>

namespace win {

LocalMemory SecurityDescriptor(const wchar_t* sddl) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor, nullptr);
  return LocalMemory(descriptor);
}

}  // namespace win
