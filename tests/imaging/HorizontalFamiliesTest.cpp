#include "FamilyTestSupport.h"
#include "imaging/simd/KernelTypes.h"
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
// used elements (AddressSanitizer sees any read past them). Inputs cover each family's domain with its
// ends, so results saturate, floor and wrap where the formula says.

struct Member {
    const char* name;
    HorizontalKernel3 plain;
    CentredKernel centred;
    int channels; // the tap distance
    bool keepAlpha;
};

std::vector<Member> members(const char* name, HorizontalKernel3 c1, HorizontalKernel3 c4,
                            HorizontalKernel3 c3, HorizontalKernel3 keepAlpha) {
    std::vector<Member> all = {{name, c1, nullptr, 1, false}, {name, c3, nullptr, 3, false}};
    if (c4)
        all.push_back({name, c4, nullptr, 4, false});
    if (keepAlpha)
        all.push_back({name, keepAlpha, nullptr, 4, true});
    return all;
}
std::vector<Member> members(const char* name, CentredKernel c1, CentredKernel c4, CentredKernel c3,
                            CentredKernel keepAlpha) {
    return {{name, nullptr, c1, 1, false},
            {name, nullptr, c3, 3, false},
            {name, nullptr, c4, 4, false},
            {name, nullptr, keepAlpha, 4, true}};
}
std::vector<Member> oneChannel(const char* name, HorizontalKernel3 kernel) {
    return {{name, kernel, nullptr, 1, false}};
}

template <class Row, class Centre, class Out> struct Family {
    int taps;
    std::vector<Member> members;
    std::function<Row(std::mt19937&)> row;
    std::function<Centre(std::mt19937&)> centre;
    std::function<Out(const Row (&t)[5], Centre x, int channels)> expected;
};

template <class Row, class Centre, class Out>
void check(const Family<Row, Centre, Out>& f, std::mt19937& rng) {
    constexpr int kOffsets[] = {-1, 0, int(sizeof(Out)), 8};
    for (const Member& m : f.members)
        for (std::ptrdiff_t pixels : pixelCounts())
            for (int offset : kOffsets) {
                const std::ptrdiff_t n = pixels * m.channels, used = n + (f.taps - 1) * m.channels;
                AlignedRow<Row> row(static_cast<std::size_t>(roundUp(used * sizeof(Row), 16) / sizeof(Row)));
                for (std::ptrdiff_t i = 0; i < used; ++i)
                    row[i] = f.row(rng);
                GuardedBytes centre(static_cast<std::size_t>(n) * sizeof(Centre), pixels % 2 == 0);
                for (std::ptrdiff_t i = 0; i < n; ++i) {
                    const Centre x = f.centre(rng);
                    std::memcpy(centre.data() + i * sizeof(Centre), &x, sizeof x);
                }
                GuardedElements<Out> dst(n, offset, rng);
                if (m.centred)
                    m.centred(centre.data(), row.data(), dst.data(), n);
                else
                    m.plain(row.data(), dst.data(), n);
                for (std::ptrdiff_t j = 0; j < n; ++j) {
                    Row t[5] = {};
                    for (int k = 0; k < f.taps; ++k)
                        t[k] = row[j + k * m.channels];
                    const Out want = m.keepAlpha && j % 4 == 3
                                         ? dst.before(j)
                                         : f.expected(t, loadAt<Centre>(centre.data(), j), m.channels);
                    ASSERT_TRUE(sameBits(dst.at(j), want))
                        << m.name << " channels " << m.channels << (m.keepAlpha ? " keeping alpha" : "")
                        << " n " << n << " offset " << offset << " j " << j;
                }
                ASSERT_TRUE(dst.changedOnlyInside(n)) << m.name << " channels " << m.channels << " n " << n;
            }
}

// Draws over a whole integer type with its ends, or over lo..hi.
template <class T>
std::function<T(std::mt19937&)> anyOf(long long lo = std::numeric_limits<T>::min(),
                                      long long hi = std::numeric_limits<T>::max()) {
    return [lo, hi](std::mt19937& rng) { return valueOrEnd<T>(rng, lo, hi); };
}
std::function<float(std::mt19937&)> anyFloat() {
    return [](std::mt19937& rng) { return randomValue<float>(rng); };
}
using NoCentre = std::uint8_t;

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

