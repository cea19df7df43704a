#include "imaging/simd/kernels/RowKernels5.h"

#include "imaging/simd/kernels/RowPass5.h"

namespace trov::imaging {

using namespace simd;

namespace {

struct GaussFloat {
    static void compute(__m128i i0, __m128i i1, __m128i i2, __m128i i3, __m128i i4, __m128i& a, __m128i& b,
                        __m128i& c) {
        const __m128 p2 = asFloat(i2);
        const __m128 s04 = _mm_add_ps(asFloat(i0), asFloat(i4));
        const __m128 s13 = _mm_add_ps(asFloat(i1), asFloat(i3));
        a = asInt(_mm_add_ps(_mm_add_ps(_mm_add_ps(s04, s04), mulBy(s13, 7.0f)), mulBy(p2, 12.0f)));
        b = asInt(_mm_add_ps(_mm_add_ps(mulBy(s04, 7.0f), mulBy(s13, 31.0f)), mulBy(p2, 52.0f)));
        c = asInt(_mm_add_ps(_mm_add_ps(mulBy(s04, 12.0f), mulBy(s13, 52.0f)), mulBy(p2, 127.0f)));
    }
};

// The 16-bit rows with shared terms, exact modulo 2^16 like every form of them: with X = P0 + P4,
// Y = P1 + P3, Z = P2 and E = 2X + 8Y + 13Z, A = E - (Y + Z), B = 4E - (X + Y), C = 12X + 52Y + 127Z.
struct Gauss16 {
    static void compute(__m128i p0, __m128i p1, __m128i p2, __m128i p3, __m128i p4, __m128i& a, __m128i& b,
                        __m128i& c) {
        const __m128i x = _mm_add_epi16(p0, p4);
        const __m128i y = _mm_add_epi16(p1, p3);
        const __m128i e =
            _mm_add_epi16(_mm_add_epi16(_mm_slli_epi16(x, 1), _mm_slli_epi16(y, 3)), times16<13>(p2));
        a = _mm_sub_epi16(e, _mm_add_epi16(y, p2));
        b = _mm_sub_epi16(_mm_slli_epi16(e, 2), _mm_add_epi16(x, y));
        c = _mm_add_epi16(_mm_add_epi16(times16<12>(x), times16<52>(y)), times16<127>(p2));
    }
};
using Gauss32 = IntegerRows<GaussianMask, Ops32>;

} // namespace

void rowGauss5_8u_C1(const void* s, void* a, void* b, void* c, std::ptrdiff_t n) {
    rowPass5<Lanes8u, 1, Gauss16>(s, a, b, c, n);
}
void rowGauss5_8u_C3(const void* s, void* a, void* b, void* c, std::ptrdiff_t n) {
    rowPass5<Lanes8u, 3, Gauss16>(s, a, b, c, n);
}
void rowGauss5_8u_C4(const void* s, void* a, void* b, void* c, std::ptrdiff_t n) {
    rowPass5<Lanes8u, 4, Gauss16>(s, a, b, c, n);
}

void rowGauss5_16s_C1(const void* s, void* a, void* b, void* c, std::ptrdiff_t n) {
    rowPass5<Lanes16s, 1, Gauss32>(s, a, b, c, n);
}
void rowGauss5_16s_C3(const void* s, void* a, void* b, void* c, std::ptrdiff_t n) {
    rowPass5<Lanes16s, 3, Gauss32>(s, a, b, c, n);
}
void rowGauss5_16s_C4(const void* s, void* a, void* b, void* c, std::ptrdiff_t n) {
    rowPass5<Lanes16s, 4, Gauss32>(s, a, b, c, n);
}

void rowGauss5_32f_C1(const void* s, void* a, void* b, void* c, std::ptrdiff_t n) {
    rowPass5Float<1, GaussFloat>(s, a, b, c, n);
}
void rowGauss5_32f_C3(const void* s, void* a, void* b, void* c, std::ptrdiff_t n) {
    rowPass5Float<3, GaussFloat>(s, a, b, c, n);
}
void rowGauss5_32f_C4(const void* s, void* a, void* b, void* c, std::ptrdiff_t n) {
    rowPass5Float<4, GaussFloat>(s, a, b, c, n);
}

} // namespace trov::imaging
