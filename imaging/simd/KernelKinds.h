#pragma once

#include <cstdint>

namespace trov::imaging {

// The three axes along which the SIMD drivers pick their kernels from the kernel table; the values are
// the table's index terms. Plain value types; any thread.

// Which 5x5 mask the 5x5 driver applies (the 3x3 driver always applies the Gaussian 1-2-1 mask).
enum class MaskKind : std::int32_t {
    Laplacian = 0, // the Laplacian-type 5x5 mask, unscaled
    Gaussian = 1,  // the Gaussian 5x5 mask, scaled by 1/571
};

// Element types of source and destination, and with them of the intermediate rows.
enum class DataKind : std::int32_t {
    U8 = 0,      // 8-bit unsigned, 16-bit intermediate rows
    S16 = 1,     // 16-bit signed, 32-bit integer intermediate rows
    F32 = 2,     // 32-bit float, float intermediate rows
    U8ToS16 = 3, // 8-bit unsigned in, 16-bit signed out (5x5 Laplacian-type mask, one channel only)
    S8ToS16 = 4, // 8-bit signed in, 16-bit signed out (likewise)
};

// How many elements a pixel has and whether the destination's alpha is kept.
enum class ChannelCode : std::int32_t {
    One = 1,
    Four = 2,
    Three = 3,
    FourKeepAlpha = 4, // four elements; the fourth (alpha) of the destination is left as it was
};

} // namespace trov::imaging
