#include "imaging/simd/kernels/ScharrKernels3.h"

#include "imaging/simd/kernels/DerivativeFormulas.h"
#include "imaging/simd/kernels/HorizontalPass.h"
#include "imaging/simd/kernels/VerticalPass.h"

namespace trov::imaging {

using namespace simd;

namespace {

struct ScharrSmooth {
    static constexpr int kRows[] = {0, 1, 2};
    static constexpr bool kAccumulate = false;
    template <class Ops> static __m128i apply(const __m128i (&x)[3], __m128i) {
        return scharr3<Ops>(x[0], x[1], x[2]);
    }
};

struct RightMinusLeft32f {
    template <int G, class W> static __m128i lanes(const W& w) {
        return FloatOps::sub(w.template tap<2, G>(), w.template tap<0, G>());
    }
};
struct RightMinusLeft16s {
    template <int G, class W> static __m128i lanes(const W& w) {
        return _mm_subs_epi16(w.template tap<2, G>(), w.template tap<0, G>());
    }
};

using ScharrDiff3_32f = PassKind<float, 4, 3, 0, RightMinusLeft32f>;
using ScharrDiff3_16s = PassKind<std::int16_t, 2, 3, 0, RightMinusLeft16s>;

} // namespace

TROV_VERTICAL_KERNEL(vertScharr3_32f, Float32, ScharrSmooth)
TROV_VERTICAL_KERNEL(vertScharr3_8u16s, Widen8u, ScharrSmooth)
TROV_VERTICAL_KERNEL(vertScharr3_8s16s, Widen8s, ScharrSmooth)

TROV_HORIZONTAL_KERNEL(horzScharrDiff3_32f_C1, ScharrDiff3_32f, 1, false)
TROV_HORIZONTAL_KERNEL(horzScharrDiff3_16s_C1, ScharrDiff3_16s, 1, false)

} // namespace trov::imaging
