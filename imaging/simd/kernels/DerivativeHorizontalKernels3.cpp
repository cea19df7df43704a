#include "imaging/simd/kernels/DerivativeHorizontalKernels3.h"

#include "imaging/simd/kernels/DerivativeFormulas.h"
#include "imaging/simd/kernels/HorizontalPass.h"

namespace trov::imaging {

using namespace simd;

namespace {

struct LeftMinusRightSaturated {
    template <int G, class W> static __m128i lanes(const W& w) {
        return _mm_subs_epi16(w.template tap<0, G>(), w.template tap<2, G>());
    }
};
template <class Ops> struct Second {
    template <int G, class W> static __m128i lanes(const W& w) {
        return second3<Ops>(w.template tap<0, G>(), w.template tap<1, G>(), w.template tap<2, G>());
    }
};
template <class Ops> struct Scharr {
    template <int G, class W> static __m128i lanes(const W& w) {
        return scharr3<Ops>(w.template tap<0, G>(), w.template tap<1, G>(), w.template tap<2, G>());
    }
};

template <class F> using Pass16 = PassKind<std::int16_t, 2, 3, 0, F>;
template <class F> using Pass32f = PassKind<float, 4, 3, 0, F>;

} // namespace

TROV_HORIZONTAL_KERNEL(horzDiff3_16s_C1, Pass16<LeftMinusRightSaturated>, 1, false)
TROV_HORIZONTAL_KERNEL(horzSmooth3_16s_C1, Pass16<TapSum121<Int16Ops>>, 1, false)
TROV_HORIZONTAL_KERNEL(horzSecond3_16s_C1, Pass16<Second<Int16Ops>>, 1, false)
TROV_HORIZONTAL_KERNEL(horzScharr3_16s_C1, Pass16<Scharr<Int16Ops>>, 1, false)
TROV_HORIZONTAL_KERNEL(horzSecond3_32f_C1, Pass32f<Second<FloatOps>>, 1, false)
TROV_HORIZONTAL_KERNEL(horzScharr3_32f_C1, Pass32f<Scharr<FloatOps>>, 1, false)

} // namespace trov::imaging
