#include "SmoothingTestSupport.h"

#include "imaging/PortableSmoothing.h"
#include "imaging/Variant2.h"

#include <gtest/gtest.h>

namespace trov::imaging {
namespace {

using namespace testing;

constexpr std::int32_t kLargest3x3Sum = 16 * 255;
constexpr std::int32_t kLargest5x5Sum = 571 * 255;

using Column3Fn = void (*)(const std::int32_t*, const std::int32_t*, const std::int32_t*, std::uint8_t*,
                           std::ptrdiff_t);

// Feeds every sum of the range through a column kernel, once as one long row and once an element at a time
// (so that the tail paths see every value too).
void expectEvery3x3SumRounded(Column3Fn column) {
    const std::size_t n = kLargest3x3Sum + 1;
    std::vector<std::int32_t> sums(n), zeros(n, 0), halves(n);
    for (std::size_t t = 0; t < n; ++t) {
        sums[t] = static_cast<std::int32_t>(t);
        halves[t] = static_cast<std::int32_t>(t / 4); // the same t spread over the three rows
    }
    std::vector<std::uint8_t> out(n), spread(n), single(n);
    std::vector<std::int32_t> rest(n);
    for (std::size_t t = 0; t < n; ++t)
        rest[t] = sums[t] - 3 * halves[t];
    column(sums.data(), zeros.data(), zeros.data(), out.data(), static_cast<std::ptrdiff_t>(n));
    column(halves.data(), halves.data(), rest.data(), spread.data(), static_cast<std::ptrdiff_t>(n));
    for (std::size_t t = 0; t < n; ++t)
        column(&sums[t], &zeros[t], &zeros[t], &single[t], 1);
    for (std::size_t t = 0; t < n; ++t) {
        ASSERT_EQ(out[t], divide16HalfToEven(static_cast<std::int64_t>(t))) << "t " << t;
        ASSERT_EQ(spread[t], out[t]) << "t " << t;
        ASSERT_EQ(single[t], out[t]) << "t " << t;
    }
}

using Column5Fn = void (*)(const std::int32_t*, const std::int32_t*, const std::int32_t*, const std::int32_t*,
                           const std::int32_t*, std::uint8_t*, std::ptrdiff_t);

void expectEvery5x5SumRounded(Column5Fn column) {
    const std::size_t n = kLargest5x5Sum + 1;
    std::vector<std::int32_t> sums(n), zeros(n, 0), fifths(n), rest(n);
    for (std::size_t s = 0; s < n; ++s) {
        sums[s] = static_cast<std::int32_t>(s);
        fifths[s] = static_cast<std::int32_t>(s / 5);
        rest[s] = sums[s] - 4 * fifths[s];
    }
    std::vector<std::uint8_t> out(n), spread(n), single(n);
    column(sums.data(), zeros.data(), zeros.data(), zeros.data(), zeros.data(), out.data(),
           static_cast<std::ptrdiff_t>(n));
    column(fifths.data(), fifths.data(), rest.data(), fifths.data(), fifths.data(), spread.data(),
           static_cast<std::ptrdiff_t>(n));
    for (std::size_t s = 0; s < n; ++s)
        column(&zeros[s], &zeros[s], &sums[s], &zeros[s], &zeros[s], &single[s], 1);
    for (std::size_t s = 0; s < n; ++s) {
        ASSERT_EQ(out[s], divide571Nearest(static_cast<std::int64_t>(s))) << "s " << s;
        ASSERT_EQ(spread[s], out[s]) << "s " << s;
        ASSERT_EQ(single[s], out[s]) << "s " << s;
    }
}

TEST(Rounding, ThreeByThreeColumnSumsRoundHalfToEvenOverTheWholeRange) {
    expectEvery3x3SumRounded(columnSum121Round);
    expectEvery3x3SumRounded(columnSum121Round2);
}

TEST(Rounding, FiveByFiveColumnSumsRoundToNearestOverTheWholeRange) {
    expectEvery5x5SumRounded(columnSum5x5Round);
    expectEvery5x5SumRounded(columnSum5x5Round2);
}

TEST(Rounding, WorkedValuesOfBothDivisions) {
    EXPECT_EQ(roundDiv16HalfEven(8), 0);
    EXPECT_EQ(roundDiv16HalfEven(9), 1);
    EXPECT_EQ(roundDiv16HalfEven(24), 2);
    EXPECT_EQ(roundDiv16HalfEven(40), 2);
    EXPECT_EQ(roundDiv16HalfEven(56), 4);
    EXPECT_EQ(roundDiv16HalfEven(4080), 255);
    EXPECT_EQ(roundDiv571(285), 0);
    EXPECT_EQ(roundDiv571(286), 1);
    EXPECT_EQ(roundDiv571(856), 1);
    EXPECT_EQ(roundDiv571(857), 2);
    EXPECT_EQ(roundDiv571(571 * 255), 255);
}

} // namespace
} // namespace trov::imaging
