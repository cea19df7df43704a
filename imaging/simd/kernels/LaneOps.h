#pragma once

// One vocabulary of lane arithmetic for 16-bit, 32-bit and single-precision lanes, so that a formula is
// written once and serves every data kind. All values travel as __m128i. Integer operations wrap in the
// lane width; float operations round once each, in the order written. Internal to imaging/simd/kernels.

#include "imaging/simd/kernels/SimdSupport.h"

namespace trov::imaging::simd {

struct Int16Ops {
    static __m128i add(__m128i a, __m128i b) { return _mm_add_epi16(a, b); }
    static __m128i sub(__m128i a, __m128i b) { return _mm_sub_epi16(a, b); }
    template <int K> static __m128i times(__m128i x) { return times16<K>(x); }
};

struct Int32Ops {
    static __m128i add(__m128i a, __m128i b) { return _mm_add_epi32(a, b); }
    static __m128i sub(__m128i a, __m128i b) { return _mm_sub_epi32(a, b); }
    template <int K> static __m128i times(__m128i x) { return times32<K>(x); }
};

struct FloatOps {
    static __m128 f(__m128i v) { return _mm_castsi128_ps(v); }
    static __m128i i(__m128 v) { return _mm_castps_si128(v); }
    static __m128i add(__m128i a, __m128i b) { return i(_mm_add_ps(f(a), f(b))); }
    static __m128i sub(__m128i a, __m128i b) { return i(_mm_sub_ps(f(a), f(b))); }
    template <int K> static __m128i times(__m128i x) { return i(_mm_mul_ps(f(x), _mm_set1_ps(float(K)))); }
    static __m128i scale(__m128i x, float k) { return i(_mm_mul_ps(f(x), _mm_set1_ps(k))); }
};

// Narrowing of two vectors of wider lanes into one destination block, with saturation.
inline __m128i packSaturatedU8(__m128i lo16, __m128i hi16) {
    return _mm_packus_epi16(lo16, hi16);
}
inline __m128i packSaturatedS16(__m128i lo32, __m128i hi32) {
    return _mm_packs_epi32(lo32, hi32);
}

// Unsigned 16-bit lanes limited to 255 (packus alone reads lanes from 32768 up as negative).
inline __m128i limitTo255(__m128i u16) {
    const __m128i top = _mm_set1_epi16(static_cast<short>(0xFF00));
    return _mm_subs_epu16(_mm_adds_epu16(u16, top), top);
}

// Single precision times a constant, converted to 32-bit integers in the rounding mode in force.
inline __m128i scaleAndConvert(__m128i s32, float k) {
    return _mm_cvtps_epi32(_mm_mul_ps(_mm_cvtepi32_ps(s32), _mm_set1_ps(k)));
}

} // namespace trov::imaging::simd
