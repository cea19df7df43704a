#include "FamilyTestSupport.h"
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
// own against an inaccessible page (after them, or before them), rows a kernel must not read are
// inaccessible altogether, and row buffers are exactly as long as what may be written. Each formula is
// written once for integer and float data: the integer results are exact (or wrap, as the kernels do),
// and the float orders are the kernels' own.

template <class Out> Out narrow(auto v) {
    if constexpr (std::is_floating_point_v<Out>)
        return v;
    else
        return wrap<Out>(v);
}

// formula(v, old): v[r] the element of row r (in steps below the address passed), old the row buffer's.
template <class Src, class Out>
void checkVertical(const char* name, VerticalKernel3 kernel, const std::vector<int>& rows, bool accumulates,
                   auto&& formula) {
    std::mt19937 rng(static_cast<unsigned>(std::hash<std::string>{}(name)));
    for (std::ptrdiff_t n : pixelCounts())
        for (bool tailAligned : {true, false}) {
            PagedRows src(rows.back() + 1, static_cast<std::size_t>(n) * sizeof(Src), tailAligned, rows);
            for (int r : rows)
                fillRandom<Src>(src.row(r), n, rng);
            // Float passes that do not accumulate finish the block holding their last element.
            const std::ptrdiff_t written = std::is_floating_point_v<Out> && !accumulates ? roundUp(n, 4) : n;
            AlignedRow<Out> out(static_cast<std::size_t>(written));
            std::vector<Out> old(static_cast<std::size_t>(n));
            for (std::ptrdiff_t i = 0; i < n; ++i)
                out[i] = old[i] = randomValue<Out>(rng);
            kernel(src.row(0), out.data(), n, src.step());
            for (std::ptrdiff_t i = 0; i < written; ++i) {
                Src v[6] = {};
                for (int r : rows)
                    v[r] = i < n ? loadAt<Src>(src.row(r), i) : Src(0);
                const Out want = i < n ? narrow<Out>(formula(v, old[i])) : Out(0);
                ASSERT_TRUE(sameBits(out[i], want))
                    << name << " n " << n << (tailAligned ? " tail" : "") << " i " << i;
            }
        }
}

const std::vector<int> kThree{0, 1, 2}, kOuter{0, 2};
auto bottomMinusTop = [](const auto& v, auto) { return v[2] - v[0]; };
auto second = [](const auto& v, auto) { return (v[0] + v[2]) - (v[1] + v[1]); };
auto scharr = [](const auto& v, auto) { return (v[0] + v[2]) * 3 + v[1] * 10; };

TEST(DifferenceKernels3, EveryVerticalMemberTakesBottomMinusTopReadingOnlyThoseTwoRows) {
    checkVertical<std::uint8_t, std::int16_t>("vertDiff3_8u16s", vertDiff3_8u16s, kOuter, false,
                                              bottomMinusTop);
    checkVertical<std::int16_t, std::int32_t>("vertDiff3_16s32s", vertDiff3_16s32s, kOuter, false,
                                              bottomMinusTop);
    checkVertical<float, float>("vertDiff3_32f", vertDiff3_32f, kOuter, false, bottomMinusTop);
}

TEST(ScharrKernels3, VerticalPassesSmoothThreeTenThree) {
    checkVertical<float, float>("vertScharr3_32f", vertScharr3_32f, kThree, false, scharr);
    checkVertical<std::uint8_t, std::int16_t>("vertScharr3_8u16s", vertScharr3_8u16s, kThree, false, scharr);
    checkVertical<std::int8_t, std::int16_t>("vertScharr3_8s16s", vertScharr3_8s16s, kThree, false, scharr);
}

TEST(DerivativeVerticalKernels3, EveryMemberFollowsItsFormulaExactly) {
    checkVertical<std::int8_t, std::int16_t>("vertDiff3_8s16s", vertDiff3_8s16s, kOuter, false,
                                             bottomMinusTop);
    checkVertical<std::int8_t, std::int16_t>("vertSmooth3_8s16s", vertSmooth3_8s16s, kThree, false,
                                             [](const auto& v, auto) { return v[0] + 2 * v[1] + v[2]; });
    checkVertical<std::int8_t, std::int16_t>("vertSecond3_8s16s", vertSecond3_8s16s, kThree, false, second);
    checkVertical<std::uint8_t, std::int16_t>("vertSecond3_8u16s", vertSecond3_8u16s, kThree, false, second);
    checkVertical<float, float>("vertSecond3_32f", vertSecond3_32f, kThree, false, second);
}

// The updates take any row-buffer value and wrap in the lane width, so updated integer sums equal fresh
// ones whatever came before.
TEST(ColumnSumKernels5, InitialSumsAddFiveRowsAndUpdatesMoveTheWindowDownReadingOnlyTheirRows) {
    const std::vector<int> five{0, 1, 2, 3, 4}, leavingAndEntering{0, 5};
    auto box = [](const auto& v, auto) { return (((v[0] + v[1]) + v[2]) + v[3]) + v[4]; };
    auto down = [](const auto& v, auto old) { return (old - v[0]) + v[5]; };
    checkVertical<std::uint8_t, std::uint16_t>("vertBox5_8u16u", vertBox5_8u16u, five, false, box);
    checkVertical<std::int16_t, std::int32_t>("vertBox5_16s32s", vertBox5_16s32s, five, false, box);
    checkVertical<float, float>("vertBox5_32f", vertBox5_32f, five, false, box);
    checkVertical<std::uint8_t, std::uint16_t>("vertBox5Update_8u16u", vertBox5Update_8u16u,
                                               leavingAndEntering, true,
                                               [&](const auto& v, auto old) { return down(v, 0LL + old); });
    checkVertical<std::int16_t, std::int32_t>("vertBox5Update_16s32s", vertBox5Update_16s32s,
                                              leavingAndEntering, true,
                                              [&](const auto& v, auto old) { return down(v, 0LL + old); });
    checkVertical<float, float>("vertBox5Update_32f", vertBox5Update_32f, leavingAndEntering, true, down);
}

