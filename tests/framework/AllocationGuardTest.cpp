#include "support/AllocationGuard.h"
#include "support/LogCapture.h"

#include <gtest/gtest-spi.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

using trov::test::AllocationGuard;

namespace {

// Opaque to the optimiser, so the allocations below really happen.
[[gnu::noinline]] void* escape(void* p) {
    asm volatile("" : : "g"(p) : "memory");
    return p;
}

[[gnu::noinline]] void allocateOnce() {
    delete static_cast<int*>(escape(new int(1)));
}

// Whether a return address of the stack lies inside allocateOnce (a few instructions, well under 1 KiB).
bool holdsAllocateOnce(const trov::test::AllocationSite& site) {
    const auto begin = reinterpret_cast<std::uintptr_t>(&allocateOnce);
    for (int i = 0; i < site.depth; ++i) {
        const auto address = reinterpret_cast<std::uintptr_t>(site.frames[i]);
        if (address > begin && address < begin + 1024)
            return true;
    }
    return false;
}

} // namespace

TEST(AllocationGuard, FailsOnNewAndStringGrowthInsideItsScope) {
    EXPECT_NONFATAL_FAILURE(
        {
            AllocationGuard guard("new");
            delete static_cast<int*>(escape(new int(3)));
        },
        "new allocated 1 time(s)");
    EXPECT_NONFATAL_FAILURE(
        {
            AllocationGuard guard("string");
            std::string text(100, 'x');
            escape(text.data());
        },
        "string allocated");
}

TEST(AllocationGuard, FailsOnALogRequestWithOrWithoutALog) {
    EXPECT_NONFATAL_FAILURE(
        {
            AllocationGuard guard("logging");
            trov::logLine(4, "from the audio thread");
        },
        "logging asked to log 1 line(s)");
    trov::test::LogCapture capture(4);
    EXPECT_NONFATAL_FAILURE(
        {
            AllocationGuard guard("logging");
            trov::logLine(0, "below the threshold");
        },
        "asked to log");
}

TEST(AllocationGuard, IgnoresAllocationsOfOtherThreads) {
    std::atomic<int> phase{0};
    std::thread other([&] {
        while (phase.load() == 0) {
        }
        for (int i = 0; i < 100; ++i)
            delete static_cast<int*>(escape(new int(i)));
        phase.store(2);
    });
    std::uint64_t counted = 1;
    {
        AllocationGuard guard("quiet");
        phase.store(1);
        while (phase.load() != 2) {
        }
        counted = guard.allocations();
    }
    other.join();
    EXPECT_EQ(counted, 0u);
}

TEST(AllocationGuard, RecordsTheCallStackOfTheFirstAllocationAndRestoresAnOuterWatch) {
    using trov::test::AllocationSite;
    using trov::test::watchAllocationSite;
    AllocationSite outer;
    AllocationSite inner;
    AllocationSite* before = watchAllocationSite(&outer);
    EXPECT_EQ(watchAllocationSite(&inner), &outer);
    allocateOnce();
    EXPECT_EQ(watchAllocationSite(&outer), &inner);
    EXPECT_EQ(outer.depth, 0);
    ASSERT_GT(inner.depth, 0);
    EXPECT_TRUE(holdsAllocateOnce(inner));
    watchAllocationSite(before);

    EXPECT_NONFATAL_FAILURE(
        {
            AllocationGuard guard("placing");
            allocateOnce();
        },
        "placing allocated 1 time(s), first at\n  ");
}
