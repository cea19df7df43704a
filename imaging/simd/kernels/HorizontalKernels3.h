#pragma once

#include <cstddef>

namespace trov::imaging {

// 3x3 Gaussian horizontal pass kernels: destination element j from the intermediate row's elements j,
// j + c and j + 2c (weights 1-2-1, c the channel count: the row starts one pixel left of the region),
// divided by 16. The row is 16-byte aligned and is read in whole aligned blocks, never past the block
// that holds element n - 1 + 2c.
// Exactly n destination elements are written, at any alignment (non-temporal stores for 16-byte aligned
// rows); KeepAlpha members leave every fourth element of the destination as it was.
// Leaf routines without state; any thread.

// 16-bit rows to 8u: s / 16 rounded to nearest, halves to even.
void horzGauss3_8u_C1(const void* row, void* dst, std::ptrdiff_t n);
void horzGauss3_8u_C3(const void* row, void* dst, std::ptrdiff_t n);
void horzGauss3_8u_C4(const void* row, void* dst, std::ptrdiff_t n);
void horzGauss3_8u_KeepAlpha(const void* row, void* dst, std::ptrdiff_t n);
// Biased 32-bit rows (value + 131072) to 16s: the true s / 16 rounded half to even, saturated.
void horzGauss3_16s_C1(const void* row, void* dst, std::ptrdiff_t n);
void horzGauss3_16s_C3(const void* row, void* dst, std::ptrdiff_t n);
void horzGauss3_16s_C4(const void* row, void* dst, std::ptrdiff_t n);
void horzGauss3_16s_KeepAlpha(const void* row, void* dst, std::ptrdiff_t n);
// Float rows: ((l + (m + m)) + r) x 0.0625 for one and three channels, ((l + m) + (m + r)) x 0.0625 for
// four.
void horzGauss3_32f_C1(const void* row, void* dst, std::ptrdiff_t n);
void horzGauss3_32f_C3(const void* row, void* dst, std::ptrdiff_t n);
void horzGauss3_32f_C4(const void* row, void* dst, std::ptrdiff_t n);
void horzGauss3_32f_KeepAlpha(const void* row, void* dst, std::ptrdiff_t n);

} // namespace trov::imaging
