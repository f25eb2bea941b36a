#include "base/registry_view.h"

namespace base {

REGSAM ProgramRegistryView() {
  return sizeof(void*) == 4 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
}

const char* RegistryViewName() {
  return sizeof(void*) == 4 ? "32" : "64";
}

}  // namespace base
