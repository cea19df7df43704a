#include "imaging/simd/kernels/DerivativeVerticalKernels3.h"

#include "imaging/simd/kernels/DerivativeFormulas.h"
#include "imaging/simd/kernels/VerticalPass.h"

namespace trov::imaging {

using namespace simd;

namespace {

struct Second121 {
    static constexpr int kRows[] = {0, 1, 2};
    static constexpr bool kAccumulate = false;
    template <class Ops> static __m128i apply(const __m128i (&x)[3], __m128i) {
        return second3<Ops>(x[0], x[1], x[2]);
    }
};

} // namespace

TROV_VERTICAL_KERNEL(vertDiff3_8s16s, Widen8s, BottomMinusTop)
TROV_VERTICAL_KERNEL(vertSmooth3_8s16s, Widen8s, Smooth121)
TROV_VERTICAL_KERNEL(vertSecond3_8s16s, Widen8s, Second121)
TROV_VERTICAL_KERNEL(vertSecond3_8u16s, Widen8u, Second121)
TROV_VERTICAL_KERNEL(vertSecond3_32f, Float32, Second121)

} // namespace trov::imaging
