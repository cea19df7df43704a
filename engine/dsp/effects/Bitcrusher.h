#pragma once

#include "engine/dsp/effects/Effect.h"

#include <cstdint>

namespace trov {

// The base of the resolution reducers: every sample is mapped on its own through `quantise`, so the
// crushers keep no state between samples. Subclasses override `process` with their own inlined loop;
// the base's loop calls `quantise` per sample and serves any other member.
// Owned by the voice that chains it; settings on the thread that sets the voice up, `process` and
// `quantise` on the audio thread (noexcept, no allocation).
class Bitcrusher : public Effect {
public:
    // The subclass sets its resolution with its own `setBits`.
    explicit Bitcrusher(const Module* owner) : Effect(owner) {}

    virtual void setBits(std::int32_t bits) noexcept = 0;
    virtual float quantise(float x) const noexcept = 0;

    // Crushers generate nothing.
    std::int32_t render(IOChannel<float>& out) noexcept override { return out.setValidFrames(0); }
    // out[i] = quantise(in[i]) over the input's valid frames (within the output's size).
    std::int32_t process(const IOChannel<float>& in, IOChannel<float>& out) noexcept override;

protected:
    // The frames a block covers: the input's valid frames that fit the output.
    static std::int32_t spanOf(const IOChannel<float>& in, const IOChannel<float>& out) noexcept;
};

} // namespace trov
