#pragma once

#include <xmmintrin.h>

namespace trov {

// Sets flush-to-zero and denormals-are-zero on the calling thread for the scope and restores the caller's
// control word after: a render never slows down on subnormal tails, whatever the host left set. The
// blocks flush their own decaying state too, so results do not depend on the host's setting.
class ScopedFlushDenormals {
public:
    static constexpr unsigned kFlushBits = 0x8040u; // FTZ (bit 15) and DAZ (bit 6)

    ScopedFlushDenormals() noexcept : saved_(_mm_getcsr()) { _mm_setcsr(saved_ | kFlushBits); }
    ~ScopedFlushDenormals() { _mm_setcsr(saved_); }
    ScopedFlushDenormals(const ScopedFlushDenormals&) = delete;
    ScopedFlushDenormals& operator=(const ScopedFlushDenormals&) = delete;

private:
    unsigned saved_;
};

} // namespace trov