TEST(UnscaledKernels3, EveryMemberSumsItsThreeTapsUnscaledAndSaturatesTheWrappedSum) {
    std::mt19937 rng(101);
    for (int weight : {1, 2}) {
        const bool w1 = weight == 1;
        check(
            Family<std::int16_t, NoCentre, std::uint8_t>{
                3,
                w1 ? members("horzSum3_8u", horzSum3_8u_C1, horzSum3_8u_C4, horzSum3_8u_C3,
                             horzSum3_8u_KeepAlpha)
                   : members("horzSum121_8u", horzSum121_8u_C1, horzSum121_8u_C4, horzSum121_8u_C3,
                             horzSum121_8u_KeepAlpha),
                anyOf<std::int16_t>(), anyOf<NoCentre>(),
                [&](const std::int16_t(&t)[5], NoCentre, int) {
                    return saturate<std::uint8_t>(wrap<std::int16_t>(t[0] + weight * t[1] + t[2]));
                }},
            rng);
        check(
            Family<std::int32_t, NoCentre, std::int16_t>{
                3,
                w1 ? members("horzSum3_16s", horzSum3_16s_C1, horzSum3_16s_C4, horzSum3_16s_C3,
                             horzSum3_16s_KeepAlpha)
                   : members("horzSum121_16s", horzSum121_16s_C1, horzSum121_16s_C4, horzSum121_16s_C3,
                             horzSum121_16s_KeepAlpha),
                anyOf<std::int32_t>(), anyOf<NoCentre>(),
                [&](const std::int32_t(&t)[5], NoCentre, int) {
                    return saturate<std::int16_t>(wrap<std::int32_t>(t[0] + weight * 1LL * t[1] + t[2]));
                }},
            rng);
        check(Family<float, NoCentre, float>{3,
                                             w1 ? members("horzSum3_32f", horzSum3_32f_C1, horzSum3_32f_C4,
                                                          horzSum3_32f_C3, horzSum3_32f_KeepAlpha)
                                                : members("horzSum121_32f", horzSum121_32f_C1,
                                                          horzSum121_32f_C4, horzSum121_32f_C3,
                                                          horzSum121_32f_KeepAlpha),
                                             anyFloat(), anyOf<NoCentre>(),
                                             [&](const float(&t)[5], NoCentre, int c) {
                                                 if (w1)
                                                     return (t[0] + t[1]) + t[2];
                                                 return c == 4 ? (t[0] + t[1]) + (t[1] + t[2])
                                                               : (t[0] + (t[1] + t[1])) + t[2];
                                             }},
              rng);
    }
}

TEST(HighpassKernels3, EveryMemberGivesNineTimesTheCentreLessItsTapsFlooredOrSaturatedByKind) {
    std::mt19937 rng(103);
    check(
        Family<std::uint16_t, std::uint8_t, std::uint8_t>{
            3,
            members("horzHighpass3_8u", horzHighpass3_8u_C1, horzHighpass3_8u_C4, horzHighpass3_8u_C3,
                    horzHighpass3_8u_KeepAlpha),
            anyOf<std::uint16_t>(0, 765), anyOf<std::uint8_t>(),
            [](const std::uint16_t(&t)[5], std::uint8_t x, int) {
                return saturate<std::uint8_t>(9LL * x - sum(t, 3));
            }},
        rng);
    // Biased rows of three offset samples; the centre's offset cancels theirs.
    check(
        Family<std::int32_t, std::int16_t, std::int16_t>{
            3,
            members("horzHighpass3_16s", horzHighpass3_16s_C1, horzHighpass3_16s_C4, horzHighpass3_16s_C3,
                    horzHighpass3_16s_KeepAlpha),
            anyOf<std::int32_t>(0, 3 * 65535), anyOf<std::int16_t>(),
            [](const std::int32_t(&t)[5], std::int16_t x, int) {
                return saturate<std::int16_t>(9LL * (x + 32768) - sum(t, 3));
            }},
        rng);
    check(Family<float, float, float>{3,
                                      members("horzHighpass3_32f", horzHighpass3_32f_C1, horzHighpass3_32f_C4,
                                              horzHighpass3_32f_C3, horzHighpass3_32f_KeepAlpha),
                                      anyFloat(), anyFloat(),
                                      [](const float(&t)[5], float x, int) {
                                          return ((9.0f * x - t[0]) - t[1]) - t[2];
                                      }},
          rng);
    // 16-bit rows and results: no floor, the tap sum wraps in 16 bits, the difference saturates.
    for (bool isSigned : {false, true}) {
        const CentredKernel kernel = isSigned ? horzHighpass3_8s16s_C1 : horzHighpass3_8u16s_C1;
        check(
            Family<std::int16_t, std::uint8_t, std::int16_t>{
                3,
                {{isSigned ? "horzHighpass3_8s16s" : "horzHighpass3_8u16s", nullptr, kernel, 1, false}},
                anyOf<std::int16_t>(),
                anyOf<std::uint8_t>(),
                [=](const std::int16_t(&t)[5], std::uint8_t raw, int) {
                    const int x = isSigned ? static_cast<std::int8_t>(raw) : raw;
                    return saturate<std::int16_t>(9LL * x - wrap<std::int16_t>(sum(t, 3)));
                }},
            rng);
    }
}

