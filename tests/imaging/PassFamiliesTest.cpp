#include "FamilyTestSupport.h"
#include "imaging/simd/KernelTypes.h"
#include "imaging/simd/kernels/ColumnSumKernels5.h"
#include "imaging/simd/kernels/DerivativeColumnKernels5.h"
#include "imaging/simd/kernels/DerivativeRowKernels5.h"
#include "imaging/simd/kernels/DerivativeVerticalKernels3.h"
#include "imaging/simd/kernels/DifferenceKernels3.h"
#include "imaging/simd/kernels/ScharrKernels3.h"

#include <gtest/gtest.h>

#include <memory>

namespace trov::imaging {
namespace {

using namespace testing;

// The families that combine source rows column by column, and the 5x5 derivative row and column kernels,
// against their formulas: every element count 1 to 70 and two long rows. Source rows sit in pages of their
// own against an inaccessible page (after them, or before them), and rows a kernel must not read are
// inaccessible altogether; row buffers are exactly as long as what may be written.

template <class Src, class Out> struct VerticalMember {
    const char* name;
    VerticalKernel3 kernel;
    std::vector<int> rows; // the rows read, in steps below the address passed
    bool accumulates;      // the row buffer's own value takes part
    std::function<Out(const Src (&v)[6], Out old)> expected;
};

template <class Src, class Out>
void checkVertical(const std::vector<VerticalMember<Src, Out>>& members, std::mt19937& rng) {
    for (const auto& m : members)
        for (std::ptrdiff_t n : pixelCounts())
            for (bool tailAligned : {true, false}) {
                const int spanned = m.rows.back() + 1;
                PagedRows readable(spanned, static_cast<std::size_t>(n) * sizeof(Src), tailAligned, m.rows);
                for (int r : m.rows)
                    fillRandom<Src>(readable.row(r), n, rng);
                // Float passes that do not accumulate finish the block holding their last element.
                const std::ptrdiff_t written =
                    std::is_floating_point_v<Out> && !m.accumulates ? roundUp(n, 4) : n;
                AlignedRow<Out> out(static_cast<std::size_t>(written));
                std::vector<Out> old(static_cast<std::size_t>(n));
                for (std::ptrdiff_t i = 0; i < n; ++i)
                    out[i] = old[i] = randomValue<Out>(rng);
                m.kernel(readable.row(0), out.data(), n, readable.step());
                for (std::ptrdiff_t i = 0; i < n; ++i) {
                    Src v[6] = {};
                    for (int r : m.rows)
                        v[r] = loadAt<Src>(readable.row(r), i);
                    ASSERT_TRUE(sameBits(out[i], m.expected(v, old[i])))
                        << m.name << " n " << n << (tailAligned ? " against the next page" : "") << " i "
                        << i;
                }
                for (std::ptrdiff_t i = n; i < written; ++i)
                    ASSERT_TRUE(sameBits(out[i], Out(0))) << m.name << " n " << n << " i " << i;
            }
}

TEST(DifferenceKernels3, EveryVerticalMemberTakesBottomMinusTopReadingOnlyThoseTwoRows) {
    std::mt19937 rng(201);
    checkVertical<std::uint8_t, std::int16_t>(
        {{"vertDiff3_8u16s",
          vertDiff3_8u16s,
          {0, 2},
          false,
          [](const std::uint8_t(&v)[6], std::int16_t) { return std::int16_t(v[2] - v[0]); }}},
        rng);
    checkVertical<std::int16_t, std::int32_t>(
        {{"vertDiff3_16s32s",
          vertDiff3_16s32s,
          {0, 2},
          false,
          [](const std::int16_t(&v)[6], std::int32_t) { return std::int32_t(v[2] - v[0]); }}},
        rng);
    checkVertical<float, float>({{"vertDiff3_32f",
                                  vertDiff3_32f,
                                  {0, 2},
                                  false,
                                  [](const float(&v)[6], float) { return v[2] - v[0]; }}},
                                rng);
}

TEST(ScharrKernels3, VerticalPassesSmoothThreeTenThree) {
    std::mt19937 rng(203);
    checkVertical<float, float>(
        {{"vertScharr3_32f",
          vertScharr3_32f,
          {0, 1, 2},
          false,
          [](const float(&v)[6], float) { return (v[0] + v[2]) * 3.0f + v[1] * 10.0f; }}},
        rng);
    checkVertical<std::uint8_t, std::int16_t>({{"vertScharr3_8u16s",
                                                vertScharr3_8u16s,
                                                {0, 1, 2},
                                                false,
                                                [](const std::uint8_t(&v)[6], std::int16_t) {
                                                    return std::int16_t(3 * (v[0] + v[2]) + 10 * v[1]);
                                                }}},
                                              rng);
    checkVertical<std::int8_t, std::int16_t>({{"vertScharr3_8s16s",
                                               vertScharr3_8s16s,
                                               {0, 1, 2},
                                               false,
                                               [](const std::int8_t(&v)[6], std::int16_t) {
                                                   return std::int16_t(3 * (v[0] + v[2]) + 10 * v[1]);
                                               }}},
                                             rng);
}

TEST(DerivativeVerticalKernels3, EveryMemberFollowsItsFormulaExactly) {
    std::mt19937 rng(207);
    auto diff = [](const auto(&v)[6], std::int16_t) { return std::int16_t(v[2] - v[0]); };
    auto smooth = [](const auto(&v)[6], std::int16_t) { return std::int16_t(v[0] + 2 * v[1] + v[2]); };
    auto second = [](const auto(&v)[6], std::int16_t) { return std::int16_t((v[0] + v[2]) - 2 * v[1]); };
    checkVertical<std::int8_t, std::int16_t>(
        {{"vertDiff3_8s16s", vertDiff3_8s16s, {0, 2}, false, diff},
         {"vertSmooth3_8s16s", vertSmooth3_8s16s, {0, 1, 2}, false, smooth},
         {"vertSecond3_8s16s", vertSecond3_8s16s, {0, 1, 2}, false, second}},
        rng);
    checkVertical<std::uint8_t, std::int16_t>(
        {{"vertSecond3_8u16s", vertSecond3_8u16s, {0, 1, 2}, false, second}}, rng);
    checkVertical<float, float>({{"vertSecond3_32f",
                                  vertSecond3_32f,
                                  {0, 1, 2},
                                  false,
                                  [](const float(&v)[6], float) { return (v[0] + v[2]) - (v[1] + v[1]); }}},
                                rng);
}

// The updates take any row-buffer value, wrapping in the lane width, so updated integer sums equal fresh
// ones whatever the order of updates.
TEST(ColumnSumKernels5, InitialSumsAddFiveRowsAndUpdatesMoveTheWindowDownReadingOnlyTheirRows) {
    std::mt19937 rng(211);
    checkVertical<std::uint8_t, std::uint16_t>({{"vertBox5_8u16u",
                                                 vertBox5_8u16u,
                                                 {0, 1, 2, 3, 4},
                                                 false,
                                                 [](const std::uint8_t(&v)[6], std::uint16_t) {
                                                     return std::uint16_t(v[0] + v[1] + v[2] + v[3] + v[4]);
                                                 }},
                                                {"vertBox5Update_8u16u",
                                                 vertBox5Update_8u16u,
                                                 {0, 5},
                                                 true,
                                                 [](const std::uint8_t(&v)[6], std::uint16_t old) {
                                                     return wrap<std::uint16_t>(old - v[0] + v[5]);
                                                 }}},
                                               rng);
    checkVertical<std::int16_t, std::int32_t>({{"vertBox5_16s32s",
                                                vertBox5_16s32s,
                                                {0, 1, 2, 3, 4},
                                                false,
                                                [](const std::int16_t(&v)[6], std::int32_t) {
                                                    return std::int32_t(v[0] + v[1] + v[2] + v[3] + v[4]);
                                                }},
                                               {"vertBox5Update_16s32s",
                                                vertBox5Update_16s32s,
                                                {0, 5},
                                                true,
                                                [](const std::int16_t(&v)[6], std::int32_t old) {
                                                    return wrap<std::int32_t>(0LL + old - v[0] + v[5]);
                                                }}},
                                              rng);
    checkVertical<float, float>(
        {{"vertBox5_32f",
          vertBox5_32f,
          {0, 1, 2, 3, 4},
          false,
          [](const float(&v)[6], float) { return (((v[0] + v[1]) + v[2]) + v[3]) + v[4]; }},
         {"vertBox5Update_32f",
          vertBox5Update_32f,
          {0, 5},
          true,
          [](const float(&v)[6], float old) { return (old - v[0]) + v[5]; }}},
        rng);
}

// Sources against the page after them, and 0, 1, 4 and 8 bytes past a page start (every float alignment).
TEST(DerivativeRowKernels5, EveryMemberFollowsItsFiveTapFormulaReadingExactlyItsSamples) {
    std::mt19937 rng(213);
    enum class Shape { Difference, Smooth, Second };
    auto check = [&]<class Src, class Out>(const char* name, HorizontalKernel3 kernel, Shape shape) {
        for (std::ptrdiff_t n : pixelCounts())
            for (int offset : {-1, 0, 1, 4, 8}) {
                const std::size_t bytes = static_cast<std::size_t>(n + 4) * sizeof(Src);
                GuardedBytes source(bytes + static_cast<std::size_t>(std::max(offset, 0)), offset < 0);
                std::uint8_t* src = source.data() + std::max(offset, 0);
                fillRandom<Src>(src, n + 4, rng);
                AlignedRow<Out> row(static_cast<std::size_t>(n));
                kernel(src, row.data(), n);
                for (std::ptrdiff_t i = 0; i < n; ++i) {
                    Src s[5];
                    for (int k = 0; k < 5; ++k)
                        s[k] = loadAt<Src>(src, i + k);
                    Out want;
                    if constexpr (std::is_floating_point_v<Src>)
                        want = shape == Shape::Difference ? 2.0f * (s[1] - s[3]) + (s[0] - s[4])
                               : shape == Shape::Smooth ? ((s[0] + s[4]) + 6.0f * s[2]) + 4.0f * (s[1] + s[3])
                                                        : (s[0] + s[4]) - (s[2] + s[2]);
                    else
                        want = static_cast<Out>(shape == Shape::Difference ? (s[0] - s[4]) + 2 * (s[1] - s[3])
                                                : shape == Shape::Smooth
                                                    ? (s[0] + s[4]) + 4 * (s[1] + s[3]) + 6 * s[2]
                                                    : (s[0] + s[4]) - 2 * s[2]);
                    ASSERT_TRUE(sameBits(row[i], want))
                        << name << " n " << n << " offset " << offset << " i " << i;
                }
            }
    };
    for (Shape shape : {Shape::Difference, Shape::Smooth, Shape::Second}) {
        const int k = static_cast<int>(shape);
        const HorizontalKernel3 u8[] = {rowDiff5_8u16s_C1, rowSmooth5_8u16s_C1, rowSecond5_8u16s_C1};
        const HorizontalKernel3 s8[] = {rowDiff5_8s16s_C1, rowSmooth5_8s16s_C1, rowSecond5_8s16s_C1};
        const HorizontalKernel3 f32[] = {rowDiff5_32f_C1, rowSmooth5_32f_C1, rowSecond5_32f_C1};
        check.template operator()<std::uint8_t, std::int16_t>("row kernel 8u16s", u8[k], shape);
        check.template operator()<std::int8_t, std::int16_t>("row kernel 8s16s", s8[k], shape);
        check.template operator()<float, float>("row kernel 32f", f32[k], shape);
    }
}

// 16-bit rows wrap; destinations against the page after them and 0, 4, 8 and 12 bytes past a page start.
TEST(DerivativeColumnKernels5, EveryMemberFollowsItsFiveRowFormulaReadingExactlyItsElements) {
    std::mt19937 rng(217);
    auto check = [&]<class T>(const char* name, ColumnKernel5 kernel, int shape) {
        for (std::ptrdiff_t n : pixelCounts())
            for (int offset : {-1, 0, 4, 8, 12}) {
                std::vector<std::unique_ptr<AlignedRow<T>>> rows;
                for (int r = 0; r < 5; ++r) {
                    rows.push_back(std::make_unique<AlignedRow<T>>(static_cast<std::size_t>(n)));
                    for (std::ptrdiff_t i = 0; i < n; ++i)
                        (*rows.back())[i] = randomValue<T>(rng);
                }
                GuardedElements<T> dst(n, offset, rng);
                kernel(rows[0]->data(), rows[1]->data(), rows[2]->data(), rows[3]->data(), rows[4]->data(),
                       dst.data(), n);
                for (std::ptrdiff_t i = 0; i < n; ++i) {
                    T r[5];
                    for (int k = 0; k < 5; ++k)
                        r[k] = (*rows[k])[i];
                    T want;
                    if constexpr (std::is_floating_point_v<T>)
                        want = shape == 0   ? (6.0f * r[2] + (r[0] + r[4])) + 4.0f * (r[1] + r[3])
                               : shape == 1 ? (r[4] - r[0]) + 2.0f * (r[3] - r[1])
                                            : (r[0] + r[4]) - (r[2] + r[2]);
                    else
                        want = wrap<T>(shape == 0   ? 6LL * r[2] + (r[0] + r[4]) + 4LL * (r[1] + r[3])
                                       : shape == 1 ? 2LL * (r[3] - r[1]) + (r[4] - r[0])
                                                    : (0LL + r[0] + r[4]) - 2LL * r[2]);
                    ASSERT_TRUE(sameBits(dst.at(i), want))
                        << name << " n " << n << " offset " << offset << " i " << i;
                }
                ASSERT_TRUE(dst.changedOnlyInside(n)) << name << " n " << n;
            }
    };
    check.template operator()<std::int16_t>("colSmooth5_16s", colSmooth5_16s, 0);
    check.template operator()<std::int16_t>("colDiff5_16s", colDiff5_16s, 1);
    check.template operator()<std::int16_t>("colSecond5_16s", colSecond5_16s, 2);
    check.template operator()<float>("colSmooth5_32f", colSmooth5_32f, 0);
    check.template operator()<float>("colDiff5_32f", colDiff5_32f, 1);
    check.template operator()<float>("colSecond5_32f", colSecond5_32f, 2);
}

} // namespace
} // namespace trov::imaging
