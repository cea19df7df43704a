#pragma once

#include <cstddef>

namespace trov::imaging {

// 5x5 mean horizontal pass kernels: destination element j is S / 25, S the sum of the column-sum row's
// elements j, j + c, ..., j + 4c (c the channel count; the five-row column sums start two pixels left of
// the destination): the mean of the 25 elements of its channel. There is no four-channel member without
// alpha; the kernel table gives channel code 2 the one-channel member.
// The column-sum row is 16-byte aligned and read in whole aligned blocks, never past the block holding
// element n - 1 + 4c. Exactly n destination elements are written, at any alignment (non-temporal stores
// for 16-byte aligned rows); KeepAlpha members leave every fourth destination element as it was. Leaf
// routines without state; any thread.

// 16-bit unsigned sums of five bytes (S at most 6375): ((S + 13) x 10485) >> 18, which is S / 25 rounded to
// nearest.
void horzMean5_8u_C1(const void* row, void* dst, std::ptrdiff_t n);
void horzMean5_8u_C3(const void* row, void* dst, std::ptrdiff_t n);
void horzMean5_8u_KeepAlpha(const void* row, void* dst, std::ptrdiff_t n);
// 32-bit true sums: S in single precision times the float nearest 0.04, converted in the rounding mode in
// force (S / 25 rounded to nearest under the default), saturated to -32768..32767.
void horzMean5_16s_C1(const void* row, void* dst, std::ptrdiff_t n);
void horzMean5_16s_C3(const void* row, void* dst, std::ptrdiff_t n);
void horzMean5_16s_KeepAlpha(const void* row, void* dst, std::ptrdiff_t n);
// Float: S = ((t0 + t4) + (t1 + t2)) + t3 times the float nearest 0.04.
void horzMean5_32f_C1(const void* row, void* dst, std::ptrdiff_t n);
void horzMean5_32f_C3(const void* row, void* dst, std::ptrdiff_t n);
void horzMean5_32f_KeepAlpha(const void* row, void* dst, std::ptrdiff_t n);

inline constexpr float kTwentyFifth = 0.04f;

} // namespace trov::imaging
