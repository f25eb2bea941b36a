// Byte counts on the progress gauge. The gauge takes 32-bit signed values; a distribution of
// 2 GiB or more is shown by shifting every count right by the smallest amount that brings the
// total below 2^31 (no shift at all below 2 GiB).
#pragma once

#include <cstdint>

namespace dt {

constexpr int GaugeShift(std::int64_t total) {
  int shift = 0;
  while ((total >> shift) >= (std::int64_t{1} << 31)) ++shift;
  return shift;
}

constexpr std::int32_t ToGauge(std::int64_t bytes, std::int64_t total) {
  return static_cast<std::int32_t>(bytes >> GaugeShift(total));
}

}  // namespace dt
