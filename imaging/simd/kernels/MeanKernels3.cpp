#include "imaging/simd/kernels/MeanKernels3.h"

#include "imaging/simd/kernels/HorizontalPass.h"

namespace trov::imaging {

using namespace simd;

namespace {

// (S + 5) x 7281 stays below 2^31 for S up to 2295; its high half is S / 9 rounded to nearest.
struct Mean8u {
    template <int G, class W> static __m128i lanes(const W& w) {
        const __m128i s = TapSum3<Int16Ops>::lanes<G>(w);
        return _mm_mulhi_epi16(_mm_add_epi16(s, _mm_set1_epi16(5)), _mm_set1_epi16(7281));
    }
};
// Three biases of 98304 off the sum; the true sum is below 2^24 in magnitude, so exact in single precision.
struct Mean16s {
    template <int G, class W> static __m128i lanes(const W& w) {
        const __m128i s = _mm_sub_epi32(TapSum3<Int32Ops>::lanes<G>(w), _mm_set1_epi32(3 * 98304));
        return scaleAndConvert(s, kNinth);
    }
};
struct Mean32f {
    template <int G, class W> static __m128i lanes(const W& w) {
        return FloatOps::scale(TapSum3<FloatOps>::lanes<G>(w), kNinth);
    }
};

using Mean3_8u = PassKind<std::uint16_t, 1, 3, 0, Mean8u>;
using Mean3_16s = PassKind<std::int32_t, 2, 3, 0, Mean16s>;
using Mean3_32f = PassKind<float, 4, 3, 0, Mean32f>;

} // namespace

TROV_HORIZONTAL_KERNEL(horzMean3_8u_C1, Mean3_8u, 1, false)
TROV_HORIZONTAL_KERNEL(horzMean3_8u_C3, Mean3_8u, 3, false)
TROV_HORIZONTAL_KERNEL(horzMean3_8u_KeepAlpha, Mean3_8u, 4, true)
TROV_HORIZONTAL_KERNEL(horzMean3_16s_C1, Mean3_16s, 1, false)
TROV_HORIZONTAL_KERNEL(horzMean3_16s_C3, Mean3_16s, 3, false)
TROV_HORIZONTAL_KERNEL(horzMean3_16s_KeepAlpha, Mean3_16s, 4, true)
TROV_HORIZONTAL_KERNEL(horzMean3_32f_C1, Mean3_32f, 1, false)
TROV_HORIZONTAL_KERNEL(horzMean3_32f_C3, Mean3_32f, 3, false)
TROV_HORIZONTAL_KERNEL(horzMean3_32f_KeepAlpha, Mean3_32f, 4, true)

} // namespace trov::imaging
