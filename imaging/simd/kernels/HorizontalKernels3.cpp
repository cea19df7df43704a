#include "imaging/simd/kernels/HorizontalKernels3.h"

#include "imaging/simd/kernels/SimdSupport.h"

namespace trov::imaging {

using namespace simd;

namespace {

// The aligned 16-byte blocks of the intermediate row from element j onwards.
template <std::size_t ElementSize, std::size_t Count>
void loadBlocks(const void* row, std::ptrdiff_t j, __m128i (&blocks)[Count]) {
    const auto* p = static_cast<const unsigned char*>(row) + j * static_cast<std::ptrdiff_t>(ElementSize);
    for (std::size_t k = 0; k < Count; ++k)
        blocks[k] = loadAligned(p + 16 * k);
}

// Sixteen 8u results from 16-bit column sums.
template <int C> struct Gauss8u {
    static constexpr std::size_t kOut = 1;
    static __m128i block(const void* row, std::ptrdiff_t j) {
        __m128i r[3];
        loadBlocks<2>(row, j, r);
        __m128i half[2];
        for (std::size_t h = 0; h < 2; ++h) {
            const __m128i centre = window<2 * C>(r, h);
            const __m128i s =
                _mm_add_epi16(_mm_add_epi16(r[h], window<4 * C>(r, h)), _mm_add_epi16(centre, centre));
            half[h] = roundDiv16Lanes16(s);
        }
        return _mm_packus_epi16(half[0], half[1]);
    }
};

// Eight 16s results from biased 32-bit column sums: four biases of 131072 make 32768 after the shift.
template <int C> struct Gauss16s {
    static constexpr std::size_t kOut = 2;
    static __m128i block(const void* row, std::ptrdiff_t j) {
        __m128i r[4];
        loadBlocks<4>(row, j, r);
        __m128i quad[2];
        for (std::size_t q = 0; q < 2; ++q) {
            const __m128i centre = window<4 * C>(r, q);
            const __m128i s =
                _mm_add_epi32(_mm_add_epi32(r[q], window<8 * C>(r, q)), _mm_add_epi32(centre, centre));
            quad[q] = _mm_sub_epi32(roundDiv16Lanes32(s), _mm_set1_epi32(32768));
        }
        return _mm_packs_epi32(quad[0], quad[1]);
    }
};

template <int C> struct Gauss32f {
    static constexpr std::size_t kOut = 4;
    static __m128i block(const void* row, std::ptrdiff_t j) {
        __m128i r[3];
        loadBlocks<4>(row, j, r);
        const __m128 left = _mm_castsi128_ps(r[0]);
        const __m128 centre = _mm_castsi128_ps(window<4 * C>(r));
        const __m128 right = _mm_castsi128_ps(window<8 * C>(r));
        __m128 sum;
        if constexpr (C == 4)
            sum = _mm_add_ps(_mm_add_ps(left, centre), _mm_add_ps(centre, right));
        else
            sum = _mm_add_ps(_mm_add_ps(left, _mm_add_ps(centre, centre)), right);
        return _mm_castps_si128(_mm_mul_ps(sum, _mm_set1_ps(0.0625f)));
    }
};

template <class Kind, bool KeepAlpha = false>
void horizontalPass(const void* row, void* dst, std::ptrdiff_t n) {
    auto block = [row](std::ptrdiff_t j) { return Kind::block(row, j); };
    if constexpr (KeepAlpha)
        writeRowKeepAlpha<Kind::kOut>(dst, n, block);
    else
        writeRow<Kind::kOut>(dst, n, block);
}

} // namespace

void horzGauss3_8u_C1(const void* row, void* dst, std::ptrdiff_t n) {
    horizontalPass<Gauss8u<1>>(row, dst, n);
}
void horzGauss3_8u_C3(const void* row, void* dst, std::ptrdiff_t n) {
    horizontalPass<Gauss8u<3>>(row, dst, n);
}
void horzGauss3_8u_C4(const void* row, void* dst, std::ptrdiff_t n) {
    horizontalPass<Gauss8u<4>>(row, dst, n);
}
void horzGauss3_8u_KeepAlpha(const void* row, void* dst, std::ptrdiff_t n) {
    horizontalPass<Gauss8u<4>, true>(row, dst, n);
}
void horzGauss3_16s_C1(const void* row, void* dst, std::ptrdiff_t n) {
    horizontalPass<Gauss16s<1>>(row, dst, n);
}
void horzGauss3_16s_C3(const void* row, void* dst, std::ptrdiff_t n) {
    horizontalPass<Gauss16s<3>>(row, dst, n);
}
void horzGauss3_16s_C4(const void* row, void* dst, std::ptrdiff_t n) {
    horizontalPass<Gauss16s<4>>(row, dst, n);
}
void horzGauss3_16s_KeepAlpha(const void* row, void* dst, std::ptrdiff_t n) {
    horizontalPass<Gauss16s<4>, true>(row, dst, n);
}
void horzGauss3_32f_C1(const void* row, void* dst, std::ptrdiff_t n) {
    horizontalPass<Gauss32f<1>>(row, dst, n);
}
void horzGauss3_32f_C3(const void* row, void* dst, std::ptrdiff_t n) {
    horizontalPass<Gauss32f<3>>(row, dst, n);
}
void horzGauss3_32f_C4(const void* row, void* dst, std::ptrdiff_t n) {
    horizontalPass<Gauss32f<4>>(row, dst, n);
}
void horzGauss3_32f_KeepAlpha(const void* row, void* dst, std::ptrdiff_t n) {
    horizontalPass<Gauss32f<4>, true>(row, dst, n);
}

} // namespace trov::imaging
