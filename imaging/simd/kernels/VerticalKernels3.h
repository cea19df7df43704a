#pragma once

#include <cstddef>

namespace trov::imaging {

// 3x3 vertical pass kernels: the top source row and the rows one and two steps below it, combined column
// by column into the (16-byte aligned) intermediate row. Exactly n elements are read from each row and
// exactly n written, except that the float members, when 1 to 3 elements are left after the last block
// of four, first clear that block to +0.0. No division, rounding or saturation.
// Leaf routines without state; any thread.

// t + 2m + b and t + m + b of 8u rows, as 16-bit unsigned.
void vertSmooth3_8u16u(const void* top, void* row, std::ptrdiff_t n, std::ptrdiff_t srcStep);
void vertBox3_8u16u(const void* top, void* row, std::ptrdiff_t n, std::ptrdiff_t srcStep);
// t + m + b of 8s rows, as 16-bit signed.
void vertBox3_8s16s(const void* top, void* row, std::ptrdiff_t n, std::ptrdiff_t srcStep);
// 16s rows in offset form (value + 32768), summed as 32-bit: the stored sums carry 32768 times the sum of
// the weights (131072 and 98304).
void vertSmooth3_16s32s(const void* top, void* row, std::ptrdiff_t n, std::ptrdiff_t srcStep);
void vertBox3_16s32s(const void* top, void* row, std::ptrdiff_t n, std::ptrdiff_t srcStep);
// Single precision: (t + b) + (m + m) and (t + m) + b.
void vertSmooth3_32f(const void* top, void* row, std::ptrdiff_t n, std::ptrdiff_t srcStep);
void vertBox3_32f(const void* top, void* row, std::ptrdiff_t n, std::ptrdiff_t srcStep);

} // namespace trov::imaging
