// The registry view both programs work in: their own, asked for explicitly, so that the 32-bit
// program reads and writes the 32-bit view (below WOW6432Node on 64-bit Windows) and the 64-bit
// build the 64-bit one, whatever the caller's defaults.
#pragma once

#include <windows.h>

namespace base {

// KEY_WOW64_32KEY in the 32-bit build, KEY_WOW64_64KEY in the 64-bit one.
REGSAM ProgramRegistryView();

// The same as the installation record names it: "32" or "64".
const char* RegistryViewName();

}  // namespace base
