#include "engine/dsp/effects/BitcrusherLog.h"

#include <algorithm>
#include <cmath>

namespace trov {

namespace {
// The cleared bit, 22 - mantissaBits, must stay among the 23 mantissa bits (0..22).
constexpr std::int32_t kMaxMantissaBits = 22;
} // namespace

BitcrusherLog::BitcrusherLog(const Module* owner, std::int32_t bits) : Bitcrusher(owner) {
    BitcrusherLog::setAmount(0.0f);
    BitcrusherLog::setBits(bits);
}

void BitcrusherLog::setBits(std::int32_t bits) noexcept {
    bits = std::clamp(bits, kMinBits, kMaxBits);
    if (bits == bits_)
        return;
    bits_ = bits;
    update();
}

void BitcrusherLog::setAmount(float amount) noexcept {
    amount = amount >= 0.0f ? std::min(amount, 1.0f) : 0.0f;
    if (amount == amount_)
        return;
    amount_ = amount;
    update();
}

void BitcrusherLog::update() noexcept {
    const float kept = (1.0f - amount_) * static_cast<float>(bits_ - 4) + 1.0f;
    mantissaBits_ = std::clamp(static_cast<std::int32_t>(std::rint(kept)), 0, kMaxMantissaBits);
    // bits and mantissaBits are bounded, so the power stays small (at most 2^24).
    const std::int32_t shift = std::clamp(bits_ - mantissaBits_, 0, 30);
    exponentFloor_ = 1 - (std::int32_t{1} << shift);
    clearMask_ = ~(std::uint32_t{1} << (kMaxMantissaBits - mantissaBits_));
}

std::int32_t BitcrusherLog::process(const IOChannel<float>& in, IOChannel<float>& out) noexcept {
    const std::int32_t frames = spanOf(in, out);
    const float* source = in.getData();
    float* target = out.getData();
    // Locals: the stores could otherwise alias the members and keep the loop from vectorising.
    const std::uint32_t clearMask = clearMask_;
    const std::int32_t exponentFloor = exponentFloor_;
    for (std::int32_t i = 0; i < frames; ++i)
        target[i] = crush(source[i], clearMask, exponentFloor);
    return out.setValidFrames(frames);
}

} // namespace trov
