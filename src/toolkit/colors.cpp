#include "toolkit/colors.h"

namespace tk {

COLORREF ColorToRGB(TColor color) {
  const auto bits = static_cast<std::uint32_t>(color);
  if (IsSystemColor(color)) return GetSysColor(static_cast<int>(bits & 0xFF));
  return bits & 0xFFFFFF;
}

}  // namespace tk
