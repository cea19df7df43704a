#include "engine/dsp/DACLadder.h"

#include "framework/Random.h"

#include <algorithm>
#include <cmath>

namespace trov {

DACLadder::DACLadder(const Module* owner) : Effect(owner) {
    buildTable(kDefaultBits);
}

void DACLadder::setTolerance(float tolerance) {
    if (tolerance == tolerance_ || !std::isfinite(tolerance))
        return;
    tolerance_ = tolerance;
    buildTable(bits_);
}

void DACLadder::buildTable(std::int32_t bits) {
    bits_ = std::clamp(bits, std::int32_t{1}, kMaxBits);
    errors_.clear();
    for (std::int32_t i = 0; i < bits_; ++i) {
        const float weight = i < bits_ / 2 ? 1.0f : 0.5f;
        const auto r1 = static_cast<double>(combinedRandom());
        const auto r2 = static_cast<double>(combinedRandom());
        errors_.push_back(static_cast<float>((1.0 - 2.0 * r1 * r2) * tolerance_ * weight));
    }
    const std::size_t codes = std::size_t{1} << bits_;
    const float scale = 1.0f / static_cast<float>(codes);
    table_.assign(codes, 0.0f);
    for (std::size_t code = 0; code < codes; ++code) {
        float sum = 0.0f;
        for (std::int32_t i = 0; i < bits_; ++i) {
            if ((code >> i) & 1u)
                sum += static_cast<float>(std::size_t{1} << i) * errors_[static_cast<std::size_t>(i)] * scale;
        }
        table_[code] = sum;
    }
}

float DACLadder::getBitError(std::int32_t bit) const noexcept {
    return bit >= 0 && bit < bits_ ? errors_[static_cast<std::size_t>(bit)] : 0.0f;
}

std::int32_t DACLadder::process(const IOChannel<float>& in, IOChannel<float>& out) noexcept {
    const std::int32_t frames = std::max(std::min(in.getValidFrames(), out.getSize()), 0);
    const float* source = in.getData();
    float* target = out.getData();
    const auto levels = static_cast<float>(table_.size());
    const auto last = static_cast<std::int32_t>(table_.size()) - 1;
    const float* table = table_.data();
    for (std::int32_t i = 0; i < frames; ++i) {
        const float x = source[i];
        // Clamped while still a float (NaN goes to the bottom): the code never leaves the table.
        const float level = std::fmin(std::fmax(std::rint(levels * x), -levels), levels);
        const std::int32_t code = std::min((static_cast<std::int32_t>(level) + last + 1) / 2, last);
        target[i] = x + table[code];
    }
    return out.setValidFrames(frames);
}

} // namespace trov
