#include "setup/wizard/wizard_fixture.h"
#include "driver.h"

namespace testing_support {

void SaveScreenshot(HWND window, const std::string& path) {
  driver::SaveScreenshot(window, path, driver::ShotArea::kClient);
}

}  // namespace testing_support
