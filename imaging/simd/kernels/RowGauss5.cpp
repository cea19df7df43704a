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

using Gauss16 = IntegerRows<GaussianMask, Ops16>;
using Gauss32 = IntegerRows<GaussianMask, Ops32>;

} // namespace

void rowGauss5_8u_C1(const void* s, void* a, void* b, void* c, std::ptrdiff_t n) { rowPass5<Lanes8u, 1, Gauss16>(s, a, b, c, n); }
void rowGauss5_8u_C3(const void* s, void* a, void* b, void* c, std::ptrdiff_t n) { rowPass5<Lanes8u, 3, Gauss16>(s, a, b, c, n); }
void rowGauss5_8u_C4(const void* s, void* a, void* b, void* c, std::ptrdiff_t n) { rowPass5<Lanes8u, 4, Gauss16>(s, a, b, c, n); }

void rowGauss5_16s_C1(const void* s, void* a, void* b, void* c, std::ptrdiff_t n) { rowPass5<Lanes16s, 1, Gauss32>(s, a, b, c, n); }
void rowGauss5_16s_C3(const void* s, void* a, void* b, void* c, std::ptrdiff_t n) { rowPass5<Lanes16s, 3, Gauss32>(s, a, b, c, n); }
void rowGauss5_16s_C4(const void* s, void* a, void* b, void* c, std::ptrdiff_t n) { rowPass5<Lanes16s, 4, Gauss32>(s, a, b, c, n); }

void rowGauss5_32f_C1(const void* s, void* a, void* b, void* c, std::ptrdiff_t n) { rowPass5Float<1, GaussFloat>(s, a, b, c, n); }
void rowGauss5_32f_C3(const void* s, void* a, void* b, void* c, std::ptrdiff_t n) { rowPass5Float<3, GaussFloat>(s, a, b, c, n); }
void rowGauss5_32f_C4(const void* s, void* a, void* b, void* c, std::ptrdiff_t n) { rowPass5Float<4, GaussFloat>(s, a, b, c, n); }

} // namespace trov::imaging
