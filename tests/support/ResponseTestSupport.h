#pragma once

#include "engine/io/IOChannel.h"

#include <cmath>
#include <complex>
#include <cstdint>
#include <numbers>
#include <vector>
#include <xmmintrin.h>

namespace trov::test {

// Measuring DSP blocks against their closed-form behaviour: sines at exact bin frequencies, the amplitude
// a signal holds at one frequency, and subnormal detection with the processor's flushing turned off.

// Radians per sample of `cycles` whole periods in `frames` samples.
inline double binFrequency(int cycles, int frames) {
    return 2.0 * std::numbers::pi * cycles / frames;
}

inline std::vector<float> sine(std::int64_t frames, double omega, double amplitude = 1.0) {
    std::vector<float> values(static_cast<std::size_t>(frames));
    for (std::int64_t i = 0; i < frames; ++i)
        values[static_cast<std::size_t>(i)] = static_cast<float>(amplitude * std::sin(omega * double(i)));
    return values;
}

// The amplitude of omega in x[0..frames): exact for a sinusoid when frames holds whole periods of it.
inline double amplitudeAt(const float* x, std::int64_t frames, double omega) {
    std::complex<double> sum;
    for (std::int64_t i = 0; i < frames; ++i)
        sum += double(x[i]) * std::polar(1.0, -omega * double(i));
    return 2.0 * std::abs(sum) / double(frames);
}

inline double decibels(double ratio) {
    return 20.0 * std::log10(ratio);
}

inline bool isSubnormal(float value) {
    return std::fpclassify(value) == FP_SUBNORMAL;
}

inline std::int64_t countSubnormals(const float* values, std::int64_t count) {
    std::int64_t found = 0;
    for (std::int64_t i = 0; i < count; ++i)
        found += isSubnormal(values[i]) ? 1 : 0;
    return found;
}

// A channel whose frames (all valid) hold the values.
inline IOChannel<float> channelOf(const std::vector<float>& values) {
    IOChannel<float> channel(static_cast<std::int32_t>(values.size()));
    std::copy(values.begin(), values.end(), channel.getData());
    channel.setValidFrames(static_cast<std::int32_t>(values.size()));
    return channel;
}

// Turns flush-to-zero and denormals-are-zero off on this thread for the scope, so subnormals stay what
// they are (and cost what they cost).
class ScopedSubnormalsKept {
public:
    ScopedSubnormalsKept() : saved_(_mm_getcsr()) { _mm_setcsr(saved_ & ~kFlushBits); }
    ~ScopedSubnormalsKept() { _mm_setcsr(saved_); }
    ScopedSubnormalsKept(const ScopedSubnormalsKept&) = delete;
    ScopedSubnormalsKept& operator=(const ScopedSubnormalsKept&) = delete;

private:
    static constexpr unsigned kFlushBits = 0x8040u; // FTZ (bit 15) and DAZ (bit 6)
    unsigned saved_;
};

} // namespace trov::test
