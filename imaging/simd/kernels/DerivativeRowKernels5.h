#pragma once

#include <cstddef>

namespace trov::imaging {

// Row kernels of the 5x5 derivative filters, one channel: intermediate element i from the source samples
// s0..s4 = i..i + 4 (the source row starts two pixels left of the first output pixel, at any alignment).
// Each reads exactly samples 0 to n + 3 and writes exactly n elements of the 16-byte aligned row buffer.
// 8-bit sources give exact 16-bit results (no saturation). Leaf routines without state; any thread.

// Difference 1, 2, 0, -2, -1, LEFT MINUS RIGHT: 2 (s1 - s3) + (s0 - s4), in this order for floats.
void rowDiff5_8u16s_C1(const void* src, void* row, std::ptrdiff_t n);
void rowDiff5_8s16s_C1(const void* src, void* row, std::ptrdiff_t n);
void rowDiff5_32f_C1(const void* src, void* row, std::ptrdiff_t n);
// Smoothing 1, 4, 6, 4, 1: ((s0 + s4) + 6 s2) + 4 (s1 + s3).
void rowSmooth5_8u16s_C1(const void* src, void* row, std::ptrdiff_t n);
void rowSmooth5_8s16s_C1(const void* src, void* row, std::ptrdiff_t n);
void rowSmooth5_32f_C1(const void* src, void* row, std::ptrdiff_t n);
// Second difference 1, 0, -2, 0, 1: (s0 + s4) - (s2 + s2).
void rowSecond5_8u16s_C1(const void* src, void* row, std::ptrdiff_t n);
void rowSecond5_8s16s_C1(const void* src, void* row, std::ptrdiff_t n);
void rowSecond5_32f_C1(const void* src, void* row, std::ptrdiff_t n);

} // namespace trov::imaging
