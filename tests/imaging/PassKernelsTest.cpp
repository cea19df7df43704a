#include "SmoothingTestSupport.h"

#include "imaging/PortableSmoothing.h"
#include "imaging/Variant2.h"

#include <gtest/gtest.h>

namespace trov::imaging {
namespace {

using namespace testing;

std::vector<std::uint8_t> randomBytes(std::size_t n, std::mt19937& rng) {
    std::vector<std::uint8_t> bytes(n);
    for (auto& b : bytes)
        b = static_cast<std::uint8_t>(rng());
    return bytes;
}

TEST(RowPasses, RowSums121FollowTheirFormulaForEveryChannelCount) {
    std::mt19937 rng(1);
    for (std::ptrdiff_t c = 1; c <= 4; ++c)
        for (std::ptrdiff_t n = 1; n <= 41; ++n) {
            const auto s = randomBytes(static_cast<std::size_t>(n + 2 * c), rng);
            std::vector<std::int32_t> portable(static_cast<std::size_t>(n)), strided(static_cast<std::size_t>(n));
            rowSum121(s.data(), portable.data(), n, c);
            sum121Strided(s.data(), strided.data(), n, c);
            for (std::ptrdiff_t j = 0; j < n; ++j) {
                const int expected = s[j] + 2 * s[j + c] + s[j + 2 * c];
                ASSERT_EQ(portable[j], expected) << "c " << c << " n " << n << " j " << j;
                ASSERT_EQ(strided[j], expected) << "c " << c << " n " << n << " j " << j;
            }
        }
}

TEST(RowPasses, StridedSumsAreTheSameOnTheMmxAndScalarPaths) {
    std::mt19937 rng(2);
    const auto s = randomBytes(200, rng);
    // Destinations at 8-byte, 4-byte and 1-byte offsets take the MMX loop, the MMX loop after one scalar
    // element, and the scalar loop alone.
    alignas(16) std::uint8_t storage[4 * 64 + 16];
    for (std::size_t offset : {0, 4, 1, 2}) {
        for (std::ptrdiff_t n : {1, 2, 3, 4, 5, 8, 9, 31, 48}) {
            auto* dst = reinterpret_cast<std::int32_t*>(storage + offset);
            std::memset(storage, 0xAB, sizeof storage);
            sum121Strided(s.data(), dst, n, 4);
            for (std::ptrdiff_t j = 0; j < n; ++j) {
                std::int32_t value;
                std::memcpy(&value, storage + offset + 4 * j, 4);
                ASSERT_EQ(value, s[j] + 2 * s[j + 4] + s[j + 8]) << "offset " << offset << " n " << n;
            }
            EXPECT_EQ(storage[offset + 4 * n], 0xAB) << "wrote past the row, offset " << offset << " n " << n;
        }
    }
}

TEST(RowPasses, StridedSumsReadNothingPastTheLastTap) {
    std::mt19937 rng(3);
    for (std::ptrdiff_t n : {1, 2, 4, 6, 8, 13}) {
        GuardedBytes bytes(static_cast<std::size_t>(n + 8), true);
        for (std::size_t i = 0; i < bytes.size(); ++i)
            bytes.data()[i] = static_cast<std::uint8_t>(rng());
        std::vector<std::int32_t> out(static_cast<std::size_t>(n));
        sum121Strided(bytes.data(), out.data(), n, 4);
        EXPECT_EQ(out[n - 1], bytes.data()[n - 1] + 2 * bytes.data()[n + 3] + bytes.data()[n + 7]);
    }
}

TEST(RowPasses, FiveByFiveRowSumsOfBothVariantsFollowTheMaskRows) {
    std::mt19937 rng(4);
    // Widths 1 to 30 cover every tail after the five-pixel passes, including n = 20k + 16.
    for (std::ptrdiff_t width = 1; width <= 30; ++width) {
        const std::ptrdiff_t n = 4 * width;
        const auto s = randomBytes(static_cast<std::size_t>(n + 16), rng);
        std::vector<std::int32_t> a1(n), b1(n), c1(n), a2(n), b2(n), c2(n);
        rowSums5x5(s.data(), a1.data(), b1.data(), c1.data(), n);
        rowSums5x5Cached(s.data(), a2.data(), b2.data(), c2.data(), n);
        for (std::ptrdiff_t j = 0; j < n; ++j) {
            const int p0 = s[j], p1 = s[j + 4], p2 = s[j + 8], p3 = s[j + 12], p4 = s[j + 16];
            const int a = 2 * p0 + 7 * p1 + 12 * p2 + 7 * p3 + 2 * p4;
            const int b = 7 * p0 + 31 * p1 + 52 * p2 + 31 * p3 + 7 * p4;
            const int c = 12 * p0 + 52 * p1 + 127 * p2 + 52 * p3 + 12 * p4;
            ASSERT_EQ(a1[j], a);
            ASSERT_EQ(b1[j], b);
            ASSERT_EQ(c1[j], c);
            ASSERT_EQ(a2[j], a) << "width " << width << " j " << j;
            ASSERT_EQ(b2[j], b);
            ASSERT_EQ(c2[j], c);
        }
    }
}

TEST(RowPasses, FiveByFiveRowSumsOfAllBrightRowsReachTheRowWeights) {
    const std::vector<std::uint8_t> s(4 * 7 + 16, 255);
    std::vector<std::int32_t> a(28), b(28), c(28);
    rowSums5x5Cached(s.data(), a.data(), b.data(), c.data(), 28);
    EXPECT_EQ(a[27], 30 * 255);
    EXPECT_EQ(b[0], 128 * 255);
    EXPECT_EQ(c[13], 255 * 255);
}

} // namespace
} // namespace trov::imaging
