#pragma once

#include <cstddef>

namespace trov::imaging {

// Difference pass kernels, the first-order building blocks of the 3x3 derivative filters.
// Leaf routines without state; any thread.

// Horizontal differences, LEFT MINUS RIGHT: destination element j is b[j] - b[j + 2c], the row buffer's
// elements of the pixels left and right of destination pixel j / c (c the channel count; the row starts
// one pixel left of the destination). The row buffer is 16-byte aligned and read in whole aligned
// blocks, never past the block holding element n - 1 + 2c. Exactly n destination elements are written,
// at any alignment (non-temporal stores for 16-byte aligned rows); KeepAlpha members leave every fourth
// destination element as it was.
// 16-bit unsigned rows to 8u: the difference floored at 0 and saturated to 255.
void horzDiff3_16u8u_C1(const void* row, void* dst, std::ptrdiff_t n);
void horzDiff3_16u8u_C3(const void* row, void* dst, std::ptrdiff_t n);
void horzDiff3_16u8u_C4(const void* row, void* dst, std::ptrdiff_t n);
void horzDiff3_16u8u_KeepAlpha(const void* row, void* dst, std::ptrdiff_t n);
// 32-bit rows (equal biases cancel) to 16s: 32-bit difference, saturated to -32768..32767.
void horzDiff3_32s16s_C1(const void* row, void* dst, std::ptrdiff_t n);
void horzDiff3_32s16s_C3(const void* row, void* dst, std::ptrdiff_t n);
void horzDiff3_32s16s_C4(const void* row, void* dst, std::ptrdiff_t n);
void horzDiff3_32s16s_KeepAlpha(const void* row, void* dst, std::ptrdiff_t n);
// Float rows: the single-precision difference.
void horzDiff3_32f_C1(const void* row, void* dst, std::ptrdiff_t n);
void horzDiff3_32f_C3(const void* row, void* dst, std::ptrdiff_t n);
void horzDiff3_32f_C4(const void* row, void* dst, std::ptrdiff_t n);
void horzDiff3_32f_KeepAlpha(const void* row, void* dst, std::ptrdiff_t n);

// Vertical differences, BOTTOM MINUS TOP: row element i is bottom[i] - top[i] of the source rows at the
// address given and two steps below it (the middle row is not read). Exactly n elements are read from each
// of the two rows and written to the 16-byte aligned row buffer; the float member then finishes the
// 16-byte block holding its last element with +0.0.
// 8u to 16-bit signed (-255..255); 16s in offset form to 32-bit (-65535..65535, the offsets cancel);
// single precision.
void vertDiff3_8u16s(const void* top, void* row, std::ptrdiff_t n, std::ptrdiff_t srcStep);
void vertDiff3_16s32s(const void* top, void* row, std::ptrdiff_t n, std::ptrdiff_t srcStep);
void vertDiff3_32f(const void* top, void* row, std::ptrdiff_t n, std::ptrdiff_t srcStep);

} // namespace trov::imaging
