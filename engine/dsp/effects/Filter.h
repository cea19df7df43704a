#pragma once

#include "engine/dsp/effects/Effect.h"

namespace trov {

// An effect with a normalised cutoff and a resonance, both within 0.01..0.99; a change recomputes the
// coefficients. Processors only: `render` produces nothing.
//
// Owned by the voice or engine that made it. Settings change between blocks (user-interface or MIDI
// thread); processing runs on the audio thread, noexcept, without allocation, lock or log.
class Filter : public Effect {
public:
    static constexpr float kMinSetting = 0.01f;
    static constexpr float kMaxSetting = 0.99f;

    explicit Filter(const Module* owner) : Effect(owner) {}

    std::int32_t render(IOChannel<float>& out) noexcept override { return out.setValidFrames(0); }

    // Clamped into 0.01..0.99; a changed value is stored and updates the coefficients. NaN is ignored.
    virtual void setResonance(float resonance) noexcept;
    virtual void setCutoff(float cutoff) noexcept;
    float getResonance() const noexcept { return resonance_; }
    float getCutoff() const noexcept { return cutoff_; }

    virtual void updateCoefficients() noexcept {}

private:
    // The clamped value, or the stored one for NaN.
    static float clampSetting(float value, float stored) noexcept;

    float resonance_ = 0.0f;
    float cutoff_ = kMaxSetting;
};

} // namespace trov
