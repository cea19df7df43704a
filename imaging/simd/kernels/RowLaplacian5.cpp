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
    Terms(__m128i i0, __m128i i1, __m128i i2, __m128i i3, __m128i i4)
        : n(_mm_sub_ps(_mm_setzero_ps(), _mm_add_ps(asFloat(i0), asFloat(i4)))),
          s13(_mm_add_ps(asFloat(i1), asFloat(i3))), p2(asFloat(i2)) {}
    __m128 bRow() const { return _mm_add_ps(mulBy(n, 3.0f), six(p2)); }
};

struct LaplaceFloatC4 {
    static void compute(__m128i i0, __m128i i1, __m128i i2, __m128i i3, __m128i i4, __m128i& a, __m128i& b,
                        __m128i& c) {
        const Terms t(i0, i1, i2, i3, i4);
        a = asInt(_mm_sub_ps(_mm_sub_ps(_mm_sub_ps(t.n, mulBy(t.s13, 3.0f)), t.p2), mulBy(t.p2, 3.0f)));
        b = asInt(t.bRow());
        c = asInt(_mm_add_ps(_mm_add_ps(_mm_add_ps(t.n, mulBy(t.n, 3.0f)), six(t.s13)), mulBy(t.p2, 20.0f)));
    }
};

struct LaplaceFloatC1 {
    static void compute(__m128i i0, __m128i i1, __m128i i2, __m128i i3, __m128i i4, __m128i& a, __m128i& b,
                        __m128i& c) {
        const Terms t(i0, i1, i2, i3, i4);
        a = asInt(_mm_sub_ps(_mm_sub_ps(t.n, mulBy(t.s13, 3.0f)), mulBy(t.p2, 4.0f)));
        b = asInt(t.bRow());
        c = asInt(_mm_add_ps(_mm_add_ps(mulBy(t.n, 4.0f), six(t.s13)),
                             _mm_add_ps(mulBy(t.p2, 8.0f), twelve(t.p2))));
    }
};

struct LaplaceFloatC3 {
    static void compute(__m128i i0, __m128i i1, __m128i i2, __m128i i3, __m128i i4, __m128i& a, __m128i& b,
                        __m128i& c) {
        const Terms t(i0, i1, i2, i3, i4);
        const __m128 centre4 = _mm_add_ps(t.p2, mulBy(t.p2, 3.0f));
        a = asInt(_mm_sub_ps(_mm_sub_ps(t.n, mulBy(t.s13, 3.0f)), centre4));
        b = asInt(t.bRow());
        c = asInt(_mm_add_ps(_mm_add_ps(_mm_add_ps(t.n, mulBy(t.n, 3.0f)), six(t.s13)),
                             _mm_add_ps(_mm_add_ps(centre4, centre4), twelve(t.p2))));
    }
};

using Laplace16 = IntegerRows<LaplacianMask, Ops16>;
using Laplace32 = IntegerRows<LaplacianMask, Ops32>;

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
