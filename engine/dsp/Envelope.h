#pragma once

#include "engine/dsp/effects/Effect.h"

namespace trov {

// The base of the envelopes that shape a voice's amplitude and filter over time: an effect with the five
// envelope operations and a pair of limits.
//
// Owned by its voice. Everything but construction runs on the audio thread: noexcept, no allocation,
// lock or log.
class Envelope : public Effect {
public:
    explicit Envelope(const Module* owner) : Effect(owner) {}

    // Lower limit: low when above 0, else 0; upper limit: high when below 1, else 1.
    void setLimits(float low, float high) noexcept;
    float getLowerLimit() const noexcept { return lowerLimit_; }
    float getUpperLimit() const noexcept { return upperLimit_; }

    virtual bool isActive() const noexcept = 0;
    virtual void trigger() noexcept = 0;
    // One step of the curve.
    virtual float nextValue() noexcept = 0;
    virtual void release() noexcept = 0;
    // Immediately silent, or faded out.
    virtual void stop(bool immediate) noexcept = 0;

private:
    float lowerLimit_ = 0.0f;
    float upperLimit_ = 1.0f;
};

} // namespace trov
