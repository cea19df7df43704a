#pragma once

#include <cstddef>

namespace trov::imaging {

// Horizontal passes of the 3x3 derivative filters, one channel: destination element i from l, c and r,
// the row buffer's elements i, i + 1 and i + 2 (the row starts one element left of the destination).
// These are final values, not scaled. The row buffer is 16-byte aligned and read in whole aligned blocks,
// never past the block holding element n + 1. Exactly n destination elements are written, at any alignment
// (non-temporal stores for 16-byte aligned rows). Leaf routines without state; any thread.
//
// Not to be confused with: the difference family's horzDiff3_16u8u/32s16s/32f (unsigned and biased rows
// narrowed to another type) and the Scharr x-derivative's horzScharrDiff3 (right minus left); the Gaussian
// horzGauss3_16s (biased 32-bit rows, divided by 16) against the unscaled 16-bit smoothing here.

// 16-bit rows to 16-bit. LEFT MINUS RIGHT, l - r, saturated to -32768..32767.
void horzDiff3_16s_C1(const void* row, void* dst, std::ptrdiff_t n);
// l + 2c + r, (l + r) - 2c and 3 (l + r) + 10 c, each WRAPPING in 16 bits (no saturation).
void horzSmooth3_16s_C1(const void* row, void* dst, std::ptrdiff_t n);
void horzSecond3_16s_C1(const void* row, void* dst, std::ptrdiff_t n);
void horzScharr3_16s_C1(const void* row, void* dst, std::ptrdiff_t n);
// Float rows: (l + r) - (c + c), and (l + r) x 3 plus c x 10.
void horzSecond3_32f_C1(const void* row, void* dst, std::ptrdiff_t n);
void horzScharr3_32f_C1(const void* row, void* dst, std::ptrdiff_t n);

} // namespace trov::imaging
