#include "SmoothingTestSupport.h"

#include "imaging/PortableSmoothing.h"
#include "imaging/Variant2.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace trov::imaging {
namespace {

using namespace testing;

// Sources sit between inaccessible pages, against the page after them for even n and the page before
// them for odd n. Strided destinations at 8-, 4- and 1-byte offsets take the MMX loop, the MMX loop after
// one scalar element, and the scalar loop alone.
TEST(RowPasses, ThreeByThreeRowSumsFollowTheirFormulaOnEveryPathTouchingOnlyTheirElements) {
    std::mt19937 rng(1);
    alignas(16) std::uint8_t storage[4 * 41 + 16];
    for (std::ptrdiff_t c = 1; c <= 4; ++c)
        for (std::ptrdiff_t n = 1; n <= 41; ++n) {
            GuardedBytes s(static_cast<std::size_t>(n + 2 * c), n % 2 == 0);
            s.fill(rng);
            for (RowSum121Fn pass : {rowSum121, sum121Strided})
                for (std::size_t offset : {0, 4, 1}) {
                    if (pass == rowSum121 && offset != 0)
                        continue;
                    std::memset(storage, 0xAB, sizeof storage);
                    pass(s.data(), reinterpret_cast<std::int32_t*>(storage + offset), n, c);
                    for (std::ptrdiff_t j = 0; j < n; ++j) {
                        std::int32_t value;
                        std::memcpy(&value, storage + offset + 4 * j, 4);
                        ASSERT_EQ(value, s.data()[j] + 2 * s.data()[j + c] + s.data()[j + 2 * c])
                            << "c " << c << " n " << n << " offset " << offset << " j " << j;
                    }
                    const auto untouched = [](std::uint8_t b) { return b == 0xAB; };
                    ASSERT_TRUE(std::all_of(storage, storage + offset, untouched) &&
                                std::all_of(storage + offset + 4 * n, std::end(storage), untouched))
                        << "wrote outside the row, c " << c << " n " << n;
                }
        }
}

TEST(RowPasses, FiveByFiveRowSumsOfBothVariantsFollowTheMaskRows) {
    std::mt19937 rng(4);
    // Widths 1 to 30 cover every tail after the five-pixel passes, including n = 20k + 16.
    for (std::ptrdiff_t width = 1; width <= 30; ++width) {
        const std::ptrdiff_t n = 4 * width;
        GuardedBytes s(static_cast<std::size_t>(n + 16), width % 2 == 0);
        s.fill(rng);
        for (RowSums5x5Fn pass : {rowSums5x5, rowSums5x5Cached}) {
            std::vector<std::int32_t> a(n), b(n), c(n);
            pass(s.data(), a.data(), b.data(), c.data(), n);
            for (std::ptrdiff_t j = 0; j < n; ++j) {
                const int p0 = s.data()[j], p1 = s.data()[j + 4], p2 = s.data()[j + 8], p3 = s.data()[j + 12],
                          p4 = s.data()[j + 16];
                ASSERT_EQ(a[j], 2 * p0 + 7 * p1 + 12 * p2 + 7 * p3 + 2 * p4) << "width " << width << " j " << j;
                ASSERT_EQ(b[j], 7 * p0 + 31 * p1 + 52 * p2 + 31 * p3 + 7 * p4) << "width " << width << " j " << j;
                ASSERT_EQ(c[j], 12 * p0 + 52 * p1 + 127 * p2 + 52 * p3 + 12 * p4) << "width " << width << " j " << j;
            }
        }
    }
}

} // namespace
} // namespace trov::imaging
