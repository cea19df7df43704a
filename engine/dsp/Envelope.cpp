#include "engine/dsp/Envelope.h"

namespace trov {

void Envelope::setLimits(float low, float high) noexcept {
    lowerLimit_ = low > 0.0f ? low : 0.0f;
    upperLimit_ = high < 1.0f ? high : 1.0f;
}

} // namespace trov
