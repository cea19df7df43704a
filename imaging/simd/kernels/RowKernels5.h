#pragma once

#include <cstddef>

namespace trov::imaging {

// 5x5 row kernels: one source row (starting two pixels left of the region; the taps of output i are
// samples i, i+c, i+2c, i+3c, i+4c) into its A, B and C rows (16-byte aligned), exact. Each reads exactly
// samples 0 to n - 1 + 4c. Members writing whole blocks fill the rows up to the next multiple of 8 (8-bit
// sources) or 4 (others) elements; the four-channel 16s, 32f and Laplacian 8u members write exactly n.
// Leaf routines without state; any thread.

// Gaussian mask rows 2-7-12-7-2, 7-31-52-31-7, 12-52-127-52-12.
// 8u source, 16-bit unsigned rows.
void rowGauss5_8u_C1(const void* src, void* a, void* b, void* c, std::ptrdiff_t n);
void rowGauss5_8u_C3(const void* src, void* a, void* b, void* c, std::ptrdiff_t n);
void rowGauss5_8u_C4(const void* src, void* a, void* b, void* c, std::ptrdiff_t n);
// 16s source, 32-bit rows.
void rowGauss5_16s_C1(const void* src, void* a, void* b, void* c, std::ptrdiff_t n);
void rowGauss5_16s_C3(const void* src, void* a, void* b, void* c, std::ptrdiff_t n);
void rowGauss5_16s_C4(const void* src, void* a, void* b, void* c, std::ptrdiff_t n);
// 32f source and rows: A = ((S04 + S04) + 7 S13) + 12 P2, B = (7 S04 + 31 S13) + 52 P2,
// C = (12 S04 + 52 S13) + 127 P2 with S04 = P0 + P4, S13 = P1 + P3, each operation rounded in that order.
void rowGauss5_32f_C1(const void* src, void* a, void* b, void* c, std::ptrdiff_t n);
void rowGauss5_32f_C3(const void* src, void* a, void* b, void* c, std::ptrdiff_t n);
void rowGauss5_32f_C4(const void* src, void* a, void* b, void* c, std::ptrdiff_t n);

// Laplacian-type mask rows -1 -3 -4 -3 -1, -3 0 6 0 -3, -4 6 20 6 -4 (sum 0).
// 8u and 8s sources, 16-bit signed rows.
void rowLaplacian5_8u_C1(const void* src, void* a, void* b, void* c, std::ptrdiff_t n);
void rowLaplacian5_8u_C3(const void* src, void* a, void* b, void* c, std::ptrdiff_t n);
void rowLaplacian5_8u_C4(const void* src, void* a, void* b, void* c, std::ptrdiff_t n);
void rowLaplacian5_8s_C1(const void* src, void* a, void* b, void* c, std::ptrdiff_t n);
// 16s source, 32-bit rows.
void rowLaplacian5_16s_C1(const void* src, void* a, void* b, void* c, std::ptrdiff_t n);
void rowLaplacian5_16s_C3(const void* src, void* a, void* b, void* c, std::ptrdiff_t n);
void rowLaplacian5_16s_C4(const void* src, void* a, void* b, void* c, std::ptrdiff_t n);
// 32f, with N = 0 - S04, 6x as (3x) doubled and 12x as (3x) times 4:
// C4: A = ((N - 3 S13) - P2) - 3 P2, B = 3 N + 6 P2, C = ((N + 3 N) + 6 S13) + 20 P2;
// C1: A = (N - 3 S13) - 4 P2, B as C4, C = (4 N + 6 S13) + (8 P2 + 12 P2);
// C3: T = P2 + 3 P2, A = (N - 3 S13) - T, B as C4, C = ((N + 3 N) + 6 S13) + (2 T + 12 P2).
void rowLaplacian5_32f_C1(const void* src, void* a, void* b, void* c, std::ptrdiff_t n);
void rowLaplacian5_32f_C3(const void* src, void* a, void* b, void* c, std::ptrdiff_t n);
void rowLaplacian5_32f_C4(const void* src, void* a, void* b, void* c, std::ptrdiff_t n);

} // namespace trov::imaging
