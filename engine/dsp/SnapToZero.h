#pragma once

#include <cmath>

namespace trov {

// Recursive filters decay into the subnormal range after their input stops, where every operation costs
// tens of times more unless the processor flushes them. Their feedback state is snapped to zero far below
// hearing (about -600 dB) but well above the smallest normal float, so nothing derived from it (a product
// with a coefficient, half of it) ends up subnormal either. Fast settings cross the whole range within a
// few samples, so the filters snap every sample; the check is a branch the predictor always gets right.
inline constexpr float kSnapToZeroBelow = 1e-30f;

inline float snapToZero(float value) noexcept {
    if (std::fabs(value) < kSnapToZeroBelow) [[unlikely]]
        return 0.0f;
    return value;
}

} // namespace trov
