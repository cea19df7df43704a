#include "imaging/simd/kernels/HighpassKernels3.h"

#include "imaging/simd/kernels/HorizontalPass.h"

namespace trov::imaging {

using namespace simd;

namespace {

// All terms are non-negative, so subtracting them one by one with a floor at 0 is max(0, 9x - S) exactly.
struct Highpass8u {
    template <int G, class W> static __m128i lanes(const W& w) {
        const __m128i x9 = times16<9>(zeroExtend8<G>(w.centre));
        return _mm_subs_epu16(
            _mm_subs_epu16(_mm_subs_epu16(x9, w.template tap<0, G>()), w.template tap<1, G>()),
            w.template tap<2, G>());
    }
};
struct Highpass16s {
    template <int G, class W> static __m128i lanes(const W& w) {
        return _mm_sub_epi32(times32<9>(offsetForm16<G>(w.centre)), TapSum3<Int32Ops>::lanes<G>(w));
    }
};
struct Highpass32f {
    template <int G, class W> static __m128i lanes(const W& w) {
        const __m128i x9 = FloatOps::times<9>(w.centre);
        return FloatOps::sub(FloatOps::sub(FloatOps::sub(x9, w.template tap<0, G>()), w.template tap<1, G>()),
                             w.template tap<2, G>());
    }
};
template <bool Signed> struct Highpass8to16 {
    template <int G, class W> static __m128i lanes(const W& w) {
        const __m128i x = Signed ? signExtend8<G>(w.centre) : zeroExtend8<G>(w.centre);
        return _mm_subs_epi16(times16<9>(x), TapSum3<Int16Ops>::lanes<G>(w));
    }
};

using Highpass3_8u = PassKind<std::uint16_t, 1, 3, 1, Highpass8u>;
using Highpass3_16s = PassKind<std::int32_t, 2, 3, 2, Highpass16s>;
using Highpass3_32f = PassKind<float, 4, 3, 4, Highpass32f>;
using Highpass3_8u16s = PassKind<std::int16_t, 2, 3, 1, Highpass8to16<false>>;
using Highpass3_8s16s = PassKind<std::int16_t, 2, 3, 1, Highpass8to16<true>>;

} // namespace

TROV_CENTRED_MEMBERS(horzHighpass3_8u, Highpass3_8u)
TROV_CENTRED_MEMBERS(horzHighpass3_16s, Highpass3_16s)
TROV_CENTRED_MEMBERS(horzHighpass3_32f, Highpass3_32f)

TROV_CENTRED_KERNEL(horzHighpass3_8u16s_C1, Highpass3_8u16s, 1, false)
TROV_CENTRED_KERNEL(horzHighpass3_8s16s_C1, Highpass3_8s16s, 1, false)

} // namespace trov::imaging
