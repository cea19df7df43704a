#pragma once

#include <cstdint>

namespace trov {

// A 2x decimator: a one-coefficient polyphase IIR half-band filter that turns two internal samples into
// one output sample. The even input passes straight, the odd one through a first-order all-pass
// A(z) = (k + z^-1) / (1 + k z^-1) at the output rate, and the two are averaged. The wavetable oscillators
// use it after oversampling, the wavetable builder to derive each half-length level.
//
// A plain value owned by its oscillator or table; `decimate` runs on the audio thread (noexcept, no
// allocation).
class OversamplingFilter {
public:
    static constexpr double kDefaultTransition = 0.49;

    OversamplingFilter() = default;
    virtual ~OversamplingFilter() = default;
    OversamplingFilter(const OversamplingFilter&) = default;
    OversamplingFilter& operator=(const OversamplingFilter&) = default;

    // Designs the coefficient for a transition width relative to the output rate, inside (0, 0.5); other
    // widths are refused (false) and leave the coefficient alone. The states stay as they are.
    bool design(double transition = kDefaultTransition) noexcept;
    // n output samples from 2n input samples; out may be in (each output is written after its pair is read).
    void decimate(float* out, const float* in, std::int32_t n) noexcept;
    // Clears the states.
    void reset() noexcept {
        x1_ = 0.0f;
        y1_ = 0.0f;
    }

    float getCoefficient() const noexcept { return k_; }

private:
    float k_ = 0.0f;
    float x1_ = 0.0f; // previous odd input
    float y1_ = 0.0f; // previous all-pass output
};

} // namespace trov
