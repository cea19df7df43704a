#pragma once

#include <cstddef>

namespace trov::imaging {

// Five-row column sums of the 5x5 box-type filters (high-pass and mean): row element i is the plain sum of
// element i of five vertically adjacent source rows. The row buffer is 16-byte aligned. Exactly n elements
// are read from each source row used; the integer members write exactly n elements, the float initial
// sum finishes the 16-byte block holding its last element with +0.0, the float update writes exactly n.
// Leaf routines without state; any thread.

// Initial sum of the rows at the address given and 1 to 4 steps below it, as ((((r0 + r1) + r2) + r3) + r4):
// 8u to 16-bit unsigned (0..1275); 16s to 32-bit true signed sums (no offset); single precision.
void vertBox5_8u16u(const void* top, void* row, std::ptrdiff_t n, std::ptrdiff_t srcStep);
void vertBox5_16s32s(const void* top, void* row, std::ptrdiff_t n, std::ptrdiff_t srcStep);
void vertBox5_32f(const void* top, void* row, std::ptrdiff_t n, std::ptrdiff_t srcStep);

// Window update, one row down: the row holds the sums of the five rows from `leaving` on and is left with
// those from one row lower: (sum - leaving) + entering, the entering row 5 steps below the leaving one.
// Exact for 8u and 16s (so equal to a fresh initial sum); float rounding accumulates over updates.
void vertBox5Update_8u16u(const void* leaving, void* row, std::ptrdiff_t n, std::ptrdiff_t srcStep);
void vertBox5Update_16s32s(const void* leaving, void* row, std::ptrdiff_t n, std::ptrdiff_t srcStep);
void vertBox5Update_32f(const void* leaving, void* row, std::ptrdiff_t n, std::ptrdiff_t srcStep);

} // namespace trov::imaging
