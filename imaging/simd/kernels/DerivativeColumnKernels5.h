#pragma once

#include <cstddef>

namespace trov::imaging {

// Column kernels of the 5x5 derivative filters: destination element i from r0..r4, element i of the five
// 16-byte aligned intermediate rows of source lines y - 2 to y + 2 (all five are passed; rows the mask
// weights with 0 are not read). The rows are read in whole aligned blocks and exactly at their last
// elements, never past element n - 1. Exactly n destination elements are written, at any alignment
// (non-temporal stores for 16-byte aligned rows). Leaf routines without state; any thread.
//
// 16-bit rows to 16-bit, WRAPPING (no saturation); float rows in single precision, in the orders given.

// Smoothing 1, 4, 6, 4, 1: (6 r2 + (r0 + r4)) + 4 (r1 + r3).
void colSmooth5_16s(const void* r0, const void* r1, const void* r2, const void* r3, const void* r4, void* dst,
                    std::ptrdiff_t n);
void colSmooth5_32f(const void* r0, const void* r1, const void* r2, const void* r3, const void* r4, void* dst,
                    std::ptrdiff_t n);
// Difference -1, -2, 0, 2, 1, BOTTOM MINUS TOP: (r4 - r0) + 2 (r3 - r1).
void colDiff5_16s(const void* r0, const void* r1, const void* r2, const void* r3, const void* r4, void* dst,
                  std::ptrdiff_t n);
void colDiff5_32f(const void* r0, const void* r1, const void* r2, const void* r3, const void* r4, void* dst,
                  std::ptrdiff_t n);
// Second difference 1, 0, -2, 0, 1: (r0 + r4) - (r2 + r2).
void colSecond5_16s(const void* r0, const void* r1, const void* r2, const void* r3, const void* r4, void* dst,
                    std::ptrdiff_t n);
void colSecond5_32f(const void* r0, const void* r1, const void* r2, const void* r3, const void* r4, void* dst,
                    std::ptrdiff_t n);

} // namespace trov::imaging
