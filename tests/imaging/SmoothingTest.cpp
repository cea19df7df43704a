#include "imaging/AlignedRows.h"
#include "support/SmoothingTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>

namespace trov::imaging {
namespace {

using namespace testing;

std::string describe(int variant, SmoothingMask mask, int width, int height) {
    return "variant " + std::to_string(variant) + " mask " + std::to_string(static_cast<int>(mask)) + " " +
           std::to_string(width) + "x" + std::to_string(height);
}

// One call per variant, size and rounding mode (the odd modes with overflow, underflow and inexact
// unmasked), then the same call with its row block refused. Equal to the reference means byte-identical
// to each other too. The source neighbourhood is packed between inaccessible pages, against the page after
// it for even widths and before it for odd ones; destination rows start at every offset modulo 16, and
// steps of 4-byte multiples alternate aligned and unaligned rows; heights up to 40 take the 5x5 row rings
// through whole cycles.
TEST(Smoothing, EveryVariantMatchesTheReferenceReadingOnlyItsNeighbourhoodAndLeavingMxcsrAsItWas) {
    std::mt19937 rng(1234);
    std::vector<std::pair<int, int>> sizes;
    for (int width = 1; width <= 70; ++width)
        sizes.emplace_back(width, 1 + width % 4);
    sizes.insert(sizes.end(), {{257, 9}, {1000, 2}, {96, 40}});
    const std::uint32_t base = getMxcsr() & ~kMxcsrRoundingField;
    for (SmoothingMask mask : kBothMasks)
        for (const auto& [width, height] : sizes) {
            const int r = maskRadius(mask);
            const Image8u src(width, height, r, 4 * (width % 3), 0, rng);
            const std::vector<std::uint8_t> expected = referenceSmooth(src, mask);
            const std::size_t lead = src.offsetOf(-r, -r, 0),
                              size = src.offsetOf(width + r, height + r - 1, 0) - lead;
            GuardedBytes guarded(size, width % 2 == 0);
            std::memcpy(guarded.data(), &src.bytes[lead], size);
            const std::uint8_t* origin = guarded.data() + (src.first - lead);
            for (int variant = 1; variant <= 4; ++variant)
                for (int m = 0; m < 4; ++m)
                    for (bool refuse : {false, true}) {
                        TestHeap heap(refuse);
                        Image8u dst(width, height, 1, 4 * ((width + m) % 5), (width + 5 * m) % 16, rng);
                        const std::vector<unsigned char> before = dst.bytes;
                        const std::uint32_t mxcsr = (base | kRoundingModes[m]) & ~(m % 2 ? 0x1C00u : 0u);
                        FilterStatus status = FilterStatus::BadMask;
                        const std::uint32_t after = runUnderMxcsr(mxcsr, [&, width = width, height = height] {
                            status = variantEntry(variant)(origin, src.step, dst.origin(), dst.step, width,
                                                           height, mask);
                        });
                        const std::string what = describe(variant, mask, width, height) + " mode " +
                                                 std::to_string(m) + (refuse ? " refused" : "");
                        ASSERT_EQ(after & kControlBits, mxcsr & kControlBits) << what;
                        ASSERT_EQ(heap.requests.size(), 1u) << what << ": one row block per call";
                        ASSERT_EQ(heap.releases, refuse ? 0 : 1) << what;
                        if (refuse) {
                            ASSERT_EQ(status, FilterStatus::NoMemory) << what;
                            ASSERT_EQ(dst.bytes, before) << what;
                        } else {
                            ASSERT_EQ(status, FilterStatus::Ok) << what;
                            ASSERT_EQ(dst.rectangle(), expected) << what;
                            ASSERT_TRUE(dst.changedOnlyInside(before)) << what;
                        }
                    }
        }
}

// The SSE2 3x3 driver re-reads source rows after writing the rows above them, so its calls also run with
// the destination one row below the source, overlapping rows still to be read.
TEST(Smoothing, InPlaceAndOverlappingCallsEqualSeparateImageCalls) {
    std::mt19937 rng(5);
    for (int variant = 1; variant <= 4; ++variant)
        for (SmoothingMask mask : kBothMasks)
            for (int width : {1, 2, 5, 16, 33, 70})
                for (int height : {1, 2, 7})
                    for (int below : {0, 1}) {
                        if (below == 1 && (variant < 3 || mask == SmoothingMask::Mask5x5))
                            continue;
                        Image8u image(width, height + below, maskRadius(mask), 8, width % 16, rng);
                        Image8u view = image; // the source rectangle, then the written one
                        view.height = height;
                        const std::vector<std::uint8_t> expected = referenceSmooth(view, mask);
                        ASSERT_EQ(variantEntry(variant)(image.origin(), image.step,
                                                        image.origin() + below * image.step, image.step,
                                                        width, height, mask),
                                  FilterStatus::Ok);
                        view.bytes = image.bytes;
                        view.first += static_cast<std::size_t>(below * image.step);
                        EXPECT_EQ(view.rectangle(), expected) << describe(variant, mask, width, height)
                                                              << (below ? " one row below" : " in place");
                    }
}

// Every variant gives the same bytes, so which one ran shows in the size of the row block it asks for
// (variants 1 and 2 ask for other sizes than 3 and 4).
TEST(Smoothing, PublicEntryRunsTheSelectedVariantAndVariantOneForIndexesWithoutOne) {
    VariantIndexGuard restore;
    std::mt19937 rng(3);
    const Image8u src(23, 5, 2, 0, 0, rng);
    auto requestsOf = [&](FilterGaussFn entry, SmoothingMask mask) {
        TestHeap heap(true);
        Image8u dst(23, 5, 0, 0, 0, rng);
        EXPECT_EQ(entry(src.origin(), src.step, dst.origin(), dst.step, 23, 5, mask), FilterStatus::NoMemory);
        return heap.requests;
    };
    for (std::int32_t index : {0, 1, 2, 3, 4, 7, -1})
        for (SmoothingMask mask : kBothMasks) {
            storeVariantIndex(index);
            Image8u dst(23, 5, 1, 0, 0, rng);
            ASSERT_EQ(filterGauss_8u_C4(src.origin(), src.step, dst.origin(), dst.step, 23, 5, mask),
                      FilterStatus::Ok);
            EXPECT_EQ(dst.rectangle(), referenceSmooth(src, mask)) << "index " << index;
            const int variant = index >= 1 && index <= 4 ? index : 1;
            EXPECT_EQ(requestsOf(filterGauss_8u_C4, mask), requestsOf(variantEntry(variant), mask))
                << "index " << index;
        }
}

struct Call {
    bool nullSrc = false, nullDst = false;
    std::int32_t srcStep = 64, dstStep = 64, width = 4, height = 4, mask = 33;
    FilterStatus expected = FilterStatus::Ok;
};

// Images whose every byte lies in an inaccessible page: a call that read or wrote anything would fault.
FilterStatus callWithUntouchableImages(FilterGaussFn entry, const Call& call) {
    static GuardedBytes untouchable(1, true);
    std::uint8_t* beyond = untouchable.data() + 1;
    return entry(call.nullSrc ? nullptr : beyond, call.srcStep, call.nullDst ? nullptr : beyond, call.dstStep,
                 call.width, call.height, static_cast<SmoothingMask>(call.mask));
}

const Call kBadCalls[] = {
    // The first failing check decides, in the order pointer, size, step, mask.
    {.nullSrc = true, .width = 0, .expected = FilterStatus::NullPointer},
    {.nullDst = true, .srcStep = 0, .mask = 44, .expected = FilterStatus::NullPointer},
    {.nullSrc = true, .nullDst = true, .expected = FilterStatus::NullPointer},
    {.srcStep = 0, .width = 0, .expected = FilterStatus::BadSize},
    {.height = 0, .mask = 44, .expected = FilterStatus::BadSize},
    {.width = -3, .expected = FilterStatus::BadSize},
    {.height = INT32_MIN, .expected = FilterStatus::BadSize},
    {.srcStep = 0, .mask = 44, .expected = FilterStatus::BadStep},
    {.srcStep = -64, .expected = FilterStatus::BadStep},
    {.dstStep = 0, .expected = FilterStatus::BadStep},
    {.dstStep = -1, .mask = 55, .expected = FilterStatus::BadStep},
    {.mask = 0, .expected = FilterStatus::BadMask},
    {.mask = 3, .expected = FilterStatus::BadMask},
    {.mask = 5, .expected = FilterStatus::BadMask},
    {.mask = 44, .expected = FilterStatus::BadMask},
    {.mask = -33, .expected = FilterStatus::BadMask},
    {.mask = 35, .expected = FilterStatus::BadMask},
};

// Variants 1 to 4 directly, then the public entry under every variant index, 0 included.
TEST(FilterArguments, EveryEntryReportsTheFirstFailingCheckWithoutTouchingMemory) {
    VariantIndexGuard restore;
    TestHeap heap;
    for (int n = 1; n <= 9; ++n) {
        storeVariantIndex(n - 5); // what the public entry (n > 4) sees: indexes 0 to 4
        const FilterGaussFn entry = n <= 4 ? variantEntry(n) : filterGauss_8u_C4;
        for (const Call& call : kBadCalls)
            EXPECT_EQ(callWithUntouchableImages(entry, call), call.expected)
                << "entry " << n << " mask " << call.mask;
    }
    EXPECT_TRUE(heap.requests.empty());
}

TEST(FilterArguments, StatusAndMaskCodesHaveTheirFixedValues) {
    using S = FilterStatus;
    const std::pair<S, int> codes[] = {{S::Ok, 0},
                                       {S::BadSize, -6},
                                       {S::NullPointer, -8},
                                       {S::NoMemory, -9},
                                       {S::BadStep, -14},
                                       {S::BadMask, -33},
                                       {S::ProcessorNotRecognised, 20},
                                       {S::UnknownProcessorCode, 21}};
    for (const auto& [status, code] : codes)
        EXPECT_EQ(static_cast<int>(status), code);
    EXPECT_EQ(static_cast<int>(SmoothingMask::Mask3x3), 33);
    EXPECT_EQ(static_cast<int>(SmoothingMask::Mask5x5), 55);
}

TEST(RowBuffers, AreAlignedTo32BytesAndRefuseCountsBelowOneOrBeyondTheAddressSpace) {
    TestHeap heap;
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
    EXPECT_EQ(heap.requests.size(), 8u);
    EXPECT_EQ(heap.releases, 8);
}

// Widths whose row buffers exceed 32-bit sizes: the request reaches the heap with its true size, and the
// refusal comes back as NoMemory before the (small) images are touched.
TEST(RowBuffers, SizesBeyond32BitsAreComputedExactlyAndRefusedCleanly) {
    TestHeap heap(true);
    std::uint8_t src[64] = {};
    std::uint8_t dst[64] = {};
    const std::int32_t width = INT32_MAX;
    const std::uint64_t n = 4ull * static_cast<std::uint64_t>(width);
    EXPECT_EQ(filterGaussPortable(src + 40, 8, dst, 8, width, 1, SmoothingMask::Mask3x3),
              FilterStatus::NoMemory);
    EXPECT_EQ(filterGaussPortable(src + 40, 8, dst, 8, width, 1, SmoothingMask::Mask5x5),
              FilterStatus::NoMemory);
    EXPECT_EQ(filterGaussVariant2(src + 40, 8, dst, 8, width, 1, SmoothingMask::Mask3x3),
              FilterStatus::NoMemory);
    ASSERT_EQ(heap.requests.size(), 3u);
    EXPECT_EQ(heap.requests[0], 3 * 4 * n);
    EXPECT_EQ(heap.requests[1], 12 * 4 * n);
    EXPECT_EQ(heap.requests[2], 3 * 4 * n);
    EXPECT_EQ(std::count(std::begin(dst), std::end(dst), 0), 64);
}

} // namespace
} // namespace trov::imaging
