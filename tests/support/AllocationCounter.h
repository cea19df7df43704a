#pragma once

#include <cstdint>
#include <string>

namespace trov::test {

// Counts heap allocations, for tests and benchmarks that prove a path allocates nothing.
//
// Linking AllocationCounter.cpp into a program installs the counter: in plain builds it replaces the
// global operator new family; under AddressSanitizer or ThreadSanitizer, whose allocators stand in for
// operator new, it registers the sanitizer's malloc hook instead, which also sees malloc, strdup and the
// like. Either way every build counts, the sanitized CI build included.
//
// Thread-safe. The per-thread count is what a guard around an audio-thread path wants: other threads may
// allocate at will meanwhile.
std::uint64_t allocationsOnThisThread() noexcept;
std::uint64_t allocationsInProcess() noexcept;

// The call stack of the first allocation a thread made while watched: what a guard reports when a path
// that must not allocate did. Filled from inside the allocator, so it is a plain array the watcher owns.
struct AllocationSite {
    static constexpr int kMaxFrames = 48;
    void* frames[kMaxFrames];
    int depth = 0;
};

// Records the calling thread's next allocation into `site` (when its depth is still 0); null stops
// watching. Gives the site watched before, for a nested watcher to restore. Unwinding is made ready
// here, so that recording needs no allocation of its own.
AllocationSite* watchAllocationSite(AllocationSite* site) noexcept;

// The site's frames, innermost first, one a line: function, file and line where addr2line finds them,
// else the frame's module and offset. Allocates; for failure messages.
std::string describeAllocationSite(const AllocationSite& site);

} // namespace trov::test
