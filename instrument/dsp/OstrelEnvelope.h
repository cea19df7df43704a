#pragma once

#include "engine/dsp/EnvelopeDiscreteSloped.h"

namespace trov {

// The VCA and VCF envelope of the emulated machine: attack to a peak, decay to a sustain that holds until
// release, release to silence, in 128 steps. The five controls (0..1) go through the machine's measured
// curves to milliseconds and levels.
//
// Owned by its voice. `setStages` runs at note start (MIDI thread) and everything after it on the audio
// thread: noexcept, no allocation, lock or log.
class OstrelEnvelope : public EnvelopeDiscreteSloped {
public:
    static constexpr std::uint32_t kSteps = 128;

    // What the controls give, before the segments are built.
    struct Stages {
        std::int32_t attackMs;
        float peak;
        std::int32_t decayMs;
        float sustain;
        std::int32_t releaseMs;
    };

    explicit OstrelEnvelope(const Module* owner) : EnvelopeDiscreteSloped(owner, kSteps) {}

    // Controls outside 0..1 (or NaN) count as the nearer end (NaN as 0).
    static Stages stagesOf(float attack, float peak, float decay, float sustain, float release) noexcept;
    // Rebuilds the segments: attack to the peak, decay to the sustain (a jump when the sustain is not below
    // the peak), hold, release to 0. The caller triggers the envelope.
    void setStages(float attack, float peak, float decay, float sustain, float release) noexcept;
};

} // namespace trov
