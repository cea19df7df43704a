#include "instrument/dsp/OstrelEnvelope.h"

#include "engine/dsp/FloatIndex.h"
#include "instrument/InstrumentGlobals.h"

#include <algorithm>

namespace trov {

namespace {

inline float control(float x) noexcept {
    return clampPosition(x, 0.0f, 1.0f);
}

} // namespace

OstrelEnvelope::Stages OstrelEnvelope::stagesOf(float attack, float peak, float decay, float sustain,
                                                float release) noexcept {
    const InstrumentTables& tables = instrumentTables();
    return {roundToInt(tables.attack.lookup(control(attack))), tables.peak.lookup(control(peak)) * 0.001f,
            roundToInt(tables.decay.lookup(control(decay))), tables.sustain.lookup(control(sustain)) * 0.001f,
            roundToInt(tables.release.lookup(control(release)))};
}

void OstrelEnvelope::setStages(float attack, float peak, float decay, float sustain, float release) noexcept {
    const Stages stages = stagesOf(attack, peak, decay, sustain, release);
    reset();
    // A sustain above the peak lifts the attack's output to it; the decay then jumps (a length of -1).
    const float attackScale = stages.peak > 0.0f ? std::max(stages.sustain / stages.peak, 1.0f) : 1.0f;
    addSegment(stages.peak, stages.attackMs, attackScale, false);
    addSegment(stages.sustain, stages.peak > stages.sustain ? stages.decayMs : -1, 1.0f, true);
    addSegment(0.0f, stages.releaseMs, 1.0f, false);
}

} // namespace trov
