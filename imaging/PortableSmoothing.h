#pragma once

#include "imaging/FilterStatus.h"

#include <cstddef>
#include <cstdint>

namespace trov::imaging {

// Variant 1, the portable integer implementation, and the pieces variant 2 shares with it.
// Plain functions without state; any thread. Arguments are already checked by the entry.

// 3x3: the row sums s[j] + 2 s[j+c] + s[j+2c] of one source row, starting one pixel left of the rectangle.
void rowSum121(const std::uint8_t* row, std::int32_t* out, std::ptrdiff_t n, std::ptrdiff_t channels);
// 3x3: t = above + 2 centre + below, written as t/16 rounded to nearest, halves to even.
void columnSum121Round(const std::int32_t* above, const std::int32_t* centre, const std::int32_t* below,
                       std::uint8_t* out, std::ptrdiff_t n);
using RowSum121Fn = void (*)(const std::uint8_t*, std::int32_t*, std::ptrdiff_t, std::ptrdiff_t);
using ColumnSum121Fn = void (*)(const std::int32_t*, const std::int32_t*, const std::int32_t*, std::uint8_t*,
                                std::ptrdiff_t);

// The 3x3 smoothing of `channels`-channel pixels with the given row and column passes: three row
// buffers in one block, rotated. Ok or NoMemory.
FilterStatus smooth3x3Rows(const std::uint8_t* src, std::int32_t srcStep, std::uint8_t* dst,
                           std::int32_t dstStep, std::int32_t width, std::int32_t height,
                           std::int32_t channels, RowSum121Fn rowSum, ColumnSum121Fn columnSum);
// Variant 1's 3x3 smoothing (the entry passes 4 channels).
FilterStatus smooth3x3Portable(const std::uint8_t* src, std::int32_t srcStep, std::uint8_t* dst,
                               std::int32_t dstStep, std::int32_t width, std::int32_t height,
                               std::int32_t channels);

// 5x5, four channels: the A, B and C rows (weights 2-7-12-7-2, 7-31-52-31-7, 12-52-127-52-12) of one
// source row, starting two pixels left of the rectangle.
void rowSums5x5(const std::uint8_t* row, std::int32_t* a, std::int32_t* b, std::int32_t* c, std::ptrdiff_t n);
// 5x5: the sum of the five rows, written as sum/571 rounded to nearest.
void columnSum5x5Round(const std::int32_t* a0, const std::int32_t* b1, const std::int32_t* c2,
                       const std::int32_t* b3, const std::int32_t* a4, std::uint8_t* out, std::ptrdiff_t n);

using RowSums5x5Fn = void (*)(const std::uint8_t*, std::int32_t*, std::int32_t*, std::int32_t*,
                              std::ptrdiff_t);
using ColumnSum5x5Fn = void (*)(const std::int32_t*, const std::int32_t*, const std::int32_t*,
                                const std::int32_t*, const std::int32_t*, std::uint8_t*, std::ptrdiff_t);

// The 5x5 smoothing of four-channel pixels with the given row and column kernels. Ok or NoMemory.
FilterStatus smooth5x5Rings(const std::uint8_t* src, std::int32_t srcStep, std::uint8_t* dst,
                            std::int32_t dstStep, std::int32_t width, std::int32_t height,
                            RowSums5x5Fn rowSums, ColumnSum5x5Fn columnSum);

// Integer forms of the two divisions, exact over every sum an 8-bit image can give.
inline std::uint8_t roundDiv16HalfEven(std::uint32_t t) {
    return static_cast<std::uint8_t>((t + ((t >> 4) & 1) + 7) >> 4);
}
inline std::uint8_t roundDiv571(std::uint32_t s) {
    return static_cast<std::uint8_t>(((s + 286) * 29382u) >> 24);
}

} // namespace trov::imaging
