#include "imaging/simd/kernels/RowKernels5.h"

#include "imaging/simd/kernels/RowPass5.h"

namespace trov::imaging {

using namespace simd;

namespace {

// 6x and 12x from the rounded 3x by exact scalings.
__m128 six(__m128 x) {
    const __m128 three = mulBy(x, 3.0f);
    return _mm_add_ps(three, three);
}
__m128 twelve(__m128 x) {
    return mulBy(mulBy(x, 3.0f), 4.0f);
}

struct Terms {
    __m128 n, s13, p2;
    explicit Terms(const __m128i (&p)[5])
        : n(_mm_sub_ps(_mm_setzero_ps(), _mm_add_ps(asFloat(p[0]), asFloat(p[4])))),
          s13(_mm_add_ps(asFloat(p[1]), asFloat(p[3]))), p2(asFloat(p[2])) {}
    __m128 bRow() const { return _mm_add_ps(mulBy(n, 3.0f), six(p2)); }
};

struct LaplaceFloatC4 {
    static constexpr int kRows = 3;
    static void compute(const __m128i (&p)[5], __m128i (&out)[3]) {
        const Terms t(p);
        out[0] = asInt(_mm_sub_ps(_mm_sub_ps(_mm_sub_ps(t.n, mulBy(t.s13, 3.0f)), t.p2), mulBy(t.p2, 3.0f)));
        out[1] = asInt(t.bRow());
        out[2] =
            asInt(_mm_add_ps(_mm_add_ps(_mm_add_ps(t.n, mulBy(t.n, 3.0f)), six(t.s13)), mulBy(t.p2, 20.0f)));
    }
};

struct LaplaceFloatC1 {
    static constexpr int kRows = 3;
    static void compute(const __m128i (&p)[5], __m128i (&out)[3]) {
        const Terms t(p);
        out[0] = asInt(_mm_sub_ps(_mm_sub_ps(t.n, mulBy(t.s13, 3.0f)), mulBy(t.p2, 4.0f)));
        out[1] = asInt(t.bRow());
        out[2] = asInt(_mm_add_ps(_mm_add_ps(mulBy(t.n, 4.0f), six(t.s13)),
                                  _mm_add_ps(mulBy(t.p2, 8.0f), twelve(t.p2))));
    }
};

struct LaplaceFloatC3 {
    static constexpr int kRows = 3;
    static void compute(const __m128i (&p)[5], __m128i (&out)[3]) {
        const Terms t(p);
        const __m128 centre4 = _mm_add_ps(t.p2, mulBy(t.p2, 3.0f));
        out[0] = asInt(_mm_sub_ps(_mm_sub_ps(t.n, mulBy(t.s13, 3.0f)), centre4));
        out[1] = asInt(t.bRow());
        out[2] = asInt(_mm_add_ps(_mm_add_ps(_mm_add_ps(t.n, mulBy(t.n, 3.0f)), six(t.s13)),
                                  _mm_add_ps(_mm_add_ps(centre4, centre4), twelve(t.p2))));
    }
};

using Laplace16 = IntegerRows<LaplacianMask, Int16Ops>;
using Laplace32 = IntegerRows<LaplacianMask, Int32Ops>;

} // namespace

void rowLaplacian5_8u_C1(const void* s, void* a, void* b, void* c, std::ptrdiff_t n) {
    rowPass5<Lanes8u, 1, Laplace16>(s, a, b, c, n);
}
void rowLaplacian5_8u_C3(const void* s, void* a, void* b, void* c, std::ptrdiff_t n) {
    rowPass5<Lanes8u, 3, Laplace16>(s, a, b, c, n);
}
void rowLaplacian5_8u_C4(const void* s, void* a, void* b, void* c, std::ptrdiff_t n) {
    rowPass5<Lanes8u, 4, Laplace16, true>(s, a, b, c, n);
}
void rowLaplacian5_8s_C1(const void* s, void* a, void* b, void* c, std::ptrdiff_t n) {
    rowPass5<Lanes8s, 1, Laplace16>(s, a, b, c, n);
}

void rowLaplacian5_16s_C1(const void* s, void* a, void* b, void* c, std::ptrdiff_t n) {
    rowPass5<Lanes16s, 1, Laplace32>(s, a, b, c, n);
}
void rowLaplacian5_16s_C3(const void* s, void* a, void* b, void* c, std::ptrdiff_t n) {
    rowPass5<Lanes16s, 3, Laplace32>(s, a, b, c, n);
}
void rowLaplacian5_16s_C4(const void* s, void* a, void* b, void* c, std::ptrdiff_t n) {
    rowPass5<Lanes16s, 4, Laplace32>(s, a, b, c, n);
}

void rowLaplacian5_32f_C1(const void* s, void* a, void* b, void* c, std::ptrdiff_t n) {
    rowPass5Float<1, LaplaceFloatC1>(s, a, b, c, n);
}
void rowLaplacian5_32f_C3(const void* s, void* a, void* b, void* c, std::ptrdiff_t n) {
    rowPass5Float<3, LaplaceFloatC3>(s, a, b, c, n);
}
void rowLaplacian5_32f_C4(const void* s, void* a, void* b, void* c, std::ptrdiff_t n) {
    rowPass5Float<4, LaplaceFloatC4>(s, a, b, c, n);
}

} // namespace trov::imaging
