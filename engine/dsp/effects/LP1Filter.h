#pragma once

#include "engine/dsp/effects/Filter.h"

namespace trov {

// A one-pole low-pass: y = (1 - a) x + a y1, with a = (1 - (2^(10 cutoff) - 0.99) / 1024)^2, from about
// 0.0046 at cutoff 0.99 (nearly open) to about 0.99984 at 0.01. The emulated voice's preamp filter.
//
// Owned by the voice that made it; `reset` and `process` run on the audio thread.
class LP1Filter : public Filter {
public:
    explicit LP1Filter(const Module* owner);

    void updateCoefficients() noexcept override;
    void reset() noexcept override { y1_ = 0.0f; }
    // Over the input's valid frames (within the output's size); in place allowed. A state left NaN or
    // infinite by the block is cleared after it.
    std::int32_t process(const IOChannel<float>& in, IOChannel<float>& out) noexcept override;

    float getCoefficient() const noexcept { return a_; }

private:
    float a_ = 0.0f;
    float y1_ = 0.0f;
};

} // namespace trov
