#include "base/single_instance.h"

#include "core/product.h"
#include "win32/security.h"

namespace base {

SingleInstance::SingleInstance() {
  // Full access for Administrators (BA) and SYSTEM (SY), nobody else; nothing inherited.
  const win::LocalMemory descriptor = win::SecurityDescriptor(L"D:P(A;;GA;;;BA)(A;;GA;;;SY)");
  if (!descriptor.get()) return;
  SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.get(), FALSE};
  mutex_.reset(CreateMutexW(&attributes, FALSE, product::kInstanceMutexName));
  // It exists already (another installation runs), or it cannot be opened (made by someone
  // else, or no rights): either way this one does not go on.
  held_ = mutex_ && GetLastError() != ERROR_ALREADY_EXISTS;
  if (!held_) mutex_.reset();
}

}  // namespace base
