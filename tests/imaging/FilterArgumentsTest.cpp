#include "SmoothingTestSupport.h"

#include <gtest/gtest.h>

namespace trov::imaging {
namespace {

using namespace testing;

struct Call {
    bool nullSrc = false;
    bool nullDst = false;
    std::int32_t srcStep = 64;
    std::int32_t dstStep = 64;
    std::int32_t width = 4;
    std::int32_t height = 4;
    std::int32_t mask = 33;
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
    CountingHeap heap;
    HeapGuard installed(heap);
    for (int n = 1; n <= 9; ++n) {
        storeVariantIndex(n - 5); // what the public entry (n > 4) sees: indexes 0 to 4
        const FilterGaussFn entry = n <= 4 ? variantEntry(n) : filterGauss_8u_C4;
        for (const Call& call : kBadCalls)
            EXPECT_EQ(callWithUntouchableImages(entry, call), call.expected) << "entry " << n << " mask " << call.mask;
    }
    EXPECT_EQ(heap.allocations, 0);
}

TEST(FilterArguments, StatusCodesHaveTheirFixedValues) {
    EXPECT_EQ(static_cast<int>(FilterStatus::Ok), 0);
    EXPECT_EQ(static_cast<int>(FilterStatus::BadSize), -6);
    EXPECT_EQ(static_cast<int>(FilterStatus::NullPointer), -8);
    EXPECT_EQ(static_cast<int>(FilterStatus::NoMemory), -9);
    EXPECT_EQ(static_cast<int>(FilterStatus::BadStep), -14);
    EXPECT_EQ(static_cast<int>(FilterStatus::BadMask), -33);
    EXPECT_EQ(static_cast<int>(FilterStatus::ProcessorNotRecognised), 20);
    EXPECT_EQ(static_cast<int>(FilterStatus::UnknownProcessorCode), 21);
    EXPECT_EQ(static_cast<int>(SmoothingMask::Mask3x3), 33);
    EXPECT_EQ(static_cast<int>(SmoothingMask::Mask5x5), 55);
}

} // namespace
} // namespace trov::imaging
