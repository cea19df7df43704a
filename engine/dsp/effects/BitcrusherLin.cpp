#include "engine/dsp/effects/BitcrusherLin.h"

#include <algorithm>

namespace trov {

BitcrusherLin::BitcrusherLin(const Module* owner, std::int32_t bits) : Bitcrusher(owner) {
    BitcrusherLin::setBits(bits);
}

void BitcrusherLin::setBits(std::int32_t bits) noexcept {
    bits_ = std::clamp(bits, kMinBits, kMaxBits);
    levels_ = static_cast<float>(std::int32_t{2} << (bits_ - 1));
    step_ = 1.0f / levels_;
}

std::int32_t BitcrusherLin::process(const IOChannel<float>& in, IOChannel<float>& out) noexcept {
    const std::int32_t frames = spanOf(in, out);
    const float* source = in.getData();
    float* target = out.getData();
    // Locals: the stores could otherwise alias the members and keep the loop from vectorising.
    const float levels = levels_;
    const float step = step_;
    for (std::int32_t i = 0; i < frames; ++i)
        target[i] = roundHalfEven(levels * source[i]) * step;
    return out.setValidFrames(frames);
}

} // namespace trov
