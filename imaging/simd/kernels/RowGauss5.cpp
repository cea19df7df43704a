#include "imaging/simd/kernels/RowKernels5.h"

#include "imaging/simd/kernels/RowPass5.h"

namespace trov::imaging {

using namespace simd;

namespace {

struct GaussFloat {
    static constexpr int kRows = 3;
    static void compute(const __m128i (&p)[5], __m128i (&out)[3]) {
        const __m128 p2 = asFloat(p[2]);
        const __m128 s04 = _mm_add_ps(asFloat(p[0]), asFloat(p[4]));
        const __m128 s13 = _mm_add_ps(asFloat(p[1]), asFloat(p[3]));
        out[0] = asInt(_mm_add_ps(_mm_add_ps(_mm_add_ps(s04, s04), mulBy(s13, 7.0f)), mulBy(p2, 12.0f)));
        out[1] = asInt(_mm_add_ps(_mm_add_ps(mulBy(s04, 7.0f), mulBy(s13, 31.0f)), mulBy(p2, 52.0f)));
        out[2] = asInt(_mm_add_ps(_mm_add_ps(mulBy(s04, 12.0f), mulBy(s13, 52.0f)), mulBy(p2, 127.0f)));
    }
};

// The 16-bit rows with shared terms, exact modulo 2^16 like every form of them: with X = P0 + P4,
// Y = P1 + P3, Z = P2 and E = 2X + 8Y + 13Z, A = E - (Y + Z), B = 4E - (X + Y), C = 12X + 52Y + 127Z.
struct Gauss16 {
    static constexpr int kRows = 3;
    static void compute(const __m128i (&p)[5], __m128i (&out)[3]) {
        const __m128i x = _mm_add_epi16(p[0], p[4]);
        const __m128i y = _mm_add_epi16(p[1], p[3]);
        const __m128i e =
            _mm_add_epi16(_mm_add_epi16(_mm_slli_epi16(x, 1), _mm_slli_epi16(y, 3)), times16<13>(p[2]));
        out[0] = _mm_sub_epi16(e, _mm_add_epi16(y, p[2]));
        out[1] = _mm_sub_epi16(_mm_slli_epi16(e, 2), _mm_add_epi16(x, y));
        out[2] = _mm_add_epi16(_mm_add_epi16(times16<12>(x), times16<52>(y)), times16<127>(p[2]));
    }
};
using Gauss32 = IntegerRows<GaussianMask, Int32Ops>;

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
