#include "imaging/PortableSmoothing.h"
#include "imaging/Variant2.h"
#include "imaging/simd/kernels/ColumnKernels5.h"
#include "imaging/simd/kernels/HorizontalKernels3.h"
#include "support/KernelTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>

namespace trov::imaging {
namespace {

using namespace testing;

struct RowShare {
    int weight;
    int largest;
};

// Every sum 0..largest split over rows of the given weights, each row taking as much as it can in the
// order given: small sums sit in the first row alone, the largest fill every row to what a row pass gives.
std::vector<std::vector<std::int32_t>> spreadSums(int largest, std::initializer_list<RowShare> shares) {
    std::vector<std::vector<std::int32_t>> rows(shares.size(), std::vector<std::int32_t>(largest + 1));
    for (int s = 0; s <= largest; ++s) {
        int rest = s;
        std::size_t r = 0;
        for (const RowShare& share : shares) {
            rows[r][s] = std::min(rest / share.weight, share.largest);
            rest -= rows[r++][s] * share.weight;
        }
    }
    return rows;
}

// Runs a pass over every sum as one row and again in runs of one, two and three elements, so that every
// tail path sees every value.
template <class Pass> void expectEverySumRounded(int largest, int divisor, Pass&& pass) {
    std::vector<std::uint8_t> whole(largest + 1), pieces(largest + 1);
    pass(0, largest + 1, whole.data());
    for (int t = 0, k = 0; t <= largest; ++k) {
        const int count = std::min(1 + k % 3, largest + 1 - t);
        pass(t, count, &pieces[t]);
        t += count;
    }
    for (int t = 0; t <= largest; ++t) {
        ASSERT_EQ(whole[t], divideNearest(t, divisor)) << "sum " << t;
        ASSERT_EQ(pieces[t], whole[t]) << "sum " << t;
    }
}

TEST(Rounding, EveryThreeByThreeSumRoundsHalfToEvenInEveryForm) {
    constexpr int kLargest = 16 * 255;
    const auto rows = spreadSums(kLargest, {{2, 4 * 255}, {1, 4 * 255}, {1, 4 * 255}});
    const std::int32_t *centre = rows[0].data(), *above = rows[1].data(), *below = rows[2].data();
    for (auto column : {columnSum121Round, columnSum121Round2})
        expectEverySumRounded(kLargest, 16, [&](int t, int count, std::uint8_t* out) {
            column(above + t, centre + t, below + t, out, count);
        });
    // The SSE2 horizontal pass: four independent sums per call, one per channel.
    alignas(32) std::uint16_t row[32] = {};
    std::uint8_t out[4];
    for (int t0 = 0; t0 <= kLargest; t0 += 4) {
        for (int ch = 0; ch < 4; ++ch) {
            const int t = std::min(t0 + ch, kLargest);
            row[ch] = static_cast<std::uint16_t>(above[t]);
            row[4 + ch] = static_cast<std::uint16_t>(centre[t]);
            row[8 + ch] = static_cast<std::uint16_t>(below[t]);
        }
        horzGauss3_8u_C4(row, out, 4);
        for (int ch = 0; ch < 4; ++ch)
            ASSERT_EQ(out[ch], divideNearest(std::min(t0 + ch, kLargest), 16)) << "sum " << t0 + ch;
    }
}

TEST(Rounding, EveryFiveByFiveSumRoundsToNearestInEveryForm) {
    constexpr int kLargest = 571 * 255;
    const auto rows =
        spreadSums(kLargest, {{1, 255 * 255}, {1, 128 * 255}, {1, 128 * 255}, {1, 30 * 255}, {1, 30 * 255}});
    const std::int32_t *c2 = rows[0].data(), *b1 = rows[1].data(), *b3 = rows[2].data(), *a0 = rows[3].data(),
                       *a4 = rows[4].data();
    for (auto column : {columnSum5x5Round, columnSum5x5Round2})
        expectEverySumRounded(kLargest, 571, [&](int t, int count, std::uint8_t* out) {
            column(a0 + t, b1 + t, c2 + t, b3 + t, a4 + t, out, count);
        });
    // The SSE2 8u member, under the rounding to nearest its driver sets.
    const auto length = static_cast<std::size_t>(roundUp(kLargest + 1, 16));
    AlignedRow<std::uint16_t> narrow(5 * length); // rows a0, b1, c2, b3, a4 one after another
    const std::int32_t* wide[5] = {a0, b1, c2, b3, a4};
    for (std::size_t r = 0; r < 5; ++r)
        for (int s = 0; s <= kLargest; ++s)
            narrow[r * length + s] = static_cast<std::uint16_t>(wide[r][s]);
    std::vector<std::uint8_t> out(kLargest + 1);
    runUnderMxcsr(getMxcsr() & ~kMxcsrRoundingField, [&] {
        colGauss5_8u(&narrow[0], &narrow[length], &narrow[2 * length], &narrow[3 * length],
                     &narrow[4 * length], out.data(), kLargest + 1);
    });
    for (int s = 0; s <= kLargest; ++s)
        ASSERT_EQ(out[s], divideNearest(s, 571)) << "sum " << s;
}

// Sources sit between inaccessible pages, against the page after them for even n and the page before
// them for odd n. Strided destinations at 8-, 4- and 1-byte offsets take the MMX loop, the MMX loop after
// one scalar element, and the scalar loop alone.
TEST(RowPasses, ThreeByThreeRowSumsFollowTheirFormulaOnEveryPathTouchingOnlyTheirElements) {
    std::mt19937 rng(1);
    for (std::ptrdiff_t c = 1; c <= 4; ++c)
        for (int n = 1; n <= 41; ++n) {
            GuardedBytes s(static_cast<std::size_t>(n + 2 * c), n % 2 == 0);
            fillRandom<std::uint8_t>(s.data(), n + 2 * c, rng);
            for (RowSum121Fn pass : {rowSum121, sum121Strided})
                for (int offset : {0, 4, 1}) {
                    if (pass == rowSum121 && offset != 0)
                        continue;
                    Image<std::int32_t> dst(n, 1, 1, 0, offset, rng, 1);
                    const std::vector<unsigned char> before = dst.bytes;
                    pass(s.data(), reinterpret_cast<std::int32_t*>(dst.origin()), n, c);
                    for (int j = 0; j < n; ++j)
                        ASSERT_EQ(dst.at(j, 0, 0), s.data()[j] + 2 * s.data()[j + c] + s.data()[j + 2 * c])
                            << "c " << c << " n " << n << " offset " << offset << " j " << j;
                    ASSERT_TRUE(dst.changedOnlyInside(before))
                        << "wrote outside the row, c " << c << " n " << n;
                }
        }
}

} // namespace
} // namespace trov::imaging
