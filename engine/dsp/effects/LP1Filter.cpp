#include "engine/dsp/effects/LP1Filter.h"

#include "engine/dsp/SnapToZero.h"

#include <algorithm>
#include <cmath>

namespace trov {

LP1Filter::LP1Filter(const Module* owner) : Filter(owner) {
    LP1Filter::updateCoefficients();
}

void LP1Filter::updateCoefficients() noexcept {
    const double root = 1.0 - (std::exp2(10.0 * getCutoff()) - 0.99) / 1024.0;
    a_ = static_cast<float>(root * root);
}

std::int32_t LP1Filter::process(const IOChannel<float>& in, IOChannel<float>& out) noexcept {
    const float* source = in.getData();
    float* target = out.getData();
    if (source == nullptr || target == nullptr)
        return out.setValidFrames(0);
    const std::int32_t frames = std::min(in.getValidFrames(), out.getSize());
    const float a = a_;
    const float b = 1.0f - a;
    float y1 = y1_;
    for (std::int32_t i = 0; i < frames; ++i) {
        y1 = snapToZero(b * source[i] + y1 * a);
        target[i] = y1;
    }
    // A state that went NaN or infinite would stay so for good: the next block starts from silence.
    y1_ = std::isfinite(y1) ? y1 : 0.0f;
    return out.setValidFrames(frames);
}

} // namespace trov
