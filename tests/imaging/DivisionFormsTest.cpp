#include "FamilyTestSupport.h"
#include "imaging/simd/kernels/MeanKernels3.h"
#include "imaging/simd/kernels/MeanKernels5.h"
#include "imaging/simd/kernels/SharpenKernels3.h"

#include <gtest/gtest.h>

#include <cmath>

namespace trov::imaging {
namespace {

using namespace testing;

// The multiplier, half-even and reciprocal forms of the mean and sharpening kernels over every input they
// can meet, against exact division. One-channel rows whose consecutive tap sums are first, first + 1, ...:
// element k is bias + floor((k + first) / taps), and any `taps` consecutive floors of k / taps sum to the
// smallest k (so every element stays within what a vertical pass can give).

long long floorDiv(long long a, long long b) {
    return a / b - (a % b != 0 && (a < 0) != (b < 0));
}

// Runs `kernel` over the sums first..last of `taps` row elements each carrying `bias`, and checks result j
// against expected(first + j).
template <class Row, class Out, class Run, class Expected>
void expectEverySum(const char* name, int taps, long long first, long long last, long long bias, Run&& run,
                    Expected&& expected) {
    const auto count = static_cast<std::ptrdiff_t>(last - first + 1);
    AlignedRow<Row> row(static_cast<std::size_t>(roundUp(count + taps - 1, 16)));
    for (std::ptrdiff_t k = 0; k < count + taps - 1; ++k)
        row[k] = static_cast<Row>(bias + floorDiv(k + first, taps));
    std::vector<Out> out(static_cast<std::size_t>(count));
    run(row.data(), out.data(), count);
    for (std::ptrdiff_t j = 0; j < count; ++j)
        ASSERT_EQ(out[j], expected(first + j)) << name << " sum " << first + j;
}

TEST(Rounding, MeanDivisionsByNineAndTwentyFiveEqualExactDivisionForEverySum) {
    auto nearest = [](long long d) {
        return [d](long long s) { return saturate<std::int16_t>(divideNearest(s, d)); };
    };
    auto nearest8u = [](long long d) {
        return [d](long long s) { return std::uint8_t(divideNearest(s, d)); };
    };
    expectEverySum<std::uint16_t, std::uint8_t>("horzMean3_8u", 3, 0, 9 * 255, 0, horzMean3_8u_C1,
                                                nearest8u(9));
    expectEverySum<std::uint16_t, std::uint8_t>("horzMean5_8u", 5, 0, 25 * 255, 0, horzMean5_8u_C1,
                                                nearest8u(25));
    // 16s: biased three-row sums (98304 above the true sum), true five-row sums.
    expectEverySum<std::int32_t, std::int16_t>("horzMean3_16s", 3, 9 * -32768LL, 9 * 32767LL, 98304,
                                               horzMean3_16s_C1, nearest(9));
    expectEverySum<std::int32_t, std::int16_t>("horzMean5_16s", 5, 25 * -32768LL, 25 * 32767LL, 0,
                                               horzMean5_16s_C1, nearest(25));
}

// The float reciprocal and the conversion both follow the rounding mode in force: the reference rounds
// the exact product (a 20-bit integer times a 24-bit significand, exact in double) to float and then to
// an integer in the same direction.
TEST(Rounding, SixteenBitMeansFollowTheCallersRoundingModeInProductAndConversion) {
    enum Mode { Down = 1, Up = 2, Zero = 3 };
    auto directed = [](double exact, int mode) {
        float f = static_cast<float>(exact);
        if ((mode == Down && f > exact) || (mode == Zero && exact > 0 && f > exact))
            f = std::nextafter(f, -INFINITY);
        if ((mode == Up && f < exact) || (mode == Zero && exact < 0 && f < exact))
            f = std::nextafter(f, INFINITY);
        const double v = mode == Down ? std::floor(f) : mode == Up ? std::ceil(f) : std::trunc(f);
        return saturate<std::int16_t>(static_cast<long long>(v));
    };
    struct Mean {
        HorizontalKernel3 kernel;
        int taps;
        long long bias;
        float reciprocal;
    };
    for (int mode : {Down, Up, Zero})
        for (const auto& [kernel, taps, bias, reciprocal] :
             {Mean{horzMean3_16s_C1, 3, 98304, 1.0f / 9.0f}, Mean{horzMean5_16s_C1, 5, 0, 0.04f}}) {
            auto run = [&, kernel = kernel](const void* row, void* dst, std::ptrdiff_t n) {
                runUnderMxcsr((getMxcsr() & ~kMxcsrRoundingField) | kRoundingModes[mode],
                              [&] { kernel(row, dst, n); });
            };
            expectEverySum<std::int32_t, std::int16_t>(
                "16s mean", taps, taps * -32768LL, taps * 32767LL, bias, run,
                [&, reciprocal = reciprocal](long long s) { return directed(double(s) * reciprocal, mode); });
        }
}

// Every value 17x - S can take: for 8u the floored differences 0 to 4335 (x 120 and 255 against sums from
// 0 up), for 16s everything from 17 x -32768 - 9 x 32767 to 17 x 32767 + 9 x 32768 (x -32768, 0 and 32767
// against every biased sum).
TEST(Rounding, SharpeningDivisionByEightIsHalfToEvenForEveryValue) {
    for (int x : {120, 255}) {
        const long long last = 17 * x - (x == 120 ? 0 : 2040);
        std::vector<std::uint8_t> centre(static_cast<std::size_t>(last + 1), static_cast<std::uint8_t>(x));
        expectEverySum<std::uint16_t, std::uint8_t>(
            "horzSharpen3_8u", 3, 0, last, 0,
            [&](const void* row, void* dst, std::ptrdiff_t n) {
                horzSharpen3_8u_C1(centre.data(), row, dst, n);
            },
            [&](long long s) {
                return saturate<std::uint8_t>(divideNearest(std::max(0LL, 17LL * x - s), 8));
            });
    }
    for (int x : {-32768, 0, 32767}) {
        std::vector<std::int16_t> centre(9 * 65535 + 1, static_cast<std::int16_t>(x));
        expectEverySum<std::int32_t, std::int16_t>(
            "horzSharpen3_16s", 3, 9 * -32768LL, 9 * 32767LL, 98304,
            [&](const void* row, void* dst, std::ptrdiff_t n) {
                horzSharpen3_16s_C1(centre.data(), row, dst, n);
            },
            [&](long long s) { return saturate<std::int16_t>(divideNearest(17LL * x - s, 8)); });
    }
}

} // namespace
} // namespace trov::imaging
