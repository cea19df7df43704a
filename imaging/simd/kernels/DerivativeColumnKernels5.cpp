#include "imaging/simd/kernels/DerivativeColumnKernels5.h"

#include "imaging/simd/kernels/ColumnPass5.h"
#include "imaging/simd/kernels/DerivativeFormulas.h"

namespace trov::imaging {

using namespace simd;

namespace {

enum class Shape { Smooth, Difference, Second };

// The five-tap formulas read down the column; the difference reads it bottom up, so that it is bottom
// minus top. Rows weighted 0 are not loaded.
template <class Ops, std::size_t ElementSize, Shape S> struct Derivative5 {
    static constexpr std::size_t kOut = ElementSize;
    static __m128i block(const FiveRows& rows, std::ptrdiff_t i, std::ptrdiff_t count) {
        auto row = [&](int r) { return rows.loadUpTo<ElementSize>(r, i, count); };
        const __m128i unused = _mm_setzero_si128();
        if constexpr (S == Shape::Smooth) {
            return smooth5<Ops>({row(0), row(1), row(2), row(3), row(4)});
        } else if constexpr (S == Shape::Difference) {
            return difference5<Ops>({row(4), row(3), unused, row(1), row(0)});
        } else {
            return second5<Ops>({row(0), unused, row(2), unused, row(4)});
        }
    }
};

template <Shape S> using Derivative16 = Derivative5<Int16Ops, 2, S>;
template <Shape S> using Derivative32f = Derivative5<FloatOps, 4, S>;

} // namespace

TROV_COLUMN_KERNEL(colSmooth5_16s, Derivative16<Shape::Smooth>, false)
TROV_COLUMN_KERNEL(colDiff5_16s, Derivative16<Shape::Difference>, false)
TROV_COLUMN_KERNEL(colSecond5_16s, Derivative16<Shape::Second>, false)
TROV_COLUMN_KERNEL(colSmooth5_32f, Derivative32f<Shape::Smooth>, false)
TROV_COLUMN_KERNEL(colDiff5_32f, Derivative32f<Shape::Difference>, false)
TROV_COLUMN_KERNEL(colSecond5_32f, Derivative32f<Shape::Second>, false)

} // namespace trov::imaging
