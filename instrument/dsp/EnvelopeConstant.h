#pragma once

#include "engine/dsp/Envelope.h"

namespace trov {

// An envelope that is either silent or at one constant level: triggered it holds the level, released or
// stopped it is silent at once. For stages that need an envelope's interface without a curve.
//
// Owned by its voice. Everything but construction runs on the audio thread: noexcept, no allocation, lock
// or log.
class EnvelopeConstant : public Envelope {
public:
    explicit EnvelopeConstant(const Module* owner, float level = 1.0f) : Envelope(owner), level_(level) {}

    void setLevel(float level) noexcept { level_ = level; }
    float getLevel() const noexcept { return level_; }
    float getCurrent() const noexcept { return current_; }

    // Active while at its level.
    bool isActive() const noexcept override { return current_ == level_; }
    void trigger() noexcept override { current_ = level_; }
    float nextValue() noexcept override { return current_; }
    void release() noexcept override { current_ = 0.0f; }
    void stop(bool /*immediate*/) noexcept override { current_ = 0.0f; }
    void reset() noexcept override { current_ = 0.0f; }

    // The channel's valid frames times the level; returns them.
    std::int32_t render(IOChannel<float>& out) noexcept override;
    // out = level x in over the input's valid frames; returns them.
    std::int32_t process(const IOChannel<float>& in, IOChannel<float>& out) noexcept override;

private:
    float current_ = 0.0f;
    float level_;
};

} // namespace trov
