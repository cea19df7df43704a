#include "imaging/simd/kernels/DerivativeRowKernels5.h"

#include "imaging/simd/kernels/DerivativeFormulas.h"
#include "imaging/simd/kernels/RowPass5.h"

#include <type_traits>

namespace trov::imaging {

using namespace simd;

namespace {

template <__m128i (*Formula)(const __m128i (&)[5])> struct OneRow {
    static constexpr int kRows = 1;
    static void compute(const __m128i (&taps)[5], __m128i (&out)[1]) { out[0] = Formula(taps); }
};

template <class Lanes, __m128i (*Formula)(const __m128i (&)[5])>
void derivativeRow(const void* src, void* row, std::ptrdiff_t n) {
    unsigned char* const rows[1] = {static_cast<unsigned char*>(row)};
    if constexpr (std::is_same_v<typename Lanes::Sample, float>)
        rowPassFloat<1, OneRow<Formula>, true>(src, rows, n);
    else
        rowPassRows<Lanes, 1, OneRow<Formula>, true>(src, rows, n);
}

} // namespace

#define TROV_ROW_KERNEL(name, Lanes, Formula)                                                                \
    void name(const void* src, void* row, std::ptrdiff_t n) {                                                \
        derivativeRow<Lanes, Formula>(src, row, n);                                                          \
    }

TROV_ROW_KERNEL(rowDiff5_8u16s_C1, Lanes8u, difference5<Int16Ops>)
TROV_ROW_KERNEL(rowDiff5_8s16s_C1, Lanes8s, difference5<Int16Ops>)
TROV_ROW_KERNEL(rowDiff5_32f_C1, Lanes32f<false>, difference5<FloatOps>)
TROV_ROW_KERNEL(rowSmooth5_8u16s_C1, Lanes8u, smooth5<Int16Ops>)
TROV_ROW_KERNEL(rowSmooth5_8s16s_C1, Lanes8s, smooth5<Int16Ops>)
TROV_ROW_KERNEL(rowSmooth5_32f_C1, Lanes32f<false>, smooth5<FloatOps>)
TROV_ROW_KERNEL(rowSecond5_8u16s_C1, Lanes8u, second5<Int16Ops>)
TROV_ROW_KERNEL(rowSecond5_8s16s_C1, Lanes8s, second5<Int16Ops>)
TROV_ROW_KERNEL(rowSecond5_32f_C1, Lanes32f<false>, second5<FloatOps>)

} // namespace trov::imaging
