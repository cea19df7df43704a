#pragma once

#include "engine/dsp/VectorPath.h"
#include "engine/io/IOChannel.h"
#include "engine/io/IOPinStereo.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <complex>
#include <cstddef>
#include <cstdint>
#include <limits>
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

// The valid frames of a channel.
inline std::vector<float> framesOf(const IOChannel<float>& channel) {
    return {channel.getData(), channel.getData() + channel.getValidFrames()};
}

// frames samples of a generator rendered in blocks of blockFrames (each block starts empty); fewer when
// a block renders nothing.
template <class Generator>
std::vector<float> rendered(Generator& generator, std::int64_t frames, std::int32_t blockFrames = 256) {
    std::vector<float> values;
    IOChannel<float> block(blockFrames);
    while (std::ssize(values) < frames) {
        block.setValidFrames(0);
        generator.render(block);
        if (block.getValidFrames() == 0)
            break;
        values.insert(values.end(), block.getData(), block.getData() + block.getValidFrames());
    }
    values.resize(std::min(values.size(), static_cast<std::size_t>(frames)));
    return values;
}

// A stereo pin whose channels both hold the values (or, without values, `frames` frames and none valid).
inline IOPinStereo stereoPinOf(const std::vector<float>& values, std::int32_t frames = 0) {
    IOPinStereo pin;
    for (int c = 0; c < 2; ++c)
        pin.setChannel(c, values.empty() ? IOChannel<float>(frames) : channelOf(values));
    return pin;
}

// What an effect's process(in, out) gives for the values, out as large as in.
template <class Effect> std::vector<float> processed(Effect& effect, const std::vector<float>& values) {
    IOChannel<float> in = channelOf(values);
    IOChannel<float> out(in.getSize());
    effect.process(in, out);
    return framesOf(out);
}

// The values followed by the edges every block meets: both zeros, both full scales, values beyond them up
// to the infinities, and NaN.
inline std::vector<float> withEdges(std::vector<float> values) {
    const float inf = std::numeric_limits<float>::infinity();
    for (const float edge :
         {1.0f, -1.0f, 0.0f, -0.0f, inf, -inf, 1e30f, -1e30f, std::numeric_limits<float>::quiet_NaN()})
        values.push_back(edge);
    return values;
}

// How many values `run` gives differently, bit for bit, under the scalar and the vector kernel; the choice
// goes back to automatic afterwards.
template <class Run> std::size_t vectorScalarDifferences(Run&& run) {
    setVectorPath(VectorPath::Scalar);
    const std::vector<float> scalar = run();
    setVectorPath(VectorPath::Vector);
    const std::vector<float> vector = run();
    setVectorPath(VectorPath::Automatic);
    std::size_t differ = scalar.size() == vector.size() ? 0 : 1;
    for (std::size_t i = 0; i < std::min(scalar.size(), vector.size()); ++i)
        differ += std::bit_cast<std::uint32_t>(scalar[i]) != std::bit_cast<std::uint32_t>(vector[i]);
    return differ;
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
