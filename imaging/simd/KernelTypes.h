#pragma once

#include <cstddef>

namespace trov::imaging {

// The argument lists of the kernel families the SIMD drivers pick from the kernel table. Kernels are
// leaf routines: one row per call, no checks, no state, no allocation; any thread. Element types depend
// on the data kind, hence the untyped pointers.

// 5x5 row pass: one source row (starting two pixels left of the region) into its A, B and C rows.
using RowKernel5 = void (*)(const void* src, void* aRow, void* bRow, void* cRow, std::ptrdiff_t n);
// 5x5 column pass: A(y-2) + B(y-1) + C(y) + B(y+1) + A(y+2) into destination row y.
using ColumnKernel5 = void (*)(const void* a0, const void* b1, const void* c2, const void* b3, const void* a4,
                               void* dst, std::ptrdiff_t n);
// 3x3 vertical pass: three source rows (top row, then one and two steps below) into the intermediate row.
using VerticalKernel3 = void (*)(const void* top, void* row, std::ptrdiff_t n, std::ptrdiff_t srcStep);
// 3x3 horizontal pass: the intermediate row (one pixel left of the region) into a destination row.
using HorizontalKernel3 = void (*)(const void* row, void* dst, std::ptrdiff_t n);

} // namespace trov::imaging