TEST(DifferenceKernels3, EveryHorizontalMemberTakesLeftMinusRightSaturatedToItsType) {
    std::mt19937 rng(107);
    check(
        Family<std::uint16_t, NoCentre, std::uint8_t>{
            3,
            members("horzDiff3_16u8u", horzDiff3_16u8u_C1, horzDiff3_16u8u_C4, horzDiff3_16u8u_C3,
                    horzDiff3_16u8u_KeepAlpha),
            anyOf<std::uint16_t>(), anyOf<NoCentre>(),
            [](const std::uint16_t(&t)[5], NoCentre, int) { return saturate<std::uint8_t>(t[0] - t[2]); }},
        rng);
    check(Family<std::int32_t, NoCentre, std::int16_t>{3,
                                                       members("horzDiff3_32s16s", horzDiff3_32s16s_C1,
                                                               horzDiff3_32s16s_C4, horzDiff3_32s16s_C3,
                                                               horzDiff3_32s16s_KeepAlpha),
                                                       anyOf<std::int32_t>(), anyOf<NoCentre>(),
                                                       [](const std::int32_t(&t)[5], NoCentre, int) {
                                                           return saturate<std::int16_t>(
                                                               wrap<std::int32_t>(0LL + t[0] - t[2]));
                                                       }},
          rng);
    check(Family<float, NoCentre, float>{3,
                                         members("horzDiff3_32f", horzDiff3_32f_C1, horzDiff3_32f_C4,
                                                 horzDiff3_32f_C3, horzDiff3_32f_KeepAlpha),
                                         anyFloat(), anyOf<NoCentre>(),
                                         [](const float(&t)[5], NoCentre, int) { return t[0] - t[2]; }},
          rng);
}

TEST(SharpenKernels3, EveryMemberDividesSeventeenTimesTheCentreLessItsTapsByEightHalfToEven) {
    std::mt19937 rng(109);
    check(
        Family<std::uint16_t, std::uint8_t, std::uint8_t>{
            3,
            members("horzSharpen3_8u", horzSharpen3_8u_C1, horzSharpen3_8u_C4, horzSharpen3_8u_C3,
                    horzSharpen3_8u_KeepAlpha),
            anyOf<std::uint16_t>(0, 765), anyOf<std::uint8_t>(),
            [](const std::uint16_t(&t)[5], std::uint8_t x, int) {
                return saturate<std::uint8_t>(divideNearest(std::max(0LL, 17LL * x - sum(t, 3)), 8));
            }},
        rng);
    check(
        Family<std::int32_t, std::int16_t, std::int16_t>{
            3,
            members("horzSharpen3_16s", horzSharpen3_16s_C1, horzSharpen3_16s_C4, horzSharpen3_16s_C3,
                    horzSharpen3_16s_KeepAlpha),
            anyOf<std::int32_t>(0, 3 * 65535), anyOf<std::int16_t>(),
            [](const std::int32_t(&t)[5], std::int16_t x, int) {
                return saturate<std::int16_t>(divideNearest(17LL * x - (sum(t, 3) - 3 * 98304), 8));
            }},
        rng);
    check(Family<float, float, float>{3,
                                      members("horzSharpen3_32f", horzSharpen3_32f_C1, horzSharpen3_32f_C4,
                                              horzSharpen3_32f_C3, horzSharpen3_32f_KeepAlpha),
                                      anyFloat(), anyFloat(),
                                      [](const float(&t)[5], float x, int) {
                                          return (((17.0f * x - t[0]) - t[1]) - t[2]) * 0.125f;
                                      }},
          rng);
}

