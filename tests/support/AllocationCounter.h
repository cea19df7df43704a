#pragma once

#include <cstdint>

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

} // namespace trov::test
