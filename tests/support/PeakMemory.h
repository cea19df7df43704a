#pragma once

#include <sys/resource.h>

#include <cstdint>

namespace trov::test {

// ThreadSanitizer's shadow memory grows with every byte touched, so peaks say nothing about our code there.
#if defined(__SANITIZE_THREAD__)
constexpr bool kPeakMemoryIsMeaningful = false;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
constexpr bool kPeakMemoryIsMeaningful = false;
#else
constexpr bool kPeakMemoryIsMeaningful = true;
#endif
#else
constexpr bool kPeakMemoryIsMeaningful = true;
#endif

// The most memory the process has held at once, in bytes. It can only under-measure what a step adds
// (memory held before counts too), so a bound on the growth never fails spuriously.
inline std::int64_t peakResidentBytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return std::int64_t{usage.ru_maxrss} * 1024;
}

// How much the peak grew while the step ran; 0 where peaks mean nothing.
template <class Step> std::int64_t peakGrowth(Step&& step) {
    const std::int64_t before = peakResidentBytes();
    step();
    return kPeakMemoryIsMeaningful ? peakResidentBytes() - before : 0;
}

} // namespace trov::test
