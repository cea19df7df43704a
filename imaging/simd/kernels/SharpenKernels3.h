#pragma once

#include <cstddef>

namespace trov::imaging {

// 3x3 sharpening horizontal pass kernels (centre weight 16/8, each neighbour -1/8): destination element j
// is (17 x - S) / 8, with x the centre row's element j and S = l + m + r the row buffer's elements j,
// j + c and j + 2c (c the channel count; the row, of a 1-1-1 vertical pass, starts one pixel left of the
// destination). 17 x - S is 16 x minus the eight neighbours.
// The centre row (any alignment) is read exactly at its n elements; the row buffer is 16-byte aligned
// and read in whole aligned blocks, never past the block holding element n - 1 + 2c. Exactly n
// destination elements are written, at any alignment (non-temporal stores for 16-byte aligned rows);
// KeepAlpha members leave every fourth destination element as it was. Leaf routines without state; any
// thread.

// 8u centre, 16-bit unsigned row: max(0, 17x - S) / 8 rounded half to even, saturated to 255.
void horzSharpen3_8u_C1(const void* centre, const void* row, void* dst, std::ptrdiff_t n);
void horzSharpen3_8u_C3(const void* centre, const void* row, void* dst, std::ptrdiff_t n);
void horzSharpen3_8u_C4(const void* centre, const void* row, void* dst, std::ptrdiff_t n);
void horzSharpen3_8u_KeepAlpha(const void* centre, const void* row, void* dst, std::ptrdiff_t n);
// 16s centre in offset form against the biased 32-bit row (the biases leave 8 x 32768): the true
// 17x - S over 8 rounded half to even (also below zero), saturated to -32768..32767.
void horzSharpen3_16s_C1(const void* centre, const void* row, void* dst, std::ptrdiff_t n);
void horzSharpen3_16s_C3(const void* centre, const void* row, void* dst, std::ptrdiff_t n);
void horzSharpen3_16s_C4(const void* centre, const void* row, void* dst, std::ptrdiff_t n);
void horzSharpen3_16s_KeepAlpha(const void* centre, const void* row, void* dst, std::ptrdiff_t n);
// Float: (((17 x - l) - m) - r) x 0.125, without clamping.
void horzSharpen3_32f_C1(const void* centre, const void* row, void* dst, std::ptrdiff_t n);
void horzSharpen3_32f_C3(const void* centre, const void* row, void* dst, std::ptrdiff_t n);
void horzSharpen3_32f_C4(const void* centre, const void* row, void* dst, std::ptrdiff_t n);
void horzSharpen3_32f_KeepAlpha(const void* centre, const void* row, void* dst, std::ptrdiff_t n);

} // namespace trov::imaging
