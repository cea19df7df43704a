#pragma once

#include "engine/dsp/effects/Filter.h"

namespace trov {

// Removes the DC offset of a signal: y = x - x1 + 0.99 y1, a zero at DC and a pole just inside it (the
// last stage of the emulated voice). Cutoff and resonance do not change it.
//
// Owned by the voice that made it; `reset` and `process` run on the audio thread.
class DCBlocker : public Filter {
public:
    static constexpr float kPole = 0.99f;

    explicit DCBlocker(const Module* owner);

    void reset() noexcept override;
    // Over the input's valid frames (within the output's size); in place allowed.
    std::int32_t process(const IOChannel<float>& in, IOChannel<float>& out) noexcept override;

private:
    float x1_ = 0.0f; // previous input
    float y1_ = 0.0f; // previous output
};

} // namespace trov
