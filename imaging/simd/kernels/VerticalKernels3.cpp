#include "imaging/simd/kernels/VerticalKernels3.h"

#include "imaging/simd/kernels/SimdSupport.h"

namespace trov::imaging {

using namespace simd;

namespace {

// How 16 source bytes become two vectors of intermediate lanes.
struct Widen8u {
    static constexpr std::size_t kSampleSize = 1;
    static constexpr std::size_t kLaneSize = 2;
    static void widen(__m128i v, __m128i& lo, __m128i& hi) {
        lo = _mm_unpacklo_epi8(v, _mm_setzero_si128());
        hi = _mm_unpackhi_epi8(v, _mm_setzero_si128());
    }
    static __m128i add(__m128i a, __m128i b) { return _mm_add_epi16(a, b); }
};
struct Widen8s {
    static constexpr std::size_t kSampleSize = 1;
    static constexpr std::size_t kLaneSize = 2;
    static void widen(__m128i v, __m128i& lo, __m128i& hi) {
        lo = _mm_srai_epi16(_mm_unpacklo_epi8(v, v), 8);
        hi = _mm_srai_epi16(_mm_unpackhi_epi8(v, v), 8);
    }
    static __m128i add(__m128i a, __m128i b) { return _mm_add_epi16(a, b); }
};
// Offset form: the sign bit inverted (value + 32768), widened with zeros.
struct Widen16s {
    static constexpr std::size_t kSampleSize = 2;
    static constexpr std::size_t kLaneSize = 4;
    static void widen(__m128i v, __m128i& lo, __m128i& hi) {
        const __m128i offset = _mm_xor_si128(v, _mm_set1_epi16(static_cast<short>(0x8000)));
        lo = _mm_unpacklo_epi16(offset, _mm_setzero_si128());
        hi = _mm_unpackhi_epi16(offset, _mm_setzero_si128());
    }
    static __m128i add(__m128i a, __m128i b) { return _mm_add_epi32(a, b); }
};

template <class Widen, bool Smooth>
void integerPass(const void* top, void* rowOut, std::ptrdiff_t n, std::ptrdiff_t srcStep) {
    constexpr std::ptrdiff_t kStep = 16 / Widen::kSampleSize;
    constexpr std::ptrdiff_t kHalf = kStep / 2;
    const auto* t = static_cast<const unsigned char*>(top);
    const unsigned char* m = t + srcStep;
    const unsigned char* b = m + srcStep;
    auto* out = static_cast<unsigned char*>(rowOut);
    auto combine = [](__m128i vt, __m128i vm, __m128i vb, __m128i& lo, __m128i& hi) {
        __m128i tl, th, ml, mh, bl, bh;
        Widen::widen(vt, tl, th);
        Widen::widen(vm, ml, mh);
        Widen::widen(vb, bl, bh);
        if constexpr (Smooth) {
            ml = Widen::add(ml, ml);
            mh = Widen::add(mh, mh);
        }
        lo = Widen::add(Widen::add(tl, bl), ml);
        hi = Widen::add(Widen::add(th, bh), mh);
    };
    std::ptrdiff_t i = 0;
    for (; i + kStep <= n; i += kStep) {
        const std::ptrdiff_t at = i * static_cast<std::ptrdiff_t>(Widen::kSampleSize);
        __m128i lo, hi;
        combine(_mm_loadu_si128(reinterpret_cast<const __m128i*>(t + at)),
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(m + at)),
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + at)), lo, hi);
        auto* o = reinterpret_cast<__m128i*>(out + i * static_cast<std::ptrdiff_t>(Widen::kLaneSize));
        _mm_store_si128(o, lo);
        _mm_store_si128(o + 1, hi);
    }
    if (i < n) {
        const std::ptrdiff_t at = i * static_cast<std::ptrdiff_t>(Widen::kSampleSize);
        const auto bytes = static_cast<std::size_t>(n - i) * Widen::kSampleSize;
        __m128i lo, hi;
        combine(loadExact(t + at, bytes), loadExact(m + at, bytes), loadExact(b + at, bytes), lo, hi);
        unsigned char* o = out + i * static_cast<std::ptrdiff_t>(Widen::kLaneSize);
        const std::ptrdiff_t left = n - i;
        storeExact(o, lo, static_cast<std::size_t>(left < kHalf ? left : kHalf) * Widen::kLaneSize);
        if (left > kHalf)
            storeExact(o + 16, hi, static_cast<std::size_t>(left - kHalf) * Widen::kLaneSize);
    }
}

template <bool Smooth> float combineFloat(float t, float m, float b) {
    if constexpr (Smooth)
        return (t + b) + (m + m);
    else
        return (t + m) + b;
}

template <bool Smooth> __m128 combineFloat(__m128 t, __m128 m, __m128 b) {
    if constexpr (Smooth)
        return _mm_add_ps(_mm_add_ps(t, b), _mm_add_ps(m, m));
    else
        return _mm_add_ps(_mm_add_ps(t, m), b);
}

template <bool Smooth>
void floatPass(const void* top, void* rowOut, std::ptrdiff_t n, std::ptrdiff_t srcStep) {
    const auto* t = static_cast<const float*>(top);
    const auto* m = reinterpret_cast<const float*>(static_cast<const unsigned char*>(top) + srcStep);
    const auto* b = reinterpret_cast<const float*>(static_cast<const unsigned char*>(top) + 2 * srcStep);
    auto* out = static_cast<float*>(rowOut);
    auto block = [&](std::ptrdiff_t i) {
        _mm_store_ps(out + i,
                     combineFloat<Smooth>(_mm_loadu_ps(t + i), _mm_loadu_ps(m + i), _mm_loadu_ps(b + i)));
    };
    std::ptrdiff_t i = 0;
    for (; i + 8 <= n; i += 8) {
        block(i);
        block(i + 4);
    }
    if (i + 4 <= n) {
        block(i);
        i += 4;
    }
    if (i < n) {
        _mm_store_ps(out + i, _mm_setzero_ps());
        for (; i < n; ++i)
            out[i] = combineFloat<Smooth>(t[i], m[i], b[i]);
    }
}

} // namespace

void vertSmooth3_8u16u(const void* top, void* row, std::ptrdiff_t n, std::ptrdiff_t step) {
    integerPass<Widen8u, true>(top, row, n, step);
}
void vertBox3_8u16u(const void* top, void* row, std::ptrdiff_t n, std::ptrdiff_t step) {
    integerPass<Widen8u, false>(top, row, n, step);
}
void vertBox3_8s16s(const void* top, void* row, std::ptrdiff_t n, std::ptrdiff_t step) {
    integerPass<Widen8s, false>(top, row, n, step);
}
void vertSmooth3_16s32s(const void* top, void* row, std::ptrdiff_t n, std::ptrdiff_t step) {
    integerPass<Widen16s, true>(top, row, n, step);
}
void vertBox3_16s32s(const void* top, void* row, std::ptrdiff_t n, std::ptrdiff_t step) {
    integerPass<Widen16s, false>(top, row, n, step);
}
void vertSmooth3_32f(const void* top, void* row, std::ptrdiff_t n, std::ptrdiff_t step) {
    floatPass<true>(top, row, n, step);
}
void vertBox3_32f(const void* top, void* row, std::ptrdiff_t n, std::ptrdiff_t step) {
    floatPass<false>(top, row, n, step);
}

} // namespace trov::imaging
