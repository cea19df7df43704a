#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace trov::detail {

// Nearest integer, halves to the even one, whatever the thread's rounding mode.
inline double roundHalfEven(double x) noexcept {
    const double lower = std::floor(x);
    const double difference = x - lower;
    if (difference > 0.5)
        return lower + 1.0;
    if (difference < 0.5)
        return lower;
    return std::fmod(lower, 2.0) == 0.0 ? lower : lower + 1.0;
}

// A count as a 32-bit integer; what does not fit (or is not a number) becomes INT32_MIN, as the
// processor's conversion does.
inline std::int32_t toCount(double x) noexcept {
    if (!(x >= static_cast<double>(std::numeric_limits<std::int32_t>::min()) &&
          x <= static_cast<double>(std::numeric_limits<std::int32_t>::max())))
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(x);
}

// Stored integers are 32-bit whatever the width of long.
inline std::int32_t saturate32(double x) noexcept {
    if (std::isnan(x))
        return 0;
    if (x <= static_cast<double>(std::numeric_limits<std::int32_t>::min()))
        return std::numeric_limits<std::int32_t>::min();
    if (x >= static_cast<double>(std::numeric_limits<std::int32_t>::max()))
        return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(x);
}

} // namespace trov::detail
