#pragma once

#include <cstddef>

namespace trov::imaging {

// 3x3 high-pass horizontal pass kernels: destination element j is 9 x (centre row element j) minus
// S = l + m + r, the row buffer's elements j, j + c and j + 2c (c the channel count; the row starts one
// pixel left of the destination). With the row of a 1-1-1 vertical pass (vertBox3_*) that is 8 x centre
// minus its eight neighbours. No division.
// The centre row (any alignment) is read exactly at its n elements; the row buffer is 16-byte aligned
// and read in whole aligned blocks, never past the block holding element n - 1 + 2c. Exactly n
// destination elements are written, at any alignment (non-temporal stores for 16-byte aligned rows);
// KeepAlpha members leave every fourth destination element as it was. Leaf routines without state; any
// thread.

// 8u centre, 16-bit unsigned row: min(255, max(0, 9x - S)). Each tap is subtracted with a floor at 0, so
// the result is exact for any row, however large its sum.
void horzHighpass3_8u_C1(const void* centre, const void* row, void* dst, std::ptrdiff_t n);
void horzHighpass3_8u_C3(const void* centre, const void* row, void* dst, std::ptrdiff_t n);
void horzHighpass3_8u_C4(const void* centre, const void* row, void* dst, std::ptrdiff_t n);
void horzHighpass3_8u_KeepAlpha(const void* centre, const void* row, void* dst, std::ptrdiff_t n);
// 16s centre taken in offset form x + 32768, like the biased 32-bit row of vertBox3_16s32s, so the biases
// cancel: 9 (x + 32768) - S in 32-bit arithmetic, clamped to -32768..32767.
void horzHighpass3_16s_C1(const void* centre, const void* row, void* dst, std::ptrdiff_t n);
void horzHighpass3_16s_C3(const void* centre, const void* row, void* dst, std::ptrdiff_t n);
void horzHighpass3_16s_C4(const void* centre, const void* row, void* dst, std::ptrdiff_t n);
void horzHighpass3_16s_KeepAlpha(const void* centre, const void* row, void* dst, std::ptrdiff_t n);
// Float: ((9 x - l) - m) - r, without clamping.
void horzHighpass3_32f_C1(const void* centre, const void* row, void* dst, std::ptrdiff_t n);
void horzHighpass3_32f_C3(const void* centre, const void* row, void* dst, std::ptrdiff_t n);
void horzHighpass3_32f_C4(const void* centre, const void* row, void* dst, std::ptrdiff_t n);
void horzHighpass3_32f_KeepAlpha(const void* centre, const void* row, void* dst, std::ptrdiff_t n);
// One channel, 16-bit signed row and destination: the centre zero-extended (8u) or sign-extended (8s),
// 9 x - S with S summed in 16 bits (wrapping) and the difference saturated to -32768..32767 (no floor).
void horzHighpass3_8u16s_C1(const void* centre, const void* row, void* dst, std::ptrdiff_t n);
void horzHighpass3_8s16s_C1(const void* centre, const void* row, void* dst, std::ptrdiff_t n);

} // namespace trov::imaging
