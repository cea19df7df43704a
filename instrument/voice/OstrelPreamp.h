#pragma once

#include "engine/dsp/effects/Waveshaper.h"

namespace trov {

// The input stage of the emulated machine: the measured transfer curves of its mic or line input, clean
// and saturated, blended by the stage's gain ("PreampGain"). Owned by its voice; threads as `Waveshaper`.
class OstrelPreamp : public Waveshaper {
public:
    OstrelPreamp(const Module* owner, const std::string& normalResponse, const std::string& saturatedResponse)
        : Waveshaper(owner, normalResponse, saturatedResponse) {}
};

} // namespace trov
