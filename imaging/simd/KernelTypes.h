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
// 3x3 horizontal pass: the intermediate row (one pixel left of the region) into a destination row. The
// 5x5 mean passes (column-sum row two pixels left of the region) and the derivative 5x5 row kernels (source
// row two pixels left, into one intermediate row) take the same arguments.
using HorizontalKernel3 = void (*)(const void* row, void* dst, std::ptrdiff_t n);
// Horizontal pass that also reads the centre row (the source row of the destination row, from its first
// pixel): the 3x3 and 5x5 high-pass and the sharpening kernels.
using CentredKernel = void (*)(const void* centre, const void* row, void* dst, std::ptrdiff_t n);
// Five-row column sums: the initial sum reads the rows 0 to 4 steps below `top`; the window update reads
// the row leaving the window at `top`, the row entering it 5 steps below, and the column-sum row itself.
using ColumnSumKernel5 = void (*)(const void* top, void* row, std::ptrdiff_t n, std::ptrdiff_t srcStep);

} // namespace trov::imaging
