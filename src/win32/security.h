// Security descriptors from their text form (SDDL), for objects only administrators may use.
#pragma once

#include "win32/handles.h"

namespace win {

// The descriptor that `sddl` describes, owned; null when the text is not understood.
LocalMemory SecurityDescriptor(const wchar_t* sddl);

}  // namespace win