// The five-tap shapes, first tap to last (a difference is first minus last), in the float kernels' orders.
enum Shape { Difference, Smooth, Second };
template <class T> auto fiveTap(Shape shape, const T (&t)[5]) {
    if (shape == Difference)
        return 2 * (t[1] - t[3]) + (t[0] - t[4]);
    if (shape == Smooth)
        return ((t[0] + t[4]) + 6 * t[2]) + 4 * (t[1] + t[3]);
    return (t[0] + t[4]) - (t[2] + t[2]);
}

// Sources against the page after them, and 0, 1, 4 and 8 bytes past a page start (every float alignment).
TEST(DerivativeRowKernels5, EveryMemberFollowsItsFiveTapFormulaReadingExactlyItsSamples) {
    std::mt19937 rng(213);
    auto check = [&]<class Src, class Out>(HorizontalKernel3 kernel, Shape shape) {
        for (std::ptrdiff_t n : pixelCounts())
            for (int offset : {-1, 0, 1, 4, 8}) {
                GuardedBytes source(static_cast<std::size_t>(n + 4) * sizeof(Src) + std::max(offset, 0),
                                    offset < 0);
                std::uint8_t* src = source.data() + std::max(offset, 0);
                fillRandom<Src>(src, n + 4, rng);
                AlignedRow<Out> row(static_cast<std::size_t>(n));
                kernel(src, row.data(), n);
                for (std::ptrdiff_t i = 0; i < n; ++i) {
                    Src s[5];
                    for (int k = 0; k < 5; ++k)
                        s[k] = loadAt<Src>(src, i + k);
                    ASSERT_TRUE(sameBits(row[i], static_cast<Out>(fiveTap(shape, s))))
                        << "shape " << shape << " " << sizeof(Src) << "-byte samples n " << n << " offset "
                        << offset << " i " << i;
                }
            }
    };
    const HorizontalKernel3 kernels[3][3] = {{rowDiff5_8u16s_C1, rowSmooth5_8u16s_C1, rowSecond5_8u16s_C1},
                                             {rowDiff5_8s16s_C1, rowSmooth5_8s16s_C1, rowSecond5_8s16s_C1},
                                             {rowDiff5_32f_C1, rowSmooth5_32f_C1, rowSecond5_32f_C1}};
    for (Shape shape : {Difference, Smooth, Second}) {
        check.template operator()<std::uint8_t, std::int16_t>(kernels[0][shape], shape);
        check.template operator()<std::int8_t, std::int16_t>(kernels[1][shape], shape);
        check.template operator()<float, float>(kernels[2][shape], shape);
    }
}

// Rows top to bottom; the difference is bottom minus top. 16-bit rows take any value and wrap;
// destinations against the page after them and 0, 4, 8 and 12 bytes past a page start.
TEST(DerivativeColumnKernels5, EveryMemberFollowsItsFiveRowFormulaReadingExactlyItsElements) {
    std::mt19937 rng(217);
    auto check = [&]<class T>(ColumnKernel5 kernel, Shape shape) {
        for (std::ptrdiff_t n : pixelCounts())
            for (int offset : {-1, 0, 4, 8, 12}) {
                std::unique_ptr<AlignedRow<T>> rows[5];
                for (auto& row : rows) {
                    row = std::make_unique<AlignedRow<T>>(static_cast<std::size_t>(n));
                    for (std::ptrdiff_t i = 0; i < n; ++i)
                        (*row)[i] = randomValue<T>(rng);
                }
                GuardedElements<T> dst(n, offset, rng);
                kernel(rows[0]->data(), rows[1]->data(), rows[2]->data(), rows[3]->data(), rows[4]->data(),
                       dst.data(), n);
                for (std::ptrdiff_t i = 0; i < n; ++i) {
                    T r[5];
                    for (int k = 0; k < 5; ++k)
                        r[k] = (*rows[shape == Difference ? 4 - k : k])[i];
                    ASSERT_TRUE(sameBits(dst.at(i), narrow<T>(fiveTap(shape, r))))
                        << "shape " << shape << " " << sizeof(T) << "-byte rows n " << n << " offset "
                        << offset << " i " << i;
                }
                ASSERT_TRUE(dst.changedOnlyInside(n)) << "shape " << shape << " n " << n;
            }
    };
    const ColumnKernel5 kernels16[3] = {colDiff5_16s, colSmooth5_16s, colSecond5_16s};
    const ColumnKernel5 kernels32f[3] = {colDiff5_32f, colSmooth5_32f, colSecond5_32f};
    for (Shape shape : {Difference, Smooth, Second}) {
        check.template operator()<std::int16_t>(kernels16[shape], shape);
        check.template operator()<float>(kernels32f[shape], shape);
    }
}

} // namespace
} // namespace trov::imaging
