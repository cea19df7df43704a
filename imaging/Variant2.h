#pragma once

#include "imaging/FilterStatus.h"

#include <cstddef>
#include <cstdint>

namespace trov::imaging {

// Variant 2: variant 1 with other integer passes: a 5x5 row pass that forms every product by shifts and
// additions once and caches it, and a 3x3 driver whose row pass runs an MMX loop. Same bytes as variant 1.
// Plain functions without state; any thread.

// The 3x3 smoothing of `elementsPerPixel`-channel pixels. Ok or NoMemory.
FilterStatus smooth3x3Variant2(const std::uint8_t* src, std::int32_t srcStep, std::uint8_t* dst,
                               std::int32_t dstStep, std::int32_t width, std::int32_t height,
                               std::int32_t elementsPerPixel);
// dst[i] = s[i] + 2 s[i + stride] + s[i + 2 stride]. The MMX loop runs when the destination is 4-byte
// aligned and overlaps none of the three source ranges; any other call, and the last up to three
// elements, go through a scalar loop. No byte past s[count - 1 + 2 stride] is read.
void sum121Strided(const std::uint8_t* s, std::int32_t* dst, std::ptrdiff_t count, std::ptrdiff_t stride);
// t = r0 + 2 r1 + r2, written as t/16 rounded to nearest, halves to even.
void columnSum121Round2(const std::int32_t* r0, const std::int32_t* r1, const std::int32_t* r2,
                        std::uint8_t* dst, std::ptrdiff_t n);

// The same results as rowSums5x5 and columnSum5x5Round.
void rowSums5x5Cached(const std::uint8_t* row, std::int32_t* a, std::int32_t* b, std::int32_t* c,
                      std::ptrdiff_t n);
void columnSum5x5Round2(const std::int32_t* a0, const std::int32_t* b1, const std::int32_t* c2,
                        const std::int32_t* b3, const std::int32_t* a4, std::uint8_t* out, std::ptrdiff_t n);

} // namespace trov::imaging
