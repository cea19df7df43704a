#pragma once

#include "engine/dsp/FunctionTable.h"

#include <cstdint>

namespace trov {

// The inverse of a table lookup over a rising table: the x whose lookup gives y, found by bisection of the
// sampled points (the guard entries left out). Below the first point it extrapolates from the first pair.
// Any thread; noexcept.
inline float invertLookup(const FunctionTable<float>& table, float y) noexcept {
    const float* entry = table.getData();
    std::uint32_t lo = 0;
    std::uint32_t hi = table.getSize() - 1;
    while (lo + 1 < hi) {
        const std::uint32_t mid = (lo + hi) / 2;
        if (entry[mid] > y)
            hi = mid;
        else
            lo = mid;
    }
    const float step = entry[hi] - entry[lo];
    const float fraction = step != 0.0f ? (y - entry[lo]) / step : 0.0f;
    return (static_cast<float>(lo) + fraction) / table.getScale() + table.getLo();
}

} // namespace trov
