// Whether an INI file the installer created may go with the product.
#pragma once

#include <string>

namespace uninstall {

// The INI file holds nothing but blank lines and an empty [program] section: nothing of anybody
// else's is lost with it.
bool IniIsEmpty(const std::string& ini);

}  // namespace uninstall
