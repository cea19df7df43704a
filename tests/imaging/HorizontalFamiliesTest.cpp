#include "FamilyTestSupport.h"
#include "imaging/simd/kernels/DerivativeHorizontalKernels3.h"
#include "imaging/simd/kernels/DifferenceKernels3.h"
#include "imaging/simd/kernels/HighpassKernels3.h"
#include "imaging/simd/kernels/HighpassKernels5.h"
#include "imaging/simd/kernels/MeanKernels3.h"
#include "imaging/simd/kernels/MeanKernels5.h"
#include "imaging/simd/kernels/ScharrKernels3.h"
#include "imaging/simd/kernels/SharpenKernels3.h"
#include "imaging/simd/kernels/UnscaledKernels3.h"

#include <gtest/gtest.h>

namespace trov::imaging {
namespace {

using namespace testing;

// Every horizontal family against its formula, member by member: every pixel count 1 to 70 and two long
// rows; destinations against the page after them and 0, one element and 8 bytes past a page start; centre
// rows against the page after or before them; row buffers exactly as long as the blocks that hold their
// used elements (AddressSanitizer sees any read past them). Row and centre values cover each family's
// domain and its ends, so results saturate, floor and wrap where the formula says.

using Range = std::pair<long long, long long>;
constexpr Range kNone{0, 0};

// One kernel of a family: plain or centred, its tap distance (the channel count), keeping alpha or not.
struct Member {
    HorizontalKernel3 plain;
    CentredKernel centred;
    int channels;
    bool keepAlpha;
};
template <class Kernel> Member member(Kernel kernel, int channels, bool keepAlpha = false) {
    if constexpr (std::is_same_v<Kernel, CentredKernel>)
        return {nullptr, kernel, channels, keepAlpha};
    else
        return {kernel, nullptr, channels, keepAlpha};
}
#define TROV_FOUR(base)                                                                                      \
    std::vector<Member> {                                                                                    \
        member(base##_C1, 1), member(base##_C3, 3), member(base##_C4, 4), member(base##_KeepAlpha, 4, true)  \
    }
#define TROV_MEAN(base)                                                                                      \
    std::vector<Member> {                                                                                    \
        member(base##_C1, 1), member(base##_C3, 3), member(base##_KeepAlpha, 4, true)                        \
    }

// expected(taps t[0..taps-1], centre x, channel count) for each member over every length and placement.
template <class Row, class Centre, class Out, class Expected>
void check(const char* name, int taps, const std::vector<Member>& members, Range rows, Range centres,
           Expected&& expected) {
    std::mt19937 rng(static_cast<unsigned>(std::hash<std::string>{}(name)));
    auto draw = [&rng]<class T>(T*, Range range) {
        if constexpr (std::is_floating_point_v<T>)
            return randomValue<T>(rng);
        else
            return valueOrEnd<T>(rng, range.first, range.second);
    };
    for (const Member& m : members)
        for (std::ptrdiff_t pixels : pixelCounts())
            for (int offset : {-1, 0, int(sizeof(Out)), 8}) {
                const std::ptrdiff_t n = pixels * m.channels, used = n + (taps - 1) * m.channels;
                AlignedRow<Row> row(static_cast<std::size_t>(roundUp(used * sizeof(Row), 16) / sizeof(Row)));
                for (std::ptrdiff_t i = 0; i < used; ++i)
                    row[i] = draw(static_cast<Row*>(nullptr), rows);
                GuardedBytes centre(static_cast<std::size_t>(n) * sizeof(Centre), pixels % 2 == 0);
                for (std::ptrdiff_t i = 0; i < n; ++i) {
                    const Centre x = draw(static_cast<Centre*>(nullptr), centres);
                    std::memcpy(centre.data() + i * sizeof(Centre), &x, sizeof x);
                }
                GuardedElements<Out> dst(n, offset, rng);
                if (m.centred)
                    m.centred(centre.data(), row.data(), dst.data(), n);
                else
                    m.plain(row.data(), dst.data(), n);
                for (std::ptrdiff_t j = 0; j < n; ++j) {
                    Row t[5] = {};
                    for (int k = 0; k < taps; ++k)
                        t[k] = row[j + k * m.channels];
                    const Out want = m.keepAlpha && j % 4 == 3
                                         ? dst.before(j)
                                         : expected(t, loadAt<Centre>(centre.data(), j), m.channels);
                    ASSERT_TRUE(sameBits(dst.at(j), want))
                        << name << " channels " << m.channels << (m.keepAlpha ? " keeping alpha" : "")
                        << " n " << n << " offset " << offset << " j " << j;
                }
                ASSERT_TRUE(dst.changedOnlyInside(n)) << name << " channels " << m.channels << " n " << n;
            }
}

template <class T> constexpr Range all() {
    return {std::numeric_limits<T>::min(), std::numeric_limits<T>::max()};
}
using u8 = std::uint8_t;
using u16 = std::uint16_t;
using s16 = std::int16_t;
using s32 = std::int32_t;
long long sum(const auto(&t)[5], int taps) {
    long long s = 0;
    for (int k = 0; k < taps; ++k)
        s += t[k];
    return s;
}
// Five column sums in the float members' order.
float sum5(const float (&t)[5]) {
    return ((t[0] + t[4]) + (t[1] + t[2])) + t[3];
}
// Three-row sums of offset 16s samples (98304 above their true sum) and five-row true sums.
constexpr Range kBiased3{0, 3 * 65535};
constexpr Range kTrue5{5 * -32768, 5 * 32767};

TEST(UnscaledKernels3, EveryMemberSumsItsThreeTapsUnscaledAndSaturatesTheWrappedSum) {
    for (int w : {1, 2}) {
        check<s16, u8, u8>(
            "horzSum_8u", 3, w == 1 ? TROV_FOUR(horzSum3_8u) : TROV_FOUR(horzSum121_8u), all<s16>(), kNone,
            [w](const s16(&t)[5], u8, int) { return saturate<u8>(wrap<s16>(t[0] + w * t[1] + t[2])); });
        check<s32, u8, s16>("horzSum_16s", 3, w == 1 ? TROV_FOUR(horzSum3_16s) : TROV_FOUR(horzSum121_16s),
                            all<s32>(), kNone, [w](const s32(&t)[5], u8, int) {
                                return saturate<s16>(wrap<s32>(t[0] + w * 1LL * t[1] + t[2]));
                            });
        check<float, u8, float>(
            "horzSum_32f", 3, w == 1 ? TROV_FOUR(horzSum3_32f) : TROV_FOUR(horzSum121_32f), kNone, kNone,
            [w](const float(&t)[5], u8, int c) {
                if (w == 1)
                    return (t[0] + t[1]) + t[2];
                return c == 4 ? (t[0] + t[1]) + (t[1] + t[2]) : (t[0] + (t[1] + t[1])) + t[2];
            });
    }
}

TEST(HighpassKernels3, EveryMemberGivesNineTimesTheCentreLessItsTapsFlooredOrSaturatedByKind) {
    check<u16, u8, u8>("horzHighpass3_8u", 3, TROV_FOUR(horzHighpass3_8u), {0, 765}, all<u8>(),
                       [](const u16(&t)[5], u8 x, int) { return saturate<u8>(9LL * x - sum(t, 3)); });
    check<s32, s16, s16>(
        "horzHighpass3_16s", 3, TROV_FOUR(horzHighpass3_16s), kBiased3, all<s16>(),
        [](const s32(&t)[5], s16 x, int) { return saturate<s16>(9LL * (x + 32768) - sum(t, 3)); });
    check<float, float, float>(
        "horzHighpass3_32f", 3, TROV_FOUR(horzHighpass3_32f), kNone, kNone,
        [](const float(&t)[5], float x, int) { return ((9.0f * x - t[0]) - t[1]) - t[2]; });
    // 16-bit rows and results: no floor; the tap sum wraps in 16 bits and the difference saturates.
    for (bool isSigned : {false, true})
        check<s16, u8, s16>(isSigned ? "horzHighpass3_8s16s" : "horzHighpass3_8u16s", 3,
                            {member(isSigned ? horzHighpass3_8s16s_C1 : horzHighpass3_8u16s_C1, 1)},
                            all<s16>(), all<u8>(), [=](const s16(&t)[5], u8 raw, int) {
                                const int x = isSigned ? static_cast<std::int8_t>(raw) : raw;
                                return saturate<s16>(9LL * x - wrap<s16>(sum(t, 3)));
                            });
}

TEST(DifferenceKernels3, EveryHorizontalMemberTakesLeftMinusRightSaturatedToItsType) {
    check<u16, u8, u8>("horzDiff3_16u8u", 3, TROV_FOUR(horzDiff3_16u8u), all<u16>(), kNone,
                       [](const u16(&t)[5], u8, int) { return saturate<u8>(t[0] - t[2]); });
    check<s32, u8, s16>(
        "horzDiff3_32s16s", 3, TROV_FOUR(horzDiff3_32s16s), all<s32>(), kNone,
        [](const s32(&t)[5], u8, int) { return saturate<s16>(wrap<s32>(0LL + t[0] - t[2])); });
    check<float, u8, float>("horzDiff3_32f", 3, TROV_FOUR(horzDiff3_32f), kNone, kNone,
                            [](const float(&t)[5], u8, int) { return t[0] - t[2]; });
}

TEST(SharpenKernels3, EveryMemberDividesSeventeenTimesTheCentreLessItsTapsByEightHalfToEven) {
    check<u16, u8, u8>("horzSharpen3_8u", 3, TROV_FOUR(horzSharpen3_8u), {0, 765}, all<u8>(),
                       [](const u16(&t)[5], u8 x, int) {
                           return saturate<u8>(divideNearest(std::max(0LL, 17LL * x - sum(t, 3)), 8));
                       });
    check<s32, s16, s16>("horzSharpen3_16s", 3, TROV_FOUR(horzSharpen3_16s), kBiased3, all<s16>(),
                         [](const s32(&t)[5], s16 x, int) {
                             return saturate<s16>(divideNearest(17LL * x - (sum(t, 3) - 3 * 98304), 8));
                         });
    check<float, float, float>(
        "horzSharpen3_32f", 3, TROV_FOUR(horzSharpen3_32f), kNone, kNone,
        [](const float(&t)[5], float x, int) { return (((17.0f * x - t[0]) - t[1]) - t[2]) * 0.125f; });
}

TEST(MeanKernels3, EveryMemberDividesItsNineElementSumByNine) {
    check<u16, u8, u8>("horzMean3_8u", 3, TROV_MEAN(horzMean3_8u), {0, 765}, kNone,
                       [](const u16(&t)[5], u8, int) { return u8(divideNearest(sum(t, 3), 9)); });
    check<s32, u8, s16>(
        "horzMean3_16s", 3, TROV_MEAN(horzMean3_16s), kBiased3, kNone,
        [](const s32(&t)[5], u8, int) { return saturate<s16>(divideNearest(sum(t, 3) - 3 * 98304, 9)); });
    check<float, u8, float>(
        "horzMean3_32f", 3, TROV_MEAN(horzMean3_32f), kNone, kNone,
        [](const float(&t)[5], u8, int) { return ((t[0] + t[1]) + t[2]) * (1.0f / 9.0f); });
}

TEST(ScharrKernels3, HorizontalPassesTakeRightMinusLeft) {
    check<float, u8, float>("horzScharrDiff3_32f_C1", 3, {member(horzScharrDiff3_32f_C1, 1)}, kNone, kNone,
                            [](const float(&t)[5], u8, int) { return t[2] - t[0]; });
    check<s16, u8, s16>("horzScharrDiff3_16s_C1", 3, {member(horzScharrDiff3_16s_C1, 1)}, all<s16>(), kNone,
                        [](const s16(&t)[5], u8, int) { return saturate<s16>(t[2] - t[0]); });
}

// The difference saturates; smoothing, second difference and Scharr smoothing wrap in 16 bits.
TEST(DerivativeHorizontalKernels3, EveryMemberFollowsItsThreeTapFormula) {
    auto wrapped = [](long long (*f)(long long, long long, long long)) {
        return [f](const s16(&t)[5], u8, int) { return wrap<s16>(f(t[0], t[1], t[2])); };
    };
    check<s16, u8, s16>("horzDiff3_16s_C1", 3, {member(horzDiff3_16s_C1, 1)}, all<s16>(), kNone,
                        [](const s16(&t)[5], u8, int) { return saturate<s16>(t[0] - t[2]); });
    check<s16, u8, s16>("horzSmooth3_16s_C1", 3, {member(horzSmooth3_16s_C1, 1)}, all<s16>(), kNone,
                        wrapped([](long long l, long long c, long long r) { return l + 2 * c + r; }));
    check<s16, u8, s16>("horzSecond3_16s_C1", 3, {member(horzSecond3_16s_C1, 1)}, all<s16>(), kNone,
                        wrapped([](long long l, long long c, long long r) { return (l + r) - 2 * c; }));
    check<s16, u8, s16>("horzScharr3_16s_C1", 3, {member(horzScharr3_16s_C1, 1)}, all<s16>(), kNone,
                        wrapped([](long long l, long long c, long long r) { return 3 * (l + r) + 10 * c; }));
    check<float, u8, float>("horzSecond3_32f_C1", 3, {member(horzSecond3_32f_C1, 1)}, kNone, kNone,
                            [](const float(&t)[5], u8, int) { return (t[0] + t[2]) - (t[1] + t[1]); });
    check<float, u8, float>("horzScharr3_32f_C1", 3, {member(horzScharr3_32f_C1, 1)}, kNone, kNone,
                            [](const float(&t)[5], u8, int) { return (t[0] + t[2]) * 3.0f + t[1] * 10.0f; });
}

TEST(HighpassKernels5, EveryMemberGivesTwentyFiveTimesTheCentreLessItsFiveColumnSums) {
    check<u16, u8, u8>("horzHighpass5_8u", 5, TROV_FOUR(horzHighpass5_8u), {0, 1275}, all<u8>(),
                       [](const u16(&t)[5], u8 x, int) { return saturate<u8>(25LL * x - sum(t, 5)); });
    check<s32, s16, s16>("horzHighpass5_16s", 5, TROV_FOUR(horzHighpass5_16s), kTrue5, all<s16>(),
                         [](const s32(&t)[5], s16 x, int) { return saturate<s16>(25LL * x - sum(t, 5)); });
    check<float, float, float>("horzHighpass5_32f", 5, TROV_FOUR(horzHighpass5_32f), kNone, kNone,
                               [](const float(&t)[5], float x, int) { return 25.0f * x - sum5(t); });
}

TEST(MeanKernels5, EveryMemberDividesItsTwentyFiveElementSumByTwentyFive) {
    check<u16, u8, u8>("horzMean5_8u", 5, TROV_MEAN(horzMean5_8u), {0, 1275}, kNone,
                       [](const u16(&t)[5], u8, int) { return u8(divideNearest(sum(t, 5), 25)); });
    check<s32, u8, s16>(
        "horzMean5_16s", 5, TROV_MEAN(horzMean5_16s), kTrue5, kNone,
        [](const s32(&t)[5], u8, int) { return saturate<s16>(divideNearest(sum(t, 5), 25)); });
    check<float, u8, float>("horzMean5_32f", 5, TROV_MEAN(horzMean5_32f), kNone, kNone,
                            [](const float(&t)[5], u8, int) { return sum5(t) * 0.04f; });
}

} // namespace
} // namespace trov::imaging
