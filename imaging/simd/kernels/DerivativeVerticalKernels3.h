#pragma once

#include <cstddef>

namespace trov::imaging {

// Vertical passes of the 3x3 derivative filters beside those of the three-row vertical pass family
// (vertSmooth3_8u16u, vertSmooth3_32f) and of the difference family (vertDiff3_8u16s, vertDiff3_32f):
// row element i from the source rows t, m and b at the address given (the window's top-left corner) and
// one and two steps below it. Exactly n elements are read from each row used and written to the 16-byte
// aligned row buffer; the float member then finishes the 16-byte block holding its last element with
// +0.0. Results are exact for 8-bit sources (-512..510), with no saturation. Leaf routines without state;
// any thread.

// 8s to 16-bit: BOTTOM MINUS TOP, b - t (the middle row is not read); smoothing t + 2m + b.
void vertDiff3_8s16s(const void* top, void* row, std::ptrdiff_t n, std::ptrdiff_t srcStep);
void vertSmooth3_8s16s(const void* top, void* row, std::ptrdiff_t n, std::ptrdiff_t srcStep);
// Second difference (t + b) - 2m: 8s and 8u to 16-bit; single precision (t + b) - (m + m).
void vertSecond3_8s16s(const void* top, void* row, std::ptrdiff_t n, std::ptrdiff_t srcStep);
void vertSecond3_8u16s(const void* top, void* row, std::ptrdiff_t n, std::ptrdiff_t srcStep);
void vertSecond3_32f(const void* top, void* row, std::ptrdiff_t n, std::ptrdiff_t srcStep);

} // namespace trov::imaging
