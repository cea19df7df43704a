#include "imaging/simd/kernels/HighpassKernels5.h"

#include "imaging/simd/kernels/HorizontalPass.h"

namespace trov::imaging {

using namespace simd;

namespace {

// All terms are non-negative, so subtracting them one by one with a floor at 0 is max(0, 25x - S) exactly.
struct Highpass8u {
    template <int G, class W> static __m128i lanes(const W& w) {
        __m128i v = times16<25>(zeroExtend8<G>(w.centre));
        v = _mm_subs_epu16(_mm_subs_epu16(v, w.template tap<0, G>()), w.template tap<1, G>());
        v = _mm_subs_epu16(_mm_subs_epu16(v, w.template tap<2, G>()), w.template tap<3, G>());
        return _mm_subs_epu16(v, w.template tap<4, G>());
    }
};
struct Highpass16s {
    template <int G, class W> static __m128i lanes(const W& w) {
        return _mm_sub_epi32(times32<25>(signExtend16<G>(w.centre)), TapSum5<Int32Ops>::lanes<G>(w));
    }
};
struct Highpass32f {
    template <int G, class W> static __m128i lanes(const W& w) {
        return FloatOps::sub(FloatOps::times<25>(w.centre), TapSum5<FloatOps>::lanes<G>(w));
    }
};

using Highpass5_8u = PassKind<std::uint16_t, 1, 5, 1, Highpass8u>;
using Highpass5_16s = PassKind<std::int32_t, 2, 5, 2, Highpass16s>;
using Highpass5_32f = PassKind<float, 4, 5, 4, Highpass32f>;

} // namespace

TROV_CENTRED_MEMBERS(horzHighpass5_8u, Highpass5_8u)
TROV_CENTRED_MEMBERS(horzHighpass5_16s, Highpass5_16s)
TROV_CENTRED_MEMBERS(horzHighpass5_32f, Highpass5_32f)

} // namespace trov::imaging
