#pragma once

#include "framework/Logger.h"
#include "support/AllocationCounter.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace trov::test {

// Fails the running test when the calling thread allocates or asks to log anywhere inside the guard's
// scope: the executable form of the audio-thread rule. Only the guarding thread is watched, so other
// threads of a stress test may allocate meanwhile. The failure shows the call stack of the first
// allocation. Assertions inside the scope allocate themselves; check results after the scope ends.
class AllocationGuard {
public:
    explicit AllocationGuard(const char* what = "the guarded path") : what_(what) {
        outer_ = watchAllocationSite(&site_);
        allocations_ = allocationsOnThisThread();
        logRequests_ = logRequestsOnThisThread();
    }
    AllocationGuard(const AllocationGuard&) = delete;
    AllocationGuard& operator=(const AllocationGuard&) = delete;
    ~AllocationGuard() {
        const std::uint64_t allocated = allocations();
        const std::uint64_t logged = logRequests();
        watchAllocationSite(outer_);
        if (allocated != 0)
            ADD_FAILURE() << what_ << " allocated " << allocated << " time(s), first at\n"
                          << describeAllocationSite(site_);
        if (logged != 0)
            ADD_FAILURE() << what_ << " asked to log " << logged << " line(s)";
    }

    std::uint64_t allocations() const { return allocationsOnThisThread() - allocations_; }
    std::uint64_t logRequests() const { return logRequestsOnThisThread() - logRequests_; }

private:
    const char* what_;
    AllocationSite site_;
    AllocationSite* outer_ = nullptr;
    std::uint64_t allocations_ = 0;
    std::uint64_t logRequests_ = 0;
};

} // namespace trov::test
