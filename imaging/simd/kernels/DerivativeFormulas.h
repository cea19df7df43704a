#pragma once

// The tap formulas of the Scharr and derivative filters, written once for every lane kind and read the
// same way by their vertical and horizontal, row and column passes. Float lanes are combined in exactly
// the order written (addition is commutative, so a pass may name its taps in either direction).
// Internal to imaging/simd/kernels.

#include "imaging/simd/kernels/LaneOps.h"

namespace trov::imaging::simd {

// 3 (a + b) + 10 m: the Scharr smoothing of outer taps a, b around m.
template <class Ops> __m128i scharr3(__m128i a, __m128i m, __m128i b) {
    return Ops::add(Ops::template times<3>(Ops::add(a, b)), Ops::template times<10>(m));
}
// (a + b) - (m + m): the three-tap second difference.
template <class Ops> __m128i second3(__m128i a, __m128i m, __m128i b) {
    return Ops::sub(Ops::add(a, b), Ops::add(m, m));
}

// Five taps t0..t4. Difference 1, 2, 0, -2, -1 (first minus last): 2 (t1 - t3) + (t0 - t4).
template <class Ops> __m128i difference5(const __m128i (&t)[5]) {
    return Ops::add(Ops::template times<2>(Ops::sub(t[1], t[3])), Ops::sub(t[0], t[4]));
}
// Smoothing 1, 4, 6, 4, 1: ((t0 + t4) + 6 t2) + 4 (t1 + t3).
template <class Ops> __m128i smooth5(const __m128i (&t)[5]) {
    return Ops::add(Ops::add(Ops::add(t[0], t[4]), Ops::template times<6>(t[2])),
                    Ops::template times<4>(Ops::add(t[1], t[3])));
}
// Second difference 1, 0, -2, 0, 1: (t0 + t4) - (t2 + t2).
template <class Ops> __m128i second5(const __m128i (&t)[5]) {
    return Ops::sub(Ops::add(t[0], t[4]), Ops::add(t[2], t[2]));
}

} // namespace trov::imaging::simd
