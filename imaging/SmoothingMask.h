#pragma once

#include <cstdint>

namespace trov::imaging {

// Mask code of the smoothing operation. Any 32-bit value can be passed; only these two are accepted.
// Plain value type; any thread.
enum class SmoothingMask : std::int32_t {
    Mask3x3 = 33, // weights 1-2-1 by 1-2-1, sum 16
    Mask5x5 = 55, // symmetric, not separable, sum 571
};

} // namespace trov::imaging
