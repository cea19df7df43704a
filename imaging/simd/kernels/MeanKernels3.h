#pragma once

#include <cstddef>

namespace trov::imaging {

// 3x3 mean horizontal pass kernels: destination element j is S / 9, S = l + m + r the row buffer's elements
// j, j + c and j + 2c (c the channel count; the row, of a 1-1-1 vertical pass, starts one pixel left of
// the destination): the mean of the nine elements of its channel. There is no four-channel member without
// alpha; the kernel table gives channel code 2 the one-channel member.
// The row buffer is 16-byte aligned and read in whole aligned blocks, never past the block holding
// element n - 1 + 2c. Exactly n destination elements are written, at any alignment (non-temporal stores for
// 16-byte aligned rows); KeepAlpha members leave every fourth destination element as it was. Leaf routines
// without state; any thread.

// 16-bit unsigned row of three-byte sums (S at most 2295): ((S + 5) x 7281) >> 16, which is S / 9 rounded
// to nearest.
void horzMean3_8u_C1(const void* row, void* dst, std::ptrdiff_t n);
void horzMean3_8u_C3(const void* row, void* dst, std::ptrdiff_t n);
void horzMean3_8u_KeepAlpha(const void* row, void* dst, std::ptrdiff_t n);
// Biased 32-bit row (each element 98304 above its true sum): the true S in single precision times the
// float nearest 1/9, converted in the rounding mode in force (S / 9 rounded to nearest under the default),
// saturated to -32768..32767.
void horzMean3_16s_C1(const void* row, void* dst, std::ptrdiff_t n);
void horzMean3_16s_C3(const void* row, void* dst, std::ptrdiff_t n);
void horzMean3_16s_KeepAlpha(const void* row, void* dst, std::ptrdiff_t n);
// Float: ((l + m) + r) times the float nearest 1/9.
void horzMean3_32f_C1(const void* row, void* dst, std::ptrdiff_t n);
void horzMean3_32f_C3(const void* row, void* dst, std::ptrdiff_t n);
void horzMean3_32f_KeepAlpha(const void* row, void* dst, std::ptrdiff_t n);

inline constexpr float kNinth = 1.0f / 9.0f;

} // namespace trov::imaging
