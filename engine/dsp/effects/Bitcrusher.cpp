#include "engine/dsp/effects/Bitcrusher.h"

#include <algorithm>

namespace trov {

std::int32_t Bitcrusher::spanOf(const IOChannel<float>& in, const IOChannel<float>& out) noexcept {
    return std::max(std::min(in.getValidFrames(), out.getSize()), 0);
}

std::int32_t Bitcrusher::process(const IOChannel<float>& in, IOChannel<float>& out) noexcept {
    const std::int32_t frames = spanOf(in, out);
    const float* source = in.getData();
    float* target = out.getData();
    for (std::int32_t i = 0; i < frames; ++i)
        target[i] = quantise(source[i]);
    return out.setValidFrames(frames);
}

} // namespace trov
