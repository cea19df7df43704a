#pragma once

#include <cstddef>

namespace trov::imaging {

// 5x5 high-pass horizontal pass kernels (centre weight 24, every other position -1): destination element
// j is 25 x - S, with x the centre row's element j and S the sum of the column-sum row's elements j, j + c,
// ..., j + 4c (c the channel count; the five-row column sums start two pixels left of the destination).
// The centre row (any alignment) is read exactly at its n elements; the column-sum row is 16-byte aligned
// and read in whole aligned blocks, never past the block holding element n - 1 + 4c. Exactly n destination
// elements are written, at any alignment (non-temporal stores for 16-byte aligned rows); KeepAlpha members
// leave every fourth destination element as it was. Leaf routines without state; any thread.

// 8u centre, 16-bit unsigned column sums: min(255, max(0, 25x - S)), each sum subtracted with a floor at 0.
void horzHighpass5_8u_C1(const void* centre, const void* row, void* dst, std::ptrdiff_t n);
void horzHighpass5_8u_C3(const void* centre, const void* row, void* dst, std::ptrdiff_t n);
void horzHighpass5_8u_C4(const void* centre, const void* row, void* dst, std::ptrdiff_t n);
void horzHighpass5_8u_KeepAlpha(const void* centre, const void* row, void* dst, std::ptrdiff_t n);
// 16s centre, 32-bit true column sums: 25x - S exact in 32 bits, saturated to -32768..32767.
void horzHighpass5_16s_C1(const void* centre, const void* row, void* dst, std::ptrdiff_t n);
void horzHighpass5_16s_C3(const void* centre, const void* row, void* dst, std::ptrdiff_t n);
void horzHighpass5_16s_C4(const void* centre, const void* row, void* dst, std::ptrdiff_t n);
void horzHighpass5_16s_KeepAlpha(const void* centre, const void* row, void* dst, std::ptrdiff_t n);
// Float: 25 x - S with S = ((t0 + t4) + (t1 + t2)) + t3 of the five column sums, without clamping.
void horzHighpass5_32f_C1(const void* centre, const void* row, void* dst, std::ptrdiff_t n);
void horzHighpass5_32f_C3(const void* centre, const void* row, void* dst, std::ptrdiff_t n);
void horzHighpass5_32f_C4(const void* centre, const void* row, void* dst, std::ptrdiff_t n);
void horzHighpass5_32f_KeepAlpha(const void* centre, const void* row, void* dst, std::ptrdiff_t n);

} // namespace trov::imaging