TEST(MeanKernels3, EveryMemberDividesItsNineElementSumByNine) {
    std::mt19937 rng(113);
    check(
        Family<std::uint16_t, NoCentre, std::uint8_t>{
            3, members("horzMean3_8u", horzMean3_8u_C1, nullptr, horzMean3_8u_C3, horzMean3_8u_KeepAlpha),
            anyOf<std::uint16_t>(0, 765), anyOf<NoCentre>(),
            [](const std::uint16_t(&t)[5], NoCentre, int) {
                return static_cast<std::uint8_t>(divideNearest(sum(t, 3), 9));
            }},
        rng);
    check(
        Family<std::int32_t, NoCentre, std::int16_t>{
            3, members("horzMean3_16s", horzMean3_16s_C1, nullptr, horzMean3_16s_C3, horzMean3_16s_KeepAlpha),
            anyOf<std::int32_t>(0, 3 * 65535), anyOf<NoCentre>(),
            [](const std::int32_t(&t)[5], NoCentre, int) {
                return saturate<std::int16_t>(divideNearest(sum(t, 3) - 3 * 98304, 9));
            }},
        rng);
    check(
        Family<float, NoCentre, float>{
            3, members("horzMean3_32f", horzMean3_32f_C1, nullptr, horzMean3_32f_C3, horzMean3_32f_KeepAlpha),
            anyFloat(), anyOf<NoCentre>(),
            [](const float(&t)[5], NoCentre, int) { return ((t[0] + t[1]) + t[2]) * (1.0f / 9.0f); }},
        rng);
}

TEST(ScharrKernels3, HorizontalPassesTakeRightMinusLeft) {
    std::mt19937 rng(127);
    check(Family<float, NoCentre, float>{3, oneChannel("horzScharrDiff3_32f_C1", horzScharrDiff3_32f_C1),
                                         anyFloat(), anyOf<NoCentre>(),
                                         [](const float(&t)[5], NoCentre, int) { return t[2] - t[0]; }},
          rng);
    check(
        Family<std::int16_t, NoCentre, std::int16_t>{
            3, oneChannel("horzScharrDiff3_16s_C1", horzScharrDiff3_16s_C1), anyOf<std::int16_t>(),
            anyOf<NoCentre>(),
            [](const std::int16_t(&t)[5], NoCentre, int) { return saturate<std::int16_t>(t[2] - t[0]); }},
        rng);
}

// The difference saturates; smoothing, second difference and Scharr smoothing wrap in 16 bits.
TEST(DerivativeHorizontalKernels3, EveryMemberFollowsItsThreeTapFormula) {
    std::mt19937 rng(131);
    using Formula16 = std::function<long long(long long l, long long c, long long r)>;
    const std::pair<Member, Formula16> kinds16[] = {
        {{"horzDiff3_16s_C1", horzDiff3_16s_C1, nullptr, 1, false},
         [](auto l, auto, auto r) { return l - r; }},
        {{"horzSmooth3_16s_C1", horzSmooth3_16s_C1, nullptr, 1, false},
         [](auto l, auto c, auto r) { return l + 2 * c + r; }},
        {{"horzSecond3_16s_C1", horzSecond3_16s_C1, nullptr, 1, false},
         [](auto l, auto c, auto r) { return (l + r) - 2 * c; }},
        {{"horzScharr3_16s_C1", horzScharr3_16s_C1, nullptr, 1, false},
         [](auto l, auto c, auto r) { return 3 * (l + r) + 10 * c; }},
    };
    for (const auto& [member, formula] : kinds16) {
        const bool saturates = member.plain == horzDiff3_16s_C1;
        check(Family<std::int16_t, NoCentre, std::int16_t>{3,
                                                           {member},
                                                           anyOf<std::int16_t>(),
                                                           anyOf<NoCentre>(),
                                                           [&](const std::int16_t(&t)[5], NoCentre, int) {
                                                               const long long v = formula(t[0], t[1], t[2]);
                                                               return saturates ? saturate<std::int16_t>(v)
                                                                                : wrap<std::int16_t>(v);
                                                           }},
              rng);
    }
    check(Family<float, NoCentre, float>{3, oneChannel("horzSecond3_32f_C1", horzSecond3_32f_C1), anyFloat(),
                                         anyOf<NoCentre>(),
                                         [](const float(&t)[5], NoCentre, int) {
                                             return (t[0] + t[2]) - (t[1] + t[1]);
                                         }},
          rng);
    check(Family<float, NoCentre, float>{3, oneChannel("horzScharr3_32f_C1", horzScharr3_32f_C1), anyFloat(),
                                         anyOf<NoCentre>(),
                                         [](const float(&t)[5], NoCentre, int) {
                                             return (t[0] + t[2]) * 3.0f + t[1] * 10.0f;
                                         }},
          rng);
}

