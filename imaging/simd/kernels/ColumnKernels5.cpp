#include "imaging/simd/kernels/ColumnKernels5.h"

#include "imaging/simd/kernels/ColumnPass5.h"

namespace trov::imaging {

using namespace simd;

namespace {

// Sum of the five rows' 16-bit elements i to i + 7, wrapping.
__m128i sum16(const FiveRows& rows, std::ptrdiff_t i) {
    __m128i sum = rows.load<2>(0, i);
    for (int r = 1; r < 5; ++r)
        sum = _mm_add_epi16(sum, rows.load<2>(r, i));
    return sum;
}

// Sum of the five rows' 32-bit elements i to i + 3, wrapping.
__m128i sum32(const FiveRows& rows, std::ptrdiff_t i) {
    __m128i sum = rows.load<4>(0, i);
    for (int r = 1; r < 5; ++r)
        sum = _mm_add_epi32(sum, rows.load<4>(r, i));
    return sum;
}

__m128 sumFloat(const FiveRows& rows, std::ptrdiff_t i) {
    __m128 sum = _mm_castsi128_ps(rows.load<4>(0, i));
    for (int r = 1; r < 5; ++r)
        sum = _mm_add_ps(sum, _mm_castsi128_ps(rows.load<4>(r, i)));
    return sum;
}

// Eight sums of unsigned 16-bit elements, scaled in single precision and converted. The outer pairs
// are added in 16 bits first: A + A stays below 2 x 30 x 255 and B + B below 2 x 128 x 255 = 65280.
__m128i gaussHalf8u(const FiveRows& rows, std::ptrdiff_t i) {
    const __m128i zero = _mm_setzero_si128();
    const __m128 scale = _mm_set1_ps(kReciprocal571f);
    const __m128i outer = _mm_add_epi16(rows.load<2>(0, i), rows.load<2>(4, i));
    const __m128i inner = _mm_add_epi16(rows.load<2>(1, i), rows.load<2>(3, i));
    const __m128i centre = rows.load<2>(2, i);
    __m128i lo =
        _mm_add_epi32(_mm_add_epi32(_mm_unpacklo_epi16(outer, zero), _mm_unpacklo_epi16(inner, zero)),
                      _mm_unpacklo_epi16(centre, zero));
    __m128i hi =
        _mm_add_epi32(_mm_add_epi32(_mm_unpackhi_epi16(outer, zero), _mm_unpackhi_epi16(inner, zero)),
                      _mm_unpackhi_epi16(centre, zero));
    lo = _mm_cvtps_epi32(_mm_mul_ps(_mm_cvtepi32_ps(lo), scale));
    hi = _mm_cvtps_epi32(_mm_mul_ps(_mm_cvtepi32_ps(hi), scale));
    return _mm_packs_epi32(lo, hi);
}

// Four 32-bit sums scaled in double precision and converted.
__m128i gaussQuad16s(const FiveRows& rows, std::ptrdiff_t i) {
    const __m128d scale = _mm_set1_pd(kReciprocal571d);
    const __m128i sum = sum32(rows, i);
    const __m128i lo = _mm_cvtpd_epi32(_mm_mul_pd(_mm_cvtepi32_pd(sum), scale));
    const __m128i hi = _mm_cvtpd_epi32(_mm_mul_pd(_mm_cvtepi32_pd(_mm_srli_si128(sum, 8)), scale));
    return _mm_unpacklo_epi64(lo, hi);
}

// Each Block gives the 16 destination bytes of elements i onwards.
struct Laplacian8u {
    static constexpr std::size_t kOut = 1;
    static __m128i block(const FiveRows& rows, std::ptrdiff_t i, std::ptrdiff_t) {
        return _mm_packus_epi16(sum16(rows, i), sum16(rows, i + 8));
    }
};
struct Gauss8u {
    static constexpr std::size_t kOut = 1;
    static __m128i block(const FiveRows& rows, std::ptrdiff_t i, std::ptrdiff_t) {
        return _mm_packus_epi16(gaussHalf8u(rows, i), gaussHalf8u(rows, i + 8));
    }
};
struct Laplacian16s {
    static constexpr std::size_t kOut = 2;
    static __m128i block(const FiveRows& rows, std::ptrdiff_t i, std::ptrdiff_t) {
        return _mm_packs_epi32(sum32(rows, i), sum32(rows, i + 4));
    }
};
struct Gauss16s {
    static constexpr std::size_t kOut = 2;
    static __m128i block(const FiveRows& rows, std::ptrdiff_t i, std::ptrdiff_t) {
        return _mm_packs_epi32(gaussQuad16s(rows, i), gaussQuad16s(rows, i + 4));
    }
};
struct Laplacian32f {
    static constexpr std::size_t kOut = 4;
    static __m128i block(const FiveRows& rows, std::ptrdiff_t i, std::ptrdiff_t) {
        return _mm_castps_si128(sumFloat(rows, i));
    }
};
struct Gauss32f {
    static constexpr std::size_t kOut = 4;
    static __m128i block(const FiveRows& rows, std::ptrdiff_t i, std::ptrdiff_t) {
        return _mm_castps_si128(_mm_mul_ps(sumFloat(rows, i), _mm_set1_ps(kReciprocal571f)));
    }
};
struct Sum16 {
    static constexpr std::size_t kOut = 2;
    static __m128i block(const FiveRows& rows, std::ptrdiff_t i, std::ptrdiff_t) { return sum16(rows, i); }
};

} // namespace

TROV_COLUMN_KERNEL(colLaplacian5_8u, Laplacian8u, false)
TROV_COLUMN_KERNEL(colLaplacian5_8u_KeepAlpha, Laplacian8u, true)
TROV_COLUMN_KERNEL(colGauss5_8u, Gauss8u, false)
TROV_COLUMN_KERNEL(colGauss5_8u_KeepAlpha, Gauss8u, true)
TROV_COLUMN_KERNEL(colLaplacian5_16s, Laplacian16s, false)
TROV_COLUMN_KERNEL(colLaplacian5_16s_KeepAlpha, Laplacian16s, true)
TROV_COLUMN_KERNEL(colGauss5_16s, Gauss16s, false)
TROV_COLUMN_KERNEL(colGauss5_16s_KeepAlpha, Gauss16s, true)
TROV_COLUMN_KERNEL(colLaplacian5_32f, Laplacian32f, false)
TROV_COLUMN_KERNEL(colLaplacian5_32f_KeepAlpha, Laplacian32f, true)
TROV_COLUMN_KERNEL(colGauss5_32f, Gauss32f, false)
TROV_COLUMN_KERNEL(colGauss5_32f_KeepAlpha, Gauss32f, true)
TROV_COLUMN_KERNEL(colSum5_16s, Sum16, false)

} // namespace trov::imaging
