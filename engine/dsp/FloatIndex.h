#pragma once

#include <bit>
#include <cmath>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace trov {

// The few conversions from sample values and positions to table indices that the DSP blocks share. They
// compile to single instructions, where the standard functions become library calls without fast-math.
// Any thread; noexcept, no allocation.

// x within [lo, hi]; NaN gives lo. Positions are clamped with this while still floating-point, so that NaN,
// infinite and huge values never reach an integer conversion. With bounds in variables this is one maximum
// and one minimum instruction; a constant 0 as the lower bound makes the compiler branch instead.
template <class T> inline T clampPosition(T x, T lo, T hi) noexcept {
    x = x > lo ? x : lo;
    return x < hi ? x : hi;
}

// Rounds half to even (the default rounding mode) to an int; x must lie within the int range.
inline std::int32_t roundToInt(float x) noexcept {
#if defined(__SSE2__)
    return _mm_cvtss_si32(_mm_set_ss(x));
#else
    return static_cast<std::int32_t>(std::lrint(x));
#endif
}

inline std::int32_t roundToInt(double x) noexcept {
#if defined(__SSE2__)
    return _mm_cvtsd_si32(_mm_set_sd(x));
#else
    return static_cast<std::int32_t>(std::lrint(x));
#endif
}

// std::rint for floats without a branch, so that loops over it vectorise: below 2^23 adding and taking
// away 2^23 leaves the nearest whole number (ties to even); from 2^23 on every float is whole already.
// NaN, infinities and the sign of zero come through as rint gives them. Relies on strict floating point
// (the build uses no fast-math).
inline float roundHalfEven(float x) noexcept {
    constexpr float kWhole = 8388608.0f; // 2^23
    constexpr std::uint32_t kSign = 0x80000000u;
    const float magnitude = std::fabs(x);
    const float rounded = (magnitude + kWhole) - kWhole;
    // A select written with masks: the compiler keeps a ternary on floats as a branch.
    const std::uint32_t small = 0u - static_cast<std::uint32_t>(magnitude < kWhole);
    const std::uint32_t bits =
        (std::bit_cast<std::uint32_t>(rounded) & small) | (std::bit_cast<std::uint32_t>(magnitude) & ~small);
    return std::bit_cast<float>(bits | (std::bit_cast<std::uint32_t>(x) & kSign));
}

} // namespace trov
