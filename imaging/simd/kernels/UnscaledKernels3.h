#pragma once

#include <cstddef>

namespace trov::imaging {

// Unscaled three-tap horizontal pass kernels: destination element j from the row buffer's elements j,
// j + c and j + 2c (c the channel count; the row starts one pixel left of the destination), weighted
// 1-1-1 (horzSum3) or 1-2-1 (horzSum121), with no division, rounding or shift; integer results saturate to
// the destination type. The row is taken as it is: any bias of the vertical pass stays in the result.
// The row buffer is 16-byte aligned and read in whole aligned blocks, never past the block holding
// element n - 1 + 2c. Exactly n destination elements are written, at any alignment (non-temporal stores
// for 16-byte aligned rows); KeepAlpha members leave every fourth destination element as it was.
// Leaf routines without state; any thread.

// 16-bit rows summed with 16-bit wrap-around, read as signed and clamped to 0..255.
void horzSum3_8u_C1(const void* row, void* dst, std::ptrdiff_t n);
void horzSum3_8u_C3(const void* row, void* dst, std::ptrdiff_t n);
void horzSum3_8u_C4(const void* row, void* dst, std::ptrdiff_t n);
void horzSum3_8u_KeepAlpha(const void* row, void* dst, std::ptrdiff_t n);
void horzSum121_8u_C1(const void* row, void* dst, std::ptrdiff_t n);
void horzSum121_8u_C3(const void* row, void* dst, std::ptrdiff_t n);
void horzSum121_8u_C4(const void* row, void* dst, std::ptrdiff_t n);
void horzSum121_8u_KeepAlpha(const void* row, void* dst, std::ptrdiff_t n);
// 32-bit rows summed with 32-bit wrap-around, clamped to -32768..32767.
void horzSum3_16s_C1(const void* row, void* dst, std::ptrdiff_t n);
void horzSum3_16s_C3(const void* row, void* dst, std::ptrdiff_t n);
void horzSum3_16s_C4(const void* row, void* dst, std::ptrdiff_t n);
void horzSum3_16s_KeepAlpha(const void* row, void* dst, std::ptrdiff_t n);
void horzSum121_16s_C1(const void* row, void* dst, std::ptrdiff_t n);
void horzSum121_16s_C3(const void* row, void* dst, std::ptrdiff_t n);
void horzSum121_16s_C4(const void* row, void* dst, std::ptrdiff_t n);
void horzSum121_16s_KeepAlpha(const void* row, void* dst, std::ptrdiff_t n);
// Float rows: (l + m) + r; and (l + (m + m)) + r for one and three channels, (l + m) + (m + r) for four.
void horzSum3_32f_C1(const void* row, void* dst, std::ptrdiff_t n);
void horzSum3_32f_C3(const void* row, void* dst, std::ptrdiff_t n);
void horzSum3_32f_C4(const void* row, void* dst, std::ptrdiff_t n);
void horzSum3_32f_KeepAlpha(const void* row, void* dst, std::ptrdiff_t n);
void horzSum121_32f_C1(const void* row, void* dst, std::ptrdiff_t n);
void horzSum121_32f_C3(const void* row, void* dst, std::ptrdiff_t n);
void horzSum121_32f_C4(const void* row, void* dst, std::ptrdiff_t n);
void horzSum121_32f_KeepAlpha(const void* row, void* dst, std::ptrdiff_t n);

} // namespace trov::imaging
