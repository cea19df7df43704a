#pragma once

#include <cstddef>

namespace trov::imaging {

// Scharr x-derivative kernels (one channel): a vertical pass smooths three source rows with 3, 10, 3 and
// a horizontal pass takes RIGHT MINUS LEFT of the intermediate row (weights -1, 0, 1); nothing is scaled.
// Leaf routines without state; any thread.

// Vertical pass: row element i is 3 (t + b) + 10 m of the rows at the address given and one and two steps
// below it. Exactly n elements are read from each row and written to the 16-byte aligned row buffer; the
// float member then finishes the 16-byte block holding its last element with +0.0.
// Single precision, (t + b) x 3 plus m x 10; 8u (0..4080) and 8s (-2048..2032) sources to 16-bit lanes.
void vertScharr3_32f(const void* top, void* row, std::ptrdiff_t n, std::ptrdiff_t srcStep);
void vertScharr3_8u16s(const void* top, void* row, std::ptrdiff_t n, std::ptrdiff_t srcStep);
void vertScharr3_8s16s(const void* top, void* row, std::ptrdiff_t n, std::ptrdiff_t srcStep);

// Horizontal pass: destination element i is row[i + 2] - row[i] (the row starts one pixel left of the
// destination). The row buffer is 16-byte aligned and read in whole aligned blocks, never past the block
// holding element n + 1. Exactly n destination elements are written, at any alignment (non-temporal stores
// for 16-byte aligned rows). Float difference; 16-bit difference saturated to -32768..32767.
void horzScharrDiff3_32f_C1(const void* row, void* dst, std::ptrdiff_t n);
void horzScharrDiff3_16s_C1(const void* row, void* dst, std::ptrdiff_t n);

} // namespace trov::imaging
