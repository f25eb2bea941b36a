#include "core/gauge_math.h"

#include <cmath>
#include <limits>

namespace dt {

std::int32_t RoundHalfEven(long double value) {
  if (std::isnan(value)) return 0;
  constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
  constexpr auto kMin = std::numeric_limits<std::int32_t>::min();
  if (value >= static_cast<long double>(kMax)) return kMax;
  if (value <= static_cast<long double>(kMin)) return kMin;
  const long double whole = std::floor(value);
  const long double fraction = value - whole;  // exact: whole is value's integer part
  long double rounded = whole;
  if (fraction > 0.5L) {
    rounded = whole + 1;
  } else if (fraction == 0.5L && std::fmod(whole, 2.0L) != 0) {
    rounded = whole + 1;
  }
  return static_cast<std::int32_t>(rounded);
}

long double GaugeFillExact(std::int32_t width, std::int32_t max, std::int32_t position) {
  if (max == 0) return 0;
  return static_cast<long double>(width) / max * position;
}

std::int32_t GaugeFillWidth(std::int32_t width, std::int32_t max, std::int32_t position) {
  return RoundHalfEven(GaugeFillExact(width, max, position));
}

std::int32_t GaugePercent(std::int32_t max, std::int32_t position) {
  if (max == 0) return 0;
  return RoundHalfEven(static_cast<long double>(position) / max * 100);
}

}  // namespace dt
