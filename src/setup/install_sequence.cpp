#include "setup/install_sequence.h"

namespace setup {

bool RunInstall(InstallView& view) {
  view.Pump();
  return true;
}

}  // namespace setup
