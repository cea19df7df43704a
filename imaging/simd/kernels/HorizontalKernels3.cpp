#include "imaging/simd/kernels/HorizontalKernels3.h"

#include "imaging/simd/kernels/HorizontalPass.h"

namespace trov::imaging {

using namespace simd;

namespace {

// The 1-2-1 sum divided by 16, rounded half to even: 16-bit sums of at most 4080; 32-bit sums carrying
// four biases of 131072, which make 32768 after the shift (even, so the tie decision is the true sum's);
// float sums times 0.0625.
struct Gauss8u {
    template <int G, class W> static __m128i lanes(const W& w) {
        return roundDiv16Lanes16(TapSum121<Int16Ops>::lanes<G>(w));
    }
};
struct Gauss16s {
    template <int G, class W> static __m128i lanes(const W& w) {
        return _mm_sub_epi32(roundDiv16Lanes32(TapSum121<Int32Ops>::lanes<G>(w)), _mm_set1_epi32(32768));
    }
};
struct Gauss32f {
    template <int G, class W> static __m128i lanes(const W& w) {
        return FloatOps::scale(TapSum121<FloatOps>::lanes<G>(w), 0.0625f);
    }
};

using Gauss3_8u = PassKind<std::uint16_t, 1, 3, 0, Gauss8u>;
using Gauss3_16s = PassKind<std::int32_t, 2, 3, 0, Gauss16s>;
using Gauss3_32f = PassKind<float, 4, 3, 0, Gauss32f>;

} // namespace

TROV_HORIZONTAL_MEMBERS(horzGauss3_8u, Gauss3_8u)
TROV_HORIZONTAL_MEMBERS(horzGauss3_16s, Gauss3_16s)
TROV_HORIZONTAL_MEMBERS(horzGauss3_32f, Gauss3_32f)

} // namespace trov::imaging
