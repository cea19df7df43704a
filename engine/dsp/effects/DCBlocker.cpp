#include "engine/dsp/effects/DCBlocker.h"

#include "engine/dsp/SnapToZero.h"

#include <algorithm>
#include <cmath>

namespace trov {

DCBlocker::DCBlocker(const Module* owner) : Filter(owner), pole_(poleFor(getSampleRate())) {}

float DCBlocker::poleFor(int sampleRate) noexcept {
    if (sampleRate <= 0 || sampleRate == kPoleRate)
        return kPole;
    return static_cast<float>(std::pow(static_cast<double>(kPole),
                                       static_cast<double>(kPoleRate) / static_cast<double>(sampleRate)));
}

void DCBlocker::update() noexcept {
    pole_ = poleFor(getSampleRate());
}

void DCBlocker::reset() noexcept {
    x1_ = 0.0f;
    y1_ = 0.0f;
}

std::int32_t DCBlocker::process(const IOChannel<float>& in, IOChannel<float>& out) noexcept {
    const float* source = in.getData();
    float* target = out.getData();
    if (source == nullptr || target == nullptr)
        return out.setValidFrames(0);
    const std::int32_t frames = std::min(in.getValidFrames(), out.getSize());
    const float pole = pole_;
    float x1 = x1_;
    float y1 = y1_;
    for (std::int32_t i = 0; i < frames; ++i) {
        const float x = source[i];
        y1 = snapToZero(x - x1 + pole * y1);
        x1 = x;
        target[i] = y1;
    }
    // A state that went NaN or infinite would stay so for good: the next block starts from silence.
    const bool finite = std::isfinite(x1) && std::isfinite(y1);
    x1_ = finite ? x1 : 0.0f;
    y1_ = finite ? y1 : 0.0f;
    return out.setValidFrames(frames);
}

} // namespace trov
