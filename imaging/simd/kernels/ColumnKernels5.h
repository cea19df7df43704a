#pragma once

#include <cstddef>

namespace trov::imaging {

// 5x5 column kernels: destination row y from the rows A(y-2), B(y-1), C(y), B(y+1), A(y+2) of the row
// kernels. The five rows are 16-byte aligned and readable up to n rounded up to 16 elements; exactly n
// destination elements are written, at any alignment (non-temporal stores for 16-byte aligned rows).
// KeepAlpha members treat the row as four-element pixels and leave every fourth destination element as it
// was. The Gaussian members scale by 1/571 with the rounding mode in force (the driver sets nearest for
// 8u and 16s). Leaf routines without state; any thread.

// 16-bit signed rows, summed with wrap-around, saturated to 0..255.
void colLaplacian5_8u(const void* a0, const void* b1, const void* c2, const void* b3, const void* a4,
                      void* dst, std::ptrdiff_t n);
void colLaplacian5_8u_KeepAlpha(const void* a0, const void* b1, const void* c2, const void* b3,
                                const void* a4, void* dst, std::ptrdiff_t n);
// 16-bit unsigned rows; the 32-bit sum in single precision times 0.0017513135, converted, saturated.
void colGauss5_8u(const void* a0, const void* b1, const void* c2, const void* b3, const void* a4, void* dst,
                  std::ptrdiff_t n);
void colGauss5_8u_KeepAlpha(const void* a0, const void* b1, const void* c2, const void* b3, const void* a4,
                            void* dst, std::ptrdiff_t n);
// 32-bit rows, summed with wrap-around, saturated to 16 bits.
void colLaplacian5_16s(const void* a0, const void* b1, const void* c2, const void* b3, const void* a4,
                       void* dst, std::ptrdiff_t n);
void colLaplacian5_16s_KeepAlpha(const void* a0, const void* b1, const void* c2, const void* b3,
                                 const void* a4, void* dst, std::ptrdiff_t n);
// 32-bit rows; the sum in double precision times 0.0017513134851138354, converted, saturated to 16 bits.
void colGauss5_16s(const void* a0, const void* b1, const void* c2, const void* b3, const void* a4, void* dst,
                   std::ptrdiff_t n);
void colGauss5_16s_KeepAlpha(const void* a0, const void* b1, const void* c2, const void* b3, const void* a4,
                             void* dst, std::ptrdiff_t n);
// Float rows added as ((((A(y-2) + B(y-1)) + C(y)) + B(y+1)) + A(y+2)).
void colLaplacian5_32f(const void* a0, const void* b1, const void* c2, const void* b3, const void* a4,
                       void* dst, std::ptrdiff_t n);
void colLaplacian5_32f_KeepAlpha(const void* a0, const void* b1, const void* c2, const void* b3,
                                 const void* a4, void* dst, std::ptrdiff_t n);
// The same sum times 0.0017513135.
void colGauss5_32f(const void* a0, const void* b1, const void* c2, const void* b3, const void* a4, void* dst,
                   std::ptrdiff_t n);
void colGauss5_32f_KeepAlpha(const void* a0, const void* b1, const void* c2, const void* b3, const void* a4,
                             void* dst, std::ptrdiff_t n);
// 16-bit rows summed with wrap-around and stored as 16 bits (8-bit sources with 16-bit output).
void colSum5_16s(const void* a0, const void* b1, const void* c2, const void* b3, const void* a4, void* dst,
                 std::ptrdiff_t n);

// The reciprocals of 571 the Gaussian members multiply by.
inline constexpr float kReciprocal571f = 0.0017513135f;
inline constexpr double kReciprocal571d = 0.0017513134851138354;

} // namespace trov::imaging
