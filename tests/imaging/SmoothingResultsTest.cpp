#include "SmoothingTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace trov::imaging {
namespace {

using namespace testing;

std::string describe(int variant, SmoothingMask mask, int width, int height) {
    return "variant " + std::to_string(variant) + " mask " + std::to_string(static_cast<int>(mask)) + " " +
           std::to_string(width) + "x" + std::to_string(height);
}

// Equal to the reference means byte-identical to each other too. Destination rows start at every offset
// modulo 16, and steps of 4-byte multiples alternate aligned and unaligned rows; heights up to 40 take
// the 5x5 row rings through whole cycles. Every byte outside the destination rectangle is checked, and
// the caller's MXCSR controls.
TEST(Smoothing, EveryVariantMatchesTheReferenceForEveryWidthAlignmentAndRoundingMode) {
    std::mt19937 rng(1234);
    std::vector<std::pair<int, int>> sizes;
    for (int width = 1; width <= 70; ++width)
        sizes.emplace_back(width, 1 + width % 4);
    sizes.insert(sizes.end(), {{257, 9}, {1000, 2}, {96, 40}});
    const std::uint32_t base = getMxcsr() & ~kMxcsrRoundingField;
    for (SmoothingMask mask : kBothMasks)
        for (const auto& [width, height] : sizes) {
            const Image8u src(width, height, maskRadius(mask), 4 * (width % 3), static_cast<int>(rng() % 16), rng);
            const std::vector<std::uint8_t> expected = referenceSmooth(src, mask);
            for (int variant = 1; variant <= 4; ++variant)
                for (int m = 0; m < 4; ++m) {
                    Image8u dst(width, height, 1, 4 * ((width + m) % 5), (width + 5 * m) % 16, rng);
                    const std::vector<unsigned char> before = dst.bytes;
                    const std::uint32_t mxcsr = base | kRoundingModes[m];
                    FilterStatus status = FilterStatus::BadMask;
                    const std::uint32_t after = runUnderMxcsr(mxcsr, [&] {
                        status = variantEntry(variant)(src.origin(), src.step, dst.origin(), dst.step, width, height,
                                                       mask);
                    });
                    const std::string what = describe(variant, mask, width, height) + " mode " + std::to_string(m);
                    ASSERT_EQ(status, FilterStatus::Ok) << what;
                    ASSERT_EQ(after & kControlBits, mxcsr & kControlBits) << what;
                    ASSERT_EQ(dst.rectangle(), expected) << what;
                    ASSERT_TRUE(dst.changedOnlyInside(before)) << what;
                }
        }
}

TEST(Smoothing, InPlaceCallsEqualSeparateImageCalls) {
    std::mt19937 rng(5);
    for (int variant = 1; variant <= 4; ++variant)
        for (SmoothingMask mask : kBothMasks)
            for (int width : {1, 2, 5, 16, 33, 70})
                for (int height : {1, 2, 7}) {
                    Image8u image(width, height, maskRadius(mask), 8, width % 16, rng);
                    const std::vector<std::uint8_t> expected = referenceSmooth(image, mask);
                    ASSERT_EQ(variantEntry(variant)(image.origin(), image.step, image.origin(), image.step, width,
                                                    height, mask),
                              FilterStatus::Ok);
                    EXPECT_EQ(image.rectangle(), expected) << describe(variant, mask, width, height);
                }
}

// The source neighbourhood packed tightly between two inaccessible pages: one byte read outside it faults.
TEST(Smoothing, ReadsNothingOutsideTheSourceNeighbourhood) {
    std::mt19937 rng(11);
    for (int variant = 1; variant <= 4; ++variant)
        for (SmoothingMask mask : kBothMasks)
            for (int width : {1, 2, 3, 4, 5, 7, 8, 15, 16, 17, 19, 20, 21, 33, 64})
                for (bool tailAligned : {false, true}) {
                    const int r = maskRadius(mask);
                    const int height = 1 + width % 3;
                    const std::int32_t step = 4 * (width + 2 * r);
                    GuardedBytes bytes(static_cast<std::size_t>(step) * (height + 2 * r), tailAligned);
                    bytes.fill(rng);
                    std::vector<std::uint8_t> dst(static_cast<std::size_t>(4) * width * height);
                    ASSERT_EQ(variantEntry(variant)(bytes.data() + r * step + 4 * r, step, dst.data(), 4 * width,
                                                    width, height, mask),
                              FilterStatus::Ok)
                        << describe(variant, mask, width, height);
                }
}

// Every variant gives the same bytes, so which one ran shows in the size of the row block it asks for
// (variants 1 and 2 ask for other sizes than 3 and 4).
TEST(Smoothing, PublicEntryRunsTheSelectedVariantAndVariantOneForIndexesWithoutOne) {
    VariantIndexGuard restore;
    std::mt19937 rng(3);
    const Image8u src(23, 5, 2, 0, 0, rng);
    auto requestsOf = [&](FilterGaussFn entry, SmoothingMask mask) {
        RefusingHeap heap;
        HeapGuard installed(heap);
        Image8u dst(23, 5, 0, 0, 0, rng);
        EXPECT_EQ(entry(src.origin(), src.step, dst.origin(), dst.step, 23, 5, mask), FilterStatus::NoMemory);
        return heap.requests;
    };
    for (std::int32_t index : {0, 1, 2, 3, 4, 7, -1})
        for (SmoothingMask mask : kBothMasks) {
            storeVariantIndex(index);
            Image8u dst(23, 5, 1, 0, 0, rng);
            ASSERT_EQ(filterGauss_8u_C4(src.origin(), src.step, dst.origin(), dst.step, 23, 5, mask), FilterStatus::Ok);
            EXPECT_EQ(dst.rectangle(), referenceSmooth(src, mask)) << "index " << index;
            const int variant = index >= 1 && index <= 4 ? index : 1;
            EXPECT_EQ(requestsOf(filterGauss_8u_C4, mask), requestsOf(variantEntry(variant), mask)) << "index " << index;
        }
}

} // namespace
} // namespace trov::imaging
