#include "engine/dsp/effects/Filter.h"

#include <algorithm>
#include <cmath>

namespace trov {

float Filter::clampSetting(float value, float stored) noexcept {
    return std::isnan(value) ? stored : std::clamp(value, kMinSetting, kMaxSetting);
}

void Filter::setResonance(float resonance) noexcept {
    const float clamped = clampSetting(resonance, resonance_);
    if (clamped == resonance_)
        return;
    resonance_ = clamped;
    updateCoefficients();
}

void Filter::setCutoff(float cutoff) noexcept {
    const float clamped = clampSetting(cutoff, cutoff_);
    if (clamped == cutoff_)
        return;
    cutoff_ = clamped;
    updateCoefficients();
}

} // namespace trov
