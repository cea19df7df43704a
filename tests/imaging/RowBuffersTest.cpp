#include "SmoothingTestSupport.h"

#include "imaging/AlignedRows.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace trov::imaging {
namespace {

using namespace testing;

TEST(RowBuffers, AreAlignedTo32BytesAndRefuseCountsBelowOneOrBeyondTheAddressSpace) {
    CountingHeap heap;
    HeapGuard installed(heap);
    for (std::ptrdiff_t n : {1, 3, 17, 1000}) {
        std::int32_t* words = alignedAllocInt32(n);
        std::uint8_t* bytes = alignedAllocBytes(n);
        ASSERT_TRUE(words && bytes);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(words) % 32, 0u);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(bytes) % 32, 0u);
        words[n - 1] = 7;
        bytes[n - 1] = 7;
        alignedFree(words);
        alignedFree(bytes);
    }
    EXPECT_EQ(alignedAllocInt32(0), nullptr);
    EXPECT_EQ(alignedAllocBytes(-5), nullptr);
    EXPECT_EQ(alignedAllocInt32(PTRDIFF_MAX), nullptr);
    alignedFree(nullptr);
    EXPECT_EQ(heap.allocations, 8);
    EXPECT_EQ(heap.releases, 8);
}

TEST(RowBuffers, EveryCallTakesOneBlockAndGivesItBackAndARefusalLeavesTheDestinationAlone) {
    std::mt19937 rng(9);
    for (int variant = 1; variant <= 4; ++variant)
        for (SmoothingMask mask : kBothMasks) {
            const Image8u src(12, 3, 2, 0, 0, rng);
            Image8u dst(12, 3, 1, 0, 0, rng);
            const std::vector<unsigned char> before = dst.bytes;
            RefusingHeap refusing;
            {
                HeapGuard installed(refusing);
                EXPECT_EQ(variantEntry(variant)(src.origin(), src.step, dst.origin(), dst.step, 12, 3, mask),
                          FilterStatus::NoMemory);
            }
            EXPECT_EQ(dst.bytes, before);
            EXPECT_EQ(refusing.releases, 0);
            CountingHeap counting;
            HeapGuard installed(counting);
            ASSERT_EQ(variantEntry(variant)(src.origin(), src.step, dst.origin(), dst.step, 12, 3, mask),
                      FilterStatus::Ok);
            EXPECT_EQ(counting.allocations, 1);
            EXPECT_EQ(counting.releases, 1);
        }
}

// Widths whose row buffers exceed 32-bit sizes: the request reaches the heap with its true size, and the
// refusal comes back as NoMemory before the (small) images are touched.
TEST(RowBuffers, SizesBeyond32BitsAreComputedExactlyAndRefusedCleanly) {
    RefusingHeap heap;
    HeapGuard installed(heap);
    std::uint8_t src[64] = {};
    std::uint8_t dst[64] = {};
    const std::int32_t width = INT32_MAX;
    const std::uint64_t n = 4ull * static_cast<std::uint64_t>(width);
    EXPECT_EQ(filterGaussPortable(src + 40, 8, dst, 8, width, 1, SmoothingMask::Mask3x3), FilterStatus::NoMemory);
    EXPECT_EQ(filterGaussPortable(src + 40, 8, dst, 8, width, 1, SmoothingMask::Mask5x5), FilterStatus::NoMemory);
    EXPECT_EQ(filterGaussVariant2(src + 40, 8, dst, 8, width, 1, SmoothingMask::Mask3x3), FilterStatus::NoMemory);
    ASSERT_EQ(heap.requests.size(), 3u);
    EXPECT_EQ(heap.requests[0], 3 * 4 * n);
    EXPECT_EQ(heap.requests[1], 12 * 4 * n);
    EXPECT_EQ(heap.requests[2], 3 * 4 * n);
    EXPECT_EQ(std::count(std::begin(dst), std::end(dst), 0), 64);
}

} // namespace
} // namespace trov::imaging