TEST(HighpassKernels5, EveryMemberGivesTwentyFiveTimesTheCentreLessItsFiveColumnSums) {
    std::mt19937 rng(137);
    check(
        Family<std::uint16_t, std::uint8_t, std::uint8_t>{
            5,
            members("horzHighpass5_8u", horzHighpass5_8u_C1, horzHighpass5_8u_C4, horzHighpass5_8u_C3,
                    horzHighpass5_8u_KeepAlpha),
            anyOf<std::uint16_t>(0, 1275), anyOf<std::uint8_t>(),
            [](const std::uint16_t(&t)[5], std::uint8_t x, int) {
                return saturate<std::uint8_t>(25LL * x - sum(t, 5));
            }},
        rng);
    check(
        Family<std::int32_t, std::int16_t, std::int16_t>{
            5,
            members("horzHighpass5_16s", horzHighpass5_16s_C1, horzHighpass5_16s_C4, horzHighpass5_16s_C3,
                    horzHighpass5_16s_KeepAlpha),
            anyOf<std::int32_t>(5 * -32768, 5 * 32767), anyOf<std::int16_t>(),
            [](const std::int32_t(&t)[5], std::int16_t x, int) {
                return saturate<std::int16_t>(25LL * x - sum(t, 5));
            }},
        rng);
    check(Family<float, float, float>{5,
                                      members("horzHighpass5_32f", horzHighpass5_32f_C1, horzHighpass5_32f_C4,
                                              horzHighpass5_32f_C3, horzHighpass5_32f_KeepAlpha),
                                      anyFloat(), anyFloat(),
                                      [](const float(&t)[5], float x, int) { return 25.0f * x - sum5(t); }},
          rng);
}

TEST(MeanKernels5, EveryMemberDividesItsTwentyFiveElementSumByTwentyFive) {
    std::mt19937 rng(139);
    check(
        Family<std::uint16_t, NoCentre, std::uint8_t>{
            5, members("horzMean5_8u", horzMean5_8u_C1, nullptr, horzMean5_8u_C3, horzMean5_8u_KeepAlpha),
            anyOf<std::uint16_t>(0, 1275), anyOf<NoCentre>(),
            [](const std::uint16_t(&t)[5], NoCentre, int) {
                return static_cast<std::uint8_t>(divideNearest(sum(t, 5), 25));
            }},
        rng);
    check(
        Family<std::int32_t, NoCentre, std::int16_t>{
            5, members("horzMean5_16s", horzMean5_16s_C1, nullptr, horzMean5_16s_C3, horzMean5_16s_KeepAlpha),
            anyOf<std::int32_t>(5 * -32768, 5 * 32767), anyOf<NoCentre>(),
            [](const std::int32_t(&t)[5], NoCentre, int) {
                return saturate<std::int16_t>(divideNearest(sum(t, 5), 25));
            }},
        rng);
    check(
        Family<float, NoCentre, float>{
            5, members("horzMean5_32f", horzMean5_32f_C1, nullptr, horzMean5_32f_C3, horzMean5_32f_KeepAlpha),
            anyFloat(), anyOf<NoCentre>(), [](const float(&t)[5], NoCentre, int) { return sum5(t) * 0.04f; }},
        rng);
}

} // namespace
} // namespace trov::imaging
