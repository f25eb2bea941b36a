// The progress gauge's arithmetic. Every ratio is formed in extended floating point (long double,
// a 64-bit mantissa on this program's targets) in the order width / max * position, so byte counts
// in the millions are never multiplied in integers, and every rounding goes to the nearest
// integer with halves to the even neighbour.
#pragma once

#include <cstdint>

namespace dt {

// width / max * position, unrounded. A max of 0 (reachable only after Min went below 0) has no
// ratio: the result is 0.
long double GaugeFillExact(std::int32_t width, std::int32_t max, std::int32_t position);

// The fill width in pixels: GaugeFillExact rounded half-to-even. Not limited to 0..width; the
// painter clamps what it copies.
std::int32_t GaugeFillWidth(std::int32_t width, std::int32_t max, std::int32_t position);

// The percentage: position / max * 100 rounded half-to-even (0 when max is 0). A value beyond the
// 32-bit range saturates.
std::int32_t GaugePercent(std::int32_t max, std::int32_t position);

// Rounds half-to-even, saturating at the limits of the 32-bit range (a NaN gives 0).
std::int32_t RoundHalfEven(long double value);

}  // namespace dt
