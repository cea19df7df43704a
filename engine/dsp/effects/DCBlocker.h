#pragma once

#include "engine/dsp/effects/Filter.h"

namespace trov {

// Removes the DC offset of a signal: y = x - x1 + R y1, a zero at DC and a pole R just inside it (the last
// stage of the emulated voice). R is 0.99 at 44.1 kHz and follows the host's rate so that the corner stays
// at the same frequency (about 70 Hz) at every rate. Cutoff and resonance do not change it.
//
// Owned by the voice that made it; `reset` and `process` run on the audio thread, the rate changes between
// blocks (`update`, noexcept and allocation-free).
class DCBlocker : public Filter {
public:
    static constexpr float kPole = 0.99f;
    static constexpr int kPoleRate = 44100;

    explicit DCBlocker(const Module* owner);

    void reset() noexcept override;
    // Over the input's valid frames (within the output's size); in place allowed. A state left NaN or
    // infinite by the block is cleared after it.
    std::int32_t process(const IOChannel<float>& in, IOChannel<float>& out) noexcept override;
    // The pole for the current rate.
    void update() noexcept override;

    float getPole() const noexcept { return pole_; }
    // kPole at kPoleRate; at another rate the pole whose decay per second is the same.
    static float poleFor(int sampleRate) noexcept;

private:
    float pole_ = kPole;
    float x1_ = 0.0f; // previous input
    float y1_ = 0.0f; // previous output
};

} // namespace trov
